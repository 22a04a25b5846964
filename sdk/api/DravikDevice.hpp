#pragma once
// What the exported functions need of a Dravik device beyond its stimulation service: the
// amplifier, survey identifier, ping, the link to a photo-stimulator and the on-device file
// system. `DravikDeviceBridge` implements it over the Dravik device class.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "sdk/api/StimulatorDevice.hpp"
#include "sdk/core/EEGChannel.hpp"
#include "sdk/core/ISensor.hpp"

namespace VexaDevice::Api {

// The Dravik amplifier settings: one mode and one gain per channel of the device.
struct DravikAmplifier {
    bool referentFlag = false;
    uint8_t setting1 = 0;
    uint8_t setting2 = 0;
    std::vector<uint8_t> channelModes;
    std::vector<uint8_t> channelGains;
    bool extraFlag = false;
};

// One file of the device's file system, with its FAT directory-entry date and time.
struct DravikFile {
    std::string name;
    uint32_t size = 0;
    uint16_t fatDate = 0;
    uint16_t fatTime = 0;
    uint8_t attributes = 0;
};

class DravikDevice : public StimulatorDevice {
public:
    virtual OperationResult ping(int32_t marker) = 0;
    virtual OperationResult readSupportedEEGChannels(std::vector<Sensor::EEGChannelInfo>& out) = 0;
    virtual OperationResult writeAmplifierParam(const DravikAmplifier& param) = 0;
    virtual OperationResult writeSurveyId(int32_t id) = 0;
    // A photo-stimulator sensor to synchronise with, or null to run without one.
    virtual OperationResult setPhotoStim(std::shared_ptr<Sensor::ISensor> stimulator) = 0;

    virtual OperationResult deleteAllFiles(const std::string& text) = 0;
    virtual OperationResult deleteFile(const std::string& name) = 0;
    virtual OperationResult fileStreamAutosave(const std::string& name) = 0;
    virtual OperationResult fileStreamRead(const std::string& name, int32_t first, int32_t second) = 0;
    virtual OperationResult readFileCRC32(const std::string& name, int32_t first, int32_t second, uint32_t& crc) = 0;
    virtual OperationResult readFileInfoAll(std::vector<DravikFile>& out) = 0;
    virtual OperationResult readFileInfo(const std::string& name, DravikFile& out) = 0;
    virtual OperationResult readFile(const std::string& name, std::vector<uint8_t>& out, int32_t size,
                                     uint32_t offset) = 0;
    virtual OperationResult writeFile(const std::string& name, const std::vector<uint8_t>& data, uint32_t offset) = 0;
};

}  // namespace VexaDevice::Api
