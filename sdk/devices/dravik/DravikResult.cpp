#include "sdk/devices/dravik/DravikResult.hpp"

#include <array>
#include <utility>

#include "sdk/core/DeviceError.hpp"

namespace VexaDevice::Dravik {

namespace {

// Codes 1..19 are the results of the device's FAT file system, in its own numbering.
constexpr std::array<const char*, 20> kFileSystemResults{
    "DSS_ERROR_NOERROR",
    "[FR_DISK_ERR][A hard error occurred in the low level disk I/O layer]",
    "[FR_INT_ERR][Assertion failed]",
    "[FR_NOT_READY][The physical drive cannot work]",
    "[FR_NO_FILE][Could not find the file]",
    "[FR_NO_PATH][Could not find the path]",
    "[FR_INVALID_NAME][The path name format is invalid]",
    "[FR_DENIED][Access denied due to prohibited access or directory full]",
    "[FR_EXIST][Access denied due to prohibited access]",
    "[FR_INVALID_OBJECT][The file/directory object is invalid]",
    "[FR_WRITE_PROTECTED][The physical drive is write protected]",
    "[FR_INVALID_DRIVE][The logical drive number is invalid]",
    "[FR_NOT_ENABLED][The volume has no work area]",
    "[FR_NO_FILESYSTEM][There is no valid FAT volume]",
    "[FR_MKFS_ABORTED][The f_mkfs() aborted due to any problem]",
    "[FR_TIMEOUT][Could not get a grant to access the volume within defined period]",
    "[FR_LOCKED][The operation is rejected according to the file sharing policy]",
    "[FR_NOT_ENOUGH_CORE][LFN working buffer could not be allocated]",
    "[FR_TOO_MANY_OPEN_FILES][Number of open files > _FS_LOCK]",
    "[FR_INVALID_PARAMETER][Given parameter is invalid]",
};

// Codes 129..132 are the device's protocol results.
constexpr std::array<const char*, 4> kProtocolResults{"DSS_ERROR_LEN", "DSS_ERROR_NOCOMMAND", "DSS_ERROR_FORMAT",
                                                      "DSS_ERROR_DENIED"};

// Codes 513..531 are the library's own.
constexpr std::array<const char*, 19> kLibraryResults{
    "ERR_DATA_SEND",
    "ERR_UNSUPPORTED_COMMAND",
    "ERR_UNSUPPORTED_PARAM",
    "ERR_UNSUPPORTED_PARAM_ACCESS",
    "ERR_WRONG_PARAM_VALUE",
    "ERR_FILE_NAME_WRONG",
    "ERR_DISK_TROUBLE",
    "ERR_RX_DATA_WRONG",
    "ERR_DATA_EMPTY",
    "ERR_DATA_OVERFLOW",
    "ERR_DISK_PROTECTED",
    "ERR_FILE_EXT_WRONG",
    "ERR_FILE_CRC32_WRONG",
    "ERR_TIMEOUT",
    "[ERR_UNSUPPORTED_STIM] Stimulator is not supported",
    "[ERR_REQUIRED_STIM_SENSOR] An external stimulant must be set",
    "[ERR_STIM_SENSOR_STATUS_SET] Synchronization failed",
    "[ERR_STIM_SENSOR_TIME_SYNC_ERROR] Synchronisation error. Stimulator timing lower than the Sensor timing",
    "[ERR_REQUIRED_SYNC_STATUS] Requires status [Synchronized]",
};

template <size_t N>
const char* inRange(const std::array<const char*, N>& table, uint16_t first, uint16_t code) {
    return code >= first && static_cast<size_t>(code - first) < N ? table[code - first] : nullptr;
}

}  // namespace

std::string dravikErrorName(uint16_t code) {
    for (const char* text : {inRange(kFileSystemResults, 0, code), inRange(kProtocolResults, 129, code),
                             inRange(kLibraryResults, ErrDataSend, code)}) {
        if (text != nullptr) {
            return text;
        }
    }
    return "UNKNOWN";
}

OperationResult dravikFailure(uint16_t code) { return OperationResult::failed(code, dravikErrorName(code)); }

OperationResult dravikDeviceResult(uint16_t code) { return Utility::deviceErrorResult(code, dravikErrorName(code)); }

}  // namespace VexaDevice::Dravik
