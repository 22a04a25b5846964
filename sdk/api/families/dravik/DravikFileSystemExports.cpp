// The exported Dravik file-system functions, through the Dravik control's device. A sensor of
// another family answers 118 for the commands, 121 for the reads and 122 for the write, whatever
// the other arguments. Names, buffers and counts are checked next, before anything reaches the
// device, and nothing is copied beyond the host's buffers.

#include <algorithm>
#include <string>
#include <vector>

#include "sdk/api/CallStatus.hpp"
#include "sdk/api/ControlExport.hpp"
#include "sdk/api/DravikDevice.hpp"
#include "sdk/api/DravikFileRecords.hpp"
#include "sdk/api/FamilyAccess.hpp"
#include "sdk/api/FamilyControl.hpp"
#include "sdk/api/include/ambrelkit2.h"

using namespace VexaDevice;
using namespace VexaDevice::Api;

namespace {

// Runs `run(device)` on the sensor's Dravik device; `wrongFamily` is the answer for any other
// family, `fallback` the export's default code.
template <typename Run>
uint8_t dravikExport(_Sensor* sensor, CallStatus* status, const LibraryError& fallback,
                     OperationResult (*wrongFamily)(), Run run) {
    return controlViewExport<DravikDevice>(sensor, status, fallback, wrongFamily, run);
}

template <typename Run>
uint8_t dravikCommand(_Sensor* sensor, const char* name, CallStatus* status, Run run) {
    return dravikExport(sensor, status, Errors::CommandFailed, unsupportedCommand, [&](DravikDevice& device) {
        return name == nullptr ? failedWith(Errors::CommandFailed) : run(device);
    });
}

template <typename Run>
uint8_t dravikRead(_Sensor* sensor, CallStatus* status, Run run) {
    return dravikExport(sensor, status, Errors::ReadParameterFailed, unsupportedRead, run);
}

}  // namespace

extern "C" {

AK_API uint8_t deleteAllFilesDravik(_Sensor* sensor, const char* text, CallStatus* status) {
    return dravikCommand(sensor, text, status, [&](DravikDevice& device) { return device.deleteAllFiles(text); });
}

AK_API uint8_t deleteFileDravik(_Sensor* sensor, const char* name, CallStatus* status) {
    return dravikCommand(sensor, name, status, [&](DravikDevice& device) { return device.deleteFile(name); });
}

AK_API uint8_t fileStreamAutosaveDravik(_Sensor* sensor, const char* name, CallStatus* status) {
    return dravikCommand(sensor, name, status, [&](DravikDevice& device) { return device.fileStreamAutosave(name); });
}

// A sensor of another family answers 121, as the other Dravik reads do.
AK_API uint8_t fileStreamReadDravik(_Sensor* sensor, const char* name, int32_t first, int32_t second,
                                    CallStatus* status) {
    return dravikExport(sensor, status, Errors::CommandFailed, unsupportedRead, [&](DravikDevice& device) {
        return name == nullptr ? failedWith(Errors::CommandFailed) : device.fileStreamRead(name, first, second);
    });
}

AK_API uint8_t readFileCRC32Dravik(_Sensor* sensor, const char* name, int32_t first, int32_t second, uint32_t* crc,
                                   CallStatus* status) {
    return dravikRead(sensor, status, [&](DravikDevice& device) {
        if (name == nullptr || crc == nullptr) {
            return failedWith(Errors::ReadParameterFailed);
        }
        uint32_t value = 0;
        auto result = device.readFileCRC32(name, first, second, value);
        if (result) {
            *crc = value;
        }
        return result;
    });
}

AK_API uint8_t readFileInfoDravik(_Sensor* sensor, const char* name, DravikFileInfo* info, CallStatus* status) {
    return dravikRead(sensor, status, [&](DravikDevice& device) {
        if (name == nullptr || info == nullptr) {
            return failedWith(Errors::ReadParameterFailed);
        }
        DravikFile file;
        auto result = device.readFileInfo(name, file);
        if (result) {
            *info = hostFileInfo(file);
        }
        return result;
    });
}

AK_API uint8_t readFileInfoAllDravik(_Sensor* sensor, DravikFileInfo* infos, int32_t* count, CallStatus* status) {
    return dravikRead(sensor, status, [&](DravikDevice& device) {
        if (infos == nullptr || count == nullptr || *count <= 0) {
            return failedWith(Errors::ReadParameterFailed);
        }
        std::vector<DravikFile> files;
        auto result = device.readFileInfoAll(files);
        if (result) {
            const auto written = std::min<size_t>(static_cast<size_t>(*count), files.size());
            std::transform(files.begin(), files.begin() + static_cast<std::ptrdiff_t>(written), infos, hostFileInfo);
            *count = static_cast<int32_t>(written);
        }
        return result;
    });
}

// *size: in the end position of the read (0: the file's end), out the number of bytes copied.
// The device reads no further than that end, so a positive end also bounds what is copied; to the
// file's end the host sized the buffer from the file's information.
AK_API uint8_t readFileDravik(_Sensor* sensor, const char* name, uint8_t* buffer, int32_t* size, uint32_t offset,
                              CallStatus* status) {
    return dravikRead(sensor, status, [&](DravikDevice& device) {
        if (name == nullptr || buffer == nullptr || size == nullptr || *size < 0) {
            return failedWith(Errors::ReadParameterFailed);
        }
        std::vector<uint8_t> bytes;
        auto result = device.readFile(name, bytes, *size, offset);
        if (result) {
            const auto copied = *size == 0 ? bytes.size() : std::min<size_t>(static_cast<size_t>(*size), bytes.size());
            std::copy_n(bytes.begin(), copied, buffer);
            *size = static_cast<int32_t>(copied);
        }
        return result;
    });
}

AK_API uint8_t writeFileDravik(_Sensor* sensor, const char* name, const uint8_t* data, int32_t size, uint32_t offset,
                               CallStatus* status) {
    return dravikExport(sensor, status, Errors::WriteParameterFailed, unsupportedWrite, [&](DravikDevice& device) {
        if (name == nullptr || size < 0 || (data == nullptr && size > 0)) {
            return failedWith(Errors::WriteParameterFailed);
        }
        // No bytes reach the sensor's own check, which refuses them with its code.
        const std::vector<uint8_t> bytes = size == 0 ? std::vector<uint8_t>{} : std::vector<uint8_t>(data, data + size);
        return device.writeFile(name, bytes, offset);
    });
}

}  // extern "C"
