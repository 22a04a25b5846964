#include "sdk/api/families/dravik/DravikDeviceBridge.hpp"

#include <algorithm>

#include "sdk/api/DravikSignalProcessing.hpp"
#include "sdk/api/HostRecords.hpp"
#include "sdk/devices/dravik/DravikResult.hpp"

namespace VexaDevice::Api {

namespace {

DravikFile hostFile(const Dravik::_FileInfo& info) {
    return DravikFile{info.name, info.size, info.date, info.time, info.attribute};
}

bool negative(int32_t first, int32_t second) { return first < 0 || second < 0; }

OperationResult negativeValue() { return Dravik::dravikFailure(Dravik::ErrWrongParamValue); }

}  // namespace

OperationResult DravikDeviceBridge::writePhotoStimTimeDefer(double seconds) {
    return device_.writePhotoStimTimeDefer(seconds);
}

OperationResult DravikDeviceBridge::writeStimPrograms(const std::vector<StimulProgram>& programs) {
    std::vector<PhotoStim::StimProgram> list(programs.size());
    std::transform(programs.begin(), programs.end(), list.begin(), deviceProgram);
    return device_.writeStimPrograms(list);
}

int32_t DravikDeviceBridge::maxStimPrograms() { return device_.maxStimPhases(); }

OperationResult DravikDeviceBridge::ping(int32_t marker) { return device_.ping(marker); }

OperationResult DravikDeviceBridge::readSupportedEEGChannels(std::vector<Sensor::EEGChannelInfo>& out) {
    return device_.readSupportedChannels(out);
}

OperationResult DravikDeviceBridge::writeAmplifierParam(const DravikAmplifier& param) {
    return device_.writeAmplifierParam(deviceAmplifier(param));
}

OperationResult DravikDeviceBridge::writeSurveyId(int32_t id) { return device_.writeSurveyId(id); }

OperationResult DravikDeviceBridge::setPhotoStim(std::shared_ptr<Sensor::ISensor> stimulator) {
    auto photoStim = std::dynamic_pointer_cast<PhotoStim::IPhotoStim>(stimulator);
    if (stimulator && !photoStim) {
        return Dravik::dravikFailure(Dravik::ErrRequiredStimSensor);
    }
    return device_.writePhotoStim(std::move(photoStim));
}

OperationResult DravikDeviceBridge::deleteAllFiles(const std::string& text) { return device_.deleteAllFiles(text); }

OperationResult DravikDeviceBridge::deleteFile(const std::string& name) { return device_.deleteFile(name); }

OperationResult DravikDeviceBridge::fileStreamAutosave(const std::string& name) {
    return device_.fileStreamAutosave(name);
}

OperationResult DravikDeviceBridge::fileStreamRead(const std::string& name, int32_t first, int32_t second) {
    if (negative(first, second)) {
        return negativeValue();
    }
    return device_.fileStreamRead(name, static_cast<uint32_t>(first), static_cast<uint32_t>(second));
}

OperationResult DravikDeviceBridge::readFileCRC32(const std::string& name, int32_t first, int32_t second,
                                                  uint32_t& crc) {
    if (negative(first, second)) {
        return negativeValue();
    }
    return device_.readFileCRC32(name, static_cast<uint32_t>(first), static_cast<uint32_t>(second), crc);
}

OperationResult DravikDeviceBridge::readFileInfoAll(std::vector<DravikFile>& out) {
    std::vector<Dravik::_FileInfo> files;
    auto result = device_.readFileInfoAll(files);
    out.resize(files.size());
    std::transform(files.begin(), files.end(), out.begin(), hostFile);
    return result;
}

OperationResult DravikDeviceBridge::readFileInfo(const std::string& name, DravikFile& out) {
    Dravik::_FileInfo info;
    auto result = device_.readFileInfo(name, info);
    out = hostFile(info);
    return result;
}

OperationResult DravikDeviceBridge::readFile(const std::string& name, std::vector<uint8_t>& out, int32_t size,
                                             uint32_t offset) {
    if (size < 0) {
        return negativeValue();
    }
    return device_.readFile(name, static_cast<uint32_t>(size), offset, out);
}

OperationResult DravikDeviceBridge::writeFile(const std::string& name, const std::vector<uint8_t>& data,
                                              uint32_t offset) {
    return device_.writeFile(name, data, offset);
}

}  // namespace VexaDevice::Api
