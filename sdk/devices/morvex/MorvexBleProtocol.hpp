#pragma once
// GATT protocol of the first-generation Morvex head-worn EEG device (electrodes O1, T3, T4,
// O2): reads the device's identity, switches it between idle, signal and resistance states,
// decodes its data packs and measures electrode resistance, and publishes battery level,
// device state, signal batches and resistance records on its event buses.
//
// Threads: notification handlers run on the Bluetooth stack's threads and only fill rings,
// store the state, publish command replies and wake the worker; commands run on the caller's
// thread under the command lock; the worker decodes and publishes on its own thread.

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "sdk/ble/BLEChannel.hpp"
#include "sdk/ble/IBLEDevice.hpp"
#include "sdk/core/EventBus.hpp"
#include "sdk/core/OperationResult.hpp"
#include "sdk/core/RBuffer.hpp"
#include "sdk/core/SensorEnums.hpp"
#include "sdk/devices/common/BatteryBus.hpp"
#include "sdk/devices/common/CommandExchange.hpp"
#include "sdk/devices/common/DeviceStateTrust.hpp"
#include "sdk/devices/common/LinkLoss.hpp"
#include "sdk/devices/common/ProtocolStart.hpp"
#include "sdk/devices/common/ProtocolTiming.hpp"
#include "sdk/devices/common/ProtocolWorker.hpp"
#include "sdk/devices/common/RingReaders.hpp"
#include "sdk/devices/morvex/MorvexRecords.hpp"
#include "sdk/devices/morvex/MorvexResistMeter.hpp"
#include "sdk/devices/morvex/MorvexWire.hpp"

namespace VexaDevice::Morvex {

class MorvexBleProtocol : public std::enable_shared_from_this<MorvexBleProtocol> {
public:
    using SignalBus = Utility::EventBus<std::vector<_SignalData>>;
    using ResistBus = Utility::EventBus<_ResistData>;
    using StateBus = Utility::EventBus<MorvexStatus>;

    // Checks the channels, reads the device's identity and status, subscribes to the
    // notifications and starts the worker; a device found measuring is sent to idle. Throws
    // rt_exception on failure (texts as logged, "Failed create Morvex BLE Protocol: ...").
    static std::shared_ptr<MorvexBleProtocol> create(std::shared_ptr<BLE::IBLEDevice> device,
                                                     BLE::ServiceChannels deviceInformation,
                                                     std::shared_ptr<BLE::IBLEChannel> status,
                                                     std::shared_ptr<BLE::IBLEChannel> command,
                                                     std::shared_ptr<BLE::IBLEChannel> data,
                                                     const Devices::ProtocolTiming& timing = {});
    ~MorvexBleProtocol();
    MorvexBleProtocol(const MorvexBleProtocol&) = delete;
    MorvexBleProtocol& operator=(const MorvexBleProtocol&) = delete;

    // Stops notifications and the worker; waits for the worker unless called on it.
    void stop();

    // User commands, each under the command lock.
    OperationResult morvexStartSignal();
    OperationResult morvexStopSignal();
    OperationResult morvexStartResist();
    OperationResult morvexStopResist();
    OperationResult morvexSetGain(uint8_t gainIndex);

    // Readers.
    int battPower() const { return battery_; }
    uint8_t firmwareMode() const;
    uint8_t gain() const { return gainIndex_; }
    std::string serialNumber() const;
    uint8_t samplingFrequency() const { return SamplingFrequency250Hz; }
    uint8_t offset() const { return 0; }
    MorvexVersion version() const;
    uint8_t deviceState() const { return deviceState_; }
    Sensor::CommandSet supportedCommands() const;
    Sensor::FeatureSet supportedFeatures() const;
    Sensor::ParameterMap supportedParameters() const;

    // Connection changes reported by the device class.
    bool morvexOnConnected();
    bool morvexOnDisconnected();
    // The services were resolved again under a live link: the status is read again, as after a
    // reconnection. Throws rt_exception "Can not read Status" when no read succeeds.
    void morvexOnServicesRebound();

    std::weak_ptr<Devices::BatteryBus> batteryEvent() const { return batteryBus_; }
    std::weak_ptr<ResistBus> resistEvent() const { return resistBus_; }
    std::weak_ptr<StateBus> stateEvent() const { return stateBus_; }
    std::weak_ptr<SignalBus> signalEvent() const { return signalBus_; }

    // The sampling-frequency code of 250 Hz.
    static constexpr uint8_t SamplingFrequency250Hz = 4;

private:
    friend struct Devices::ProtocolStart;

    MorvexBleProtocol(std::shared_ptr<BLE::IBLEDevice> device, BLE::ServiceChannels deviceInformation,
                      std::shared_ptr<BLE::IBLEChannel> status, std::shared_ptr<BLE::IBLEChannel> command,
                      std::shared_ptr<BLE::IBLEChannel> data, const Devices::ProtocolTiming& timing);

    void checkChannels() const;
    void start();
    void stopNotifications();
    void morvexReadDeviceInfo();
    // Reads the status and hands it to the status handler; morvexReadStatus trusts the mode
    // read from then on, as a (re)connection does.
    void morvexReadStatusAgain();
    void morvexReadStatus();
    void morvexOnStatusNotify(const std::vector<uint8_t>& bytes);
    void morvexOnDataNotify(const std::vector<uint8_t>& bytes);

    // Under the command lock.
    OpCmdRes morvexSetIdle();
    OpCmdRes morvexSelectElectrode(uint8_t electrode, Polarity polarity);
    OpCmdRes sendUntilState(const std::vector<uint8_t>& frame, uint8_t state);
    std::optional<OpCmdRes> readCurrentStatus(std::vector<uint8_t>& value);
    std::optional<OperationResult> settledCommand(bool (*there)(uint8_t state));
    bool relearnState();
    std::optional<_ResistData> resistStep(std::span<const MorvexPack> packs);

    void morvexWorkerPass();

    const Devices::ProtocolTiming timing_;
    const BLE::ServiceChannels deviceInformation_;
    const std::shared_ptr<BLE::IBLEChannel> statusChannel_;
    const std::shared_ptr<BLE::IBLEChannel> commandChannel_;
    const std::shared_ptr<BLE::IBLEChannel> dataChannel_;

    std::atomic<bool> running_{false};
    Devices::LinkLoss linkLoss_;
    std::atomic<int> battery_{0};
    std::atomic<uint8_t> deviceState_{0};
    std::atomic<uint8_t> gainIndex_{4};

    mutable std::mutex identityMutex_;
    std::string serialNumber_;
    MorvexVersion version_;

    // Held for a whole command, and by the worker around one batch of resistance samples.
    std::mutex commandLock_;
    ElectrodeSelection selection_;
    // False after a switch the device did not acknowledge: it may be on either selection.
    bool selectionKnown_ = true;
    // Counts measurements started, so the worker knows when to forget the last one.
    uint64_t resistSession_ = 0;

    const std::shared_ptr<Devices::BatteryBus> batteryBus_;
    const std::shared_ptr<StateBus> stateBus_;
    const std::shared_ptr<SignalBus> signalBus_;
    const std::shared_ptr<ResistBus> resistBus_;

    const std::shared_ptr<Utility::RBuffer<DevStatusPack>> statusRing_;
    const std::shared_ptr<Utility::RBuffer<MorvexPack>> dataRing_;
    Devices::CommandExchange<OpCmdRes> exchange_;
    Devices::DeviceStateTrust trust_;

    std::shared_ptr<BLE::DataBus::Callback> statusHandler_;
    std::shared_ptr<BLE::DataBus::Callback> dataHandler_;

    // Worker-only state.
    Devices::NewestRecordReader<DevStatusPack> statusReader_;
    Devices::BacklogReader<MorvexPack> dataReader_;
    std::vector<_SignalData> signalBatch_;  // refilled by every pass that decodes signal
    uint8_t workerState_ = 0;
    MorvexResistMeter meter_;
    uint64_t meterSession_ = 0;

    Devices::ProtocolWorker worker_;
};

}  // namespace VexaDevice::Morvex
