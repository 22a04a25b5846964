#pragma once
// The Dravik device class as the exported writes, file-system functions and the stimulator link
// see it: each call converted between the host's records and the device's.

#include <memory>
#include <string>
#include <vector>

#include "sdk/api/DravikDevice.hpp"
#include "sdk/devices/dravik/IDravik.hpp"

namespace VexaDevice::Api {

class DravikDeviceBridge final : public DravikDevice {
public:
    explicit DravikDeviceBridge(Dravik::IDravik& device) : device_(device) {}

    OperationResult writePhotoStimTimeDefer(double seconds) override;
    OperationResult writeStimPrograms(const std::vector<StimulProgram>& programs) override;
    int32_t maxStimPrograms() override;

    OperationResult ping(int32_t marker) override;
    OperationResult readSupportedEEGChannels(std::vector<Sensor::EEGChannelInfo>& out) override;
    OperationResult writeAmplifierParam(const DravikAmplifier& param) override;
    OperationResult writeSurveyId(int32_t id) override;
    // Only a PhotoStim device can be linked; null unlinks.
    OperationResult setPhotoStim(std::shared_ptr<Sensor::ISensor> stimulator) override;

    OperationResult deleteAllFiles(const std::string& text) override;
    OperationResult deleteFile(const std::string& name) override;
    OperationResult fileStreamAutosave(const std::string& name) override;
    // Offsets and lengths below 0 fail with 517 before anything is sent.
    OperationResult fileStreamRead(const std::string& name, int32_t first, int32_t second) override;
    OperationResult readFileCRC32(const std::string& name, int32_t first, int32_t second, uint32_t& crc) override;
    OperationResult readFileInfoAll(std::vector<DravikFile>& out) override;
    OperationResult readFileInfo(const std::string& name, DravikFile& out) override;
    OperationResult readFile(const std::string& name, std::vector<uint8_t>& out, int32_t size,
                             uint32_t offset) override;
    OperationResult writeFile(const std::string& name, const std::vector<uint8_t>& data, uint32_t offset) override;

private:
    Dravik::IDravik& device_;
};

}  // namespace VexaDevice::Api
