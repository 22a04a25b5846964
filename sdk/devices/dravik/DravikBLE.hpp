#pragma once
// The Dravik device: builds its protocol from the BLE device's channels and, on the shared
// family base, forwards every operation to it and maps the sensor commands onto its modes and
// file-system commands.

#include <memory>

#include "sdk/ble/IBLEDevice.hpp"
#include "sdk/devices/common/FamilyDevice.hpp"
#include "sdk/devices/dravik/DravikBleProtocol.hpp"
#include "sdk/devices/dravik/IDravik.hpp"

namespace VexaDevice::Dravik {

class DravikBLE final : public Devices::FamilyDevice<IDravik, DravikBleProtocol> {
public:
    // Throws rt_exception from the protocol unchanged, std::runtime_error "Cannot create Dravik
    // BLE Device: ..." for anything else.
    explicit DravikBLE(std::shared_ptr<BLE::IBLEDevice> device, const DravikTiming& timing = {});
    ~DravikBLE() override;

    OperationResult execCommand(const Sensor::SensorCommand& command) override;

    std::weak_ptr<Devices::BatteryBus> batteryEvent() override { return protocol().batteryEvent(); }
    std::weak_ptr<Devices::BatteryBus> batteryVoltageEvent() override { return protocol().batteryVoltageEvent(); }
    std::weak_ptr<DravikBuses::SignalBus> signalEvent() override { return protocol().signalEvent(); }
    std::weak_ptr<DravikBuses::ResistBus> resistEvent() override { return protocol().resistEvent(); }
    std::weak_ptr<DravikBuses::SignalResistBus> signalResistEvent() override { return protocol().signalResistEvent(); }
    std::weak_ptr<DravikBuses::RawSignalBus> rawSignalEvent() override { return protocol().rawSignalEvent(); }
    std::weak_ptr<DravikBuses::FileStreamBus> fileStreamEvent() override { return protocol().fileStreamEvent(); }
    std::weak_ptr<DravikBuses::ModeBus> ampModeEvent() override { return protocol().ampModeEvent(); }
    std::weak_ptr<DravikBuses::FsStatusBus> fsStatusEvent() override { return protocol().fsStatusEvent(); }
    std::weak_ptr<DravikBuses::StimStateBus> stimStateEvent() override { return protocol().stimStateEvent(); }
    std::weak_ptr<DravikBuses::StimSyncBus> stimSyncEvent() override { return protocol().stimSyncEvent(); }

    OperationResult ping(const int32_t& marker) override { return protocol().ping(static_cast<uint8_t>(marker)); }
    OperationResult readFileInfo(const std::string& name, _FileInfo& out) override {
        return protocol().readFileInfo(name, out);
    }
    OperationResult writeFile(const std::string& name, const std::vector<uint8_t>& data, uint32_t offset) override {
        return protocol().writeFile(name, data, offset);
    }
    OperationResult readFile(const std::string& name, uint32_t limit, uint32_t offset,
                             std::vector<uint8_t>& out) override {
        return protocol().readFile(name, limit, offset, out);
    }
    OperationResult deleteFile(const std::string& name) override { return protocol().deleteFile(name); }
    OperationResult deleteAllFiles(const std::string& extension) override {
        return protocol().deleteAllFiles(extension);
    }
    OperationResult readFileCRC32(const std::string& name, uint32_t offset, uint32_t length, uint32_t& out) override {
        return protocol().readFileCRC32(name, offset, length, out);
    }
    OperationResult fileStreamAutosave(const std::string& name) override { return protocol().fileStreamAutosave(name); }
    OperationResult fileStreamRead(const std::string& name, uint32_t offset, uint32_t length) override {
        return protocol().fileStreamRead(name, offset, length);
    }
    OperationResult readFileInfoAll(std::vector<_FileInfo>& out) override { return protocol().readFileInfoAll(out); }
    int32_t maxStimPhases() override { return 16; }
    OperationResult readSerialNumber(std::string& out) override {
        return Devices::give(out, protocol().deviceVersion().serialText());
    }
    OperationResult readFirmwareMode(uint8_t& out) override { return Devices::give(out, uint8_t{1}); }
    OperationResult readSamplingFrequency(uint8_t& out) override {
        return Devices::give(out, protocol().readAmplifierParam().samplingFrequency);
    }
    OperationResult readSamplingFrequencyResist(uint8_t& out) override { return readSamplingFrequency(out); }
    OperationResult readSupportedChannels(std::vector<Sensor::EEGChannelInfo>& out) override {
        return Devices::give(out, protocol().readSupportedChannels());
    }
    OperationResult readSurveyId(int32_t& out) override { return Devices::give(out, protocol().readSurveyId()); }
    OperationResult writeSurveyId(const int32_t& id) override { return protocol().writeSurveyId(id); }
    OperationResult readFilesystemStatus(_DravikFSStatus& out) override {
        return Devices::give(out, protocol().readFilesystemStatus());
    }
    OperationResult readVersion(DeviceVersion& out) override { return Devices::give(out, protocol().deviceVersion()); }
    OperationResult readBattPower(int32_t& out) override { return Devices::give(out, protocol().battPower()); }
    OperationResult readAmpMode(uint8_t& out) override { return Devices::give(out, protocol().ampMode()); }
    OperationResult readAmplifierParam(DravikAmplifierParam& out) override {
        return Devices::give(out, protocol().readAmplifierParam());
    }
    OperationResult writeAmplifierParam(const DravikAmplifierParam& param) override {
        return protocol().writeAmplifierParam(param);
    }
    OperationResult readFileSystemDiskInfo(uint64_t& total, uint64_t& free) override {
        return protocol().readFileSystemDiskInfo(total, free);
    }
    std::shared_ptr<PhotoStim::IPhotoStim> readPhotoStim() override { return protocol().photoStim(); }
    OperationResult writePhotoStim(std::shared_ptr<PhotoStim::IPhotoStim> stimulator) override {
        return protocol().writePhotoStim(std::move(stimulator));
    }
    OperationResult readBattVoltage(int32_t& out) override { return Devices::give(out, protocol().batteryVoltage()); }
    OperationResult readStimState(PhotoStim::DevStimulStatus& out) override { return protocol().readStimState(out); }
    OperationResult readStimPrograms(std::vector<PhotoStim::StimProgram>& out) override {
        return Devices::give(out, protocol().stimPrograms());
    }
    OperationResult writeStimPrograms(const std::vector<PhotoStim::StimProgram>& programs) override {
        return protocol().writeStimPrograms(programs);
    }
    OperationResult readPhotoStimTimeDefer(double& out) override {
        return Devices::give(out, protocol().photoStimTimeDefer());
    }
    OperationResult writePhotoStimTimeDefer(const double& seconds) override {
        return protocol().writePhotoStimTimeDefer(seconds);
    }
    OperationResult readPhotoStimSyncState(PhotoStim::DevStimulSyncStatus& out) override {
        return protocol().readStimSyncState(out);
    }
};

std::shared_ptr<DravikBLE> makeDravikBLE(std::shared_ptr<BLE::IBLEDevice> device, const DravikTiming& timing = {});

}  // namespace VexaDevice::Dravik
