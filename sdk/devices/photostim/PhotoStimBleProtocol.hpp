#pragma once
// The protocol object of a stand-alone photo-stimulator: its device information, its battery
// level, the photo-stimulation service that runs its programs, and a worker that publishes the
// battery level, battery voltage, stimulation state and sync state when they change.
//
// Threads: battery notifications and service status packs arrive on the Bluetooth stack's
// threads and only store values and wake the worker; host callbacks of the four buses run on
// the worker, at most one worker wait after the change. Commands to the stimulator run on the
// caller's thread, one at a time under the command lock.

#include <atomic>
#include <memory>
#include <mutex>
#include <shared_mutex>
#include <string>
#include <vector>

#include "sdk/ble/IBLEDevice.hpp"
#include "sdk/core/DeviceVersion.hpp"
#include "sdk/core/OperationResult.hpp"
#include "sdk/core/SensorEnums.hpp"
#include "sdk/core/SpinGuarded.hpp"
#include "sdk/devices/common/BatteryLevelChannel.hpp"
#include "sdk/devices/common/ChangedValue.hpp"
#include "sdk/devices/common/LinkLoss.hpp"
#include "sdk/devices/common/ProtocolStart.hpp"
#include "sdk/devices/common/ProtocolTiming.hpp"
#include "sdk/devices/common/ProtocolWorker.hpp"
#include "sdk/devices/photostim/PhotoStimBLEService.hpp"
#include "sdk/devices/photostim/StimulatorRelay.hpp"

namespace VexaDevice::PhotoStim {

class PhotoStimBleProtocol : public std::enable_shared_from_this<PhotoStimBleProtocol> {
public:
    // Throws rt_exception "Failed create PhotoStim BLE Protocol: ..." (or the cause's own
    // rt_exception) when the device cannot be driven.
    static std::shared_ptr<PhotoStimBleProtocol> create(std::shared_ptr<BLE::IBLEDevice> device,
                                                        BLE::ServiceChannels deviceInformation,
                                                        const Devices::ProtocolTiming& timing = {});
    virtual ~PhotoStimBleProtocol();
    PhotoStimBleProtocol(const PhotoStimBleProtocol&) = delete;
    PhotoStimBleProtocol& operator=(const PhotoStimBleProtocol&) = delete;

    Sensor::FeatureSet supportedFeatures() const;
    Sensor::CommandSet supportedCommands() const;
    Sensor::ParameterMap supportedParameters() const;

    // After a reconnection: reads the device information and the battery level again and
    // resumes the service.
    bool onConnected();
    // Link lost: waits and reads end at once until onConnected.
    void onDisconnected();
    // The services were resolved again under a live link: the battery level and the
    // stimulator's status are read again.
    void onServicesRebound();

    DeviceVersion deviceVersion() const { return version_.get(); }
    std::string serialNumber() const { return deviceVersion().serialText(); }
    int32_t battPower() const { return battery_->level(); }
    int32_t batteryVoltage() const { return service_->batteryVoltage(); }
    DevStimulStatus stimState() const;
    DevStimulSyncStatus syncState() const;
    // The stimulator time, read from the device first with `reread`.
    uint32_t stimulatorTime(bool reread);

    // The service's program list and commands, under the command lock. A link that is down
    // fails every command (513) before the service skips or sends anything on the state the
    // stimulator last reported.
    std::vector<StimProgram> programs() const;
    OperationResult writeStimPrograms(const std::vector<StimProgram>& programs);
    OperationResult reset();
    OperationResult prepareSync();
    OperationResult sync();
    // Starts the program list at stimulator time `tick`: done once the frame is written, the
    // state marked Running (the stimulator itself reports it only at that tick).
    OperationResult startProgram(uint32_t tick);
    // The same `deferTicks` after the stimulator's time as it is now, not as last reported.
    OperationResult startProgramAfter(uint32_t deferTicks);
    OperationResult stopProgram();

    std::weak_ptr<Utility::EventBus<int>> batteryEvent() const { return batteryLevel_.event(); }
    std::weak_ptr<Utility::EventBus<int>> batteryVoltageEvent() const { return relay_->batteryVoltageEvent(); }
    std::weak_ptr<StimStatusBus> stimStatusEvent() const { return relay_->stimStatusEvent(); }
    std::weak_ptr<SyncStatusBus> syncStatusEvent() const { return relay_->syncStatusEvent(); }

private:
    friend struct Devices::ProtocolStart;
    PhotoStimBleProtocol(std::shared_ptr<BLE::IBLEDevice> device, BLE::ServiceChannels deviceInformation,
                         const Devices::ProtocolTiming& timing);
    void start();
    void readVersion();
    void workerPass();
    template <class Command>
    OperationResult command(Command run);
    // Ends the worker and the notifications; the service stays, suspended.
    void shutDown();

    const Devices::ProtocolTiming timing_;
    const std::shared_ptr<BLE::IBLEDevice> device_;
    const BLE::ServiceChannels deviceInformation_;
    Devices::LinkLoss linkLoss_;
    // Orders a link-loss report with the reading again of a reconnection.
    std::mutex linkChange_;
    Utility::SpinGuarded<DeviceVersion> version_;
    std::unique_ptr<PhotoStimBLEService> service_;
    std::unique_ptr<Devices::BatteryLevelChannel> battery_;
    std::unique_ptr<StimulatorRelay> relay_;
    Devices::ChangedValue<int> batteryLevel_{0};
    mutable std::shared_mutex commandLock_;
    Devices::ProtocolWorker worker_;
};

}  // namespace VexaDevice::PhotoStim
