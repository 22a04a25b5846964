#pragma once
// The PhotoStim device: a stand-alone photo-stimulator. StartPhotoStimulation starts its
// program list a set delay after the stimulator's present time (or, for a Dravik device that
// drives it, at an absolute tick); command 36 synchronises it, command 37 resets it.

#include <atomic>
#include <memory>

#include "sdk/ble/IBLEDevice.hpp"
#include "sdk/devices/common/FamilyDevice.hpp"
#include "sdk/devices/common/ProtocolTiming.hpp"
#include "sdk/devices/photostim/IPhotoStim.hpp"
#include "sdk/devices/photostim/PhotoStimBleProtocol.hpp"

namespace VexaDevice::PhotoStim {

class PhotoStimBLE final : public Devices::FamilyDevice<IPhotoStim, PhotoStimBleProtocol> {
public:
    // Throws std::runtime_error "Cannot create PhotoStimBLE BLE Device: ..." when the device
    // cannot be driven.
    explicit PhotoStimBLE(std::shared_ptr<BLE::IBLEDevice> device, const Devices::ProtocolTiming& timing = {});
    // Resets the stimulator and lets go of the link.
    ~PhotoStimBLE() override;

    OperationResult execCommand(const Sensor::SensorCommand& command) override;

    std::weak_ptr<Utility::EventBus<int>> batteryEvent() override { return protocol().batteryEvent(); }
    std::weak_ptr<Utility::EventBus<int>> batteryVoltageEvent() override { return protocol().batteryVoltageEvent(); }
    std::weak_ptr<StimStatusBus> stimStatusEvent() override { return protocol().stimStatusEvent(); }
    std::weak_ptr<SyncStatusBus> syncStatusEvent() override { return protocol().syncStatusEvent(); }

    int32_t maxProgramCount() override { return static_cast<int32_t>(MaxPrograms); }
    int32_t timeDeferTicks() override { return timeDeferTicks_; }
    void setTimeDeferTicks(int32_t ticks) override { timeDeferTicks_ = ticks; }
    int32_t absoluteStartTick() override { return absoluteStartTick_; }
    void setAbsoluteStartTick(int32_t tick) override { absoluteStartTick_ = tick; }
    bool useAbsoluteStart() override { return useAbsoluteStart_; }
    void setUseAbsoluteStart(bool use) override { useAbsoluteStart_ = use; }
    uint32_t stimulatorTime(bool reread) override { return protocol().stimulatorTime(reread); }
    OperationResult prepareSync() override { return protocol().prepareSync(); }
    OperationResult sync() override { return protocol().sync(); }

    OperationResult readSerialNumber(std::string& out) override;
    OperationResult readFirmwareMode(uint8_t& out) override;
    OperationResult readFirmwareVersion(DeviceVersion& out) override;
    OperationResult readBattPower(int32_t& out) override;
    OperationResult readBattVoltage(int32_t& out) override;
    OperationResult readStimState(DevStimulStatus& out) override;
    OperationResult readStimPrograms(std::vector<StimProgram>& out) override;
    OperationResult writeStimPrograms(const std::vector<StimProgram>& programs) override;
    OperationResult readTimeDefer(double& out) override;
    OperationResult writeTimeDefer(const double& seconds) override;
    OperationResult readSyncState(DevStimulSyncStatus& out) override;

private:
    OperationResult startPhotoStimulation();

    std::atomic<int32_t> timeDeferTicks_{static_cast<int32_t>(TicksPerSecond)};
    std::atomic<int32_t> absoluteStartTick_{0};
    std::atomic<bool> useAbsoluteStart_{false};
};

}  // namespace VexaDevice::PhotoStim
