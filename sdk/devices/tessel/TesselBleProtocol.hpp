#pragma once
// GATT protocol of the Tessel-class sensors over one service: the Rx characteristic (the
// device notifies) and the Tx characteristic (the library writes 20-byte command frames).
//
// Command side: frames with the device's serial and checksum, replies matched to the command
// in flight, requests whose answer arrives as data (battery voltage, electrode state), the
// capability list the device reports, and the connect and reconnect sequences.
// Data side: notifications are split into 20-byte packs; replies are decoded at once on the
// notifying thread, data packs go through a ring to the worker, which decodes and publishes
// them and asks the device for its battery voltage and electrode state now and then.
//
// Threads: commands run on the caller's thread; the device class holds the command lock for
// each of its commands. The worker never waits for the command lock: its requests are skipped
// while a command is in flight and sent again on a later pass.

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <span>
#include <vector>

#include "sdk/ble/BLEChannel.hpp"
#include "sdk/core/EventBus.hpp"
#include "sdk/core/OperationResult.hpp"
#include "sdk/core/RBuffer.hpp"
#include "sdk/core/SensorEnums.hpp"
#include "sdk/devices/common/CommandExchange.hpp"
#include "sdk/devices/common/ProtocolStart.hpp"
#include "sdk/devices/common/ProtocolWorker.hpp"
#include "sdk/devices/common/RingReaders.hpp"
#include "sdk/devices/tessel/DroppedStream.hpp"
#include "sdk/devices/tessel/PackCounter.hpp"
#include "sdk/devices/tessel/TesselRecords.hpp"
#include "sdk/devices/tessel/TesselTiming.hpp"
#include "sdk/devices/tessel/TesselWire.hpp"

namespace VexaDevice::Tessel {

class TesselBleProtocol : public std::enable_shared_from_this<TesselBleProtocol>, public TesselBuses {
public:
    // Subscribes to the Rx notifications, starts the worker and runs the connect sequence:
    // serial number, battery request, echo, capability list (a device found in its boot
    // loader is switched to its application first), motion-counter parameters. Throws
    // rt_exception "Rx Channel cannot be null." or "Tx Channel cannot be null.", and for a
    // failed sequence the cause ("Failed create Tessel BLE Protocol: ..." for a non-library
    // error).
    static std::shared_ptr<TesselBleProtocol> create(std::shared_ptr<BLE::IBLEChannel> rx,
                                                     std::shared_ptr<BLE::IBLEChannel> tx, TesselTiming timing = {});
    ~TesselBleProtocol();
    TesselBleProtocol(const TesselBleProtocol&) = delete;
    TesselBleProtocol& operator=(const TesselBleProtocol&) = delete;

    // Commands. `execCommand` writes the frame up to retries + 1 times, once per reply wait,
    // and gives {0, code, error 511} when no reply came.
    OpCmdRes execCommand(uint8_t code, const CommandArgs& args, int retries);
    // A request whose answer arrives as a data pack: at most retries + 1 writes, paced by the
    // retry pause; {written, code, error 0 or 511}.
    OpCmdRes sendCommandNoReply(uint8_t code, int retries);
    // Held by the device class for a whole command.
    std::unique_lock<std::mutex> lockCommands() { return std::unique_lock(commandLock_); }

    // Checks against the current capability list: 767 for a command it lacks, 1023 for a
    // parameter it lacks, 1279 for a write to a parameter that is not writable.
    OperationResult checkCommand(Sensor::SensorCommand command) const;
    OperationResult checkParameter(Sensor::SensorParameter parameter, Sensor::SensorParamAccess access) const;

    // Connection changes reported by the device class. After a disconnection the next
    // reinitAfterReconnect runs the connect sequence again (and throws as create does).
    void onDisconnected();
    bool reinitAfterReconnect();
    bool onConnected() { return reinitAfterReconnect(); }
    // The services were resolved again under a live link: the battery level is asked for again.
    void onServicesRebound();

    // Ends the notifications and the worker, joining it unless called on it; the destructor
    // does the same. A worker pass that holds the protocol when its owner lets go would
    // otherwise still use the channels after the owner has returned.
    void stop();

    // The capability list's features, commands and parameters.
    Sensor::FeatureSet supportedFeatures() const { return capabilities()->offered.features; }
    Sensor::CommandSet supportedCommands() const { return capabilities()->offered.commands; }
    Sensor::ParameterMap supportedParameters() const { return capabilities()->offered.parameters; }

    // State. The capability list is replaced as a whole; a caller keeps the one it got.
    std::shared_ptr<const TesselCapabilities> capabilities() const;
    // Applies a successful setter to the current list.
    template <class Change>
    void updateCapabilities(Change change) {
        std::lock_guard lock(capabilitiesMutex_);
        auto updated = std::make_shared<TesselCapabilities>(*capabilities_);
        change(*updated);
        capabilities_ = std::move(updated);
    }
    EchoInfo echo() const;
    FirmwareVersion firmwareVersion() const;
    int32_t firmwareMode() const { return firmwareMode_; }
    uint32_t serialNumber() const { return serial_; }
    int32_t batteryPercent() const { return batteryPercent_; }
    // Whether the device reported its battery voltage since the protocol began.
    bool batteryKnown() const { return batteryKnown_; }
    ElectrodeState electrodeState() const { return electrodeState_; }
    MotionCounterParams motionCounterParams() const;
    void setMotionCounterParams(const MotionCounterParams& params);
    PackCounter& packCounter() { return packCounter_; }
    bool isReady() const { return ready_; }

    std::weak_ptr<Devices::BatteryBus> batteryEvent() const { return batteryBus_; }
    std::weak_ptr<ElectrodeBus> electrodeStateEvent() const { return electrodeBus_; }
    std::weak_ptr<SignalBus> signalEvent() const { return signalBus_; }
    std::weak_ptr<RespirationBus> respirationEvent() const { return respirationBus_; }
    std::weak_ptr<MotionBus> memsEvent() const { return motionBus_; }
    std::weak_ptr<EnvelopeBus> envelopeEvent() const { return envelopeBus_; }
    std::weak_ptr<QuaternionBus> quaternionEvent() const { return quaternionBus_; }

private:
    friend struct Devices::ProtocolStart;

    TesselBleProtocol(std::shared_ptr<BLE::IBLEChannel> rx, std::shared_ptr<BLE::IBLEChannel> tx, TesselTiming timing);

    void start();
    // Serial, battery request, echo, capability list, motion-counter parameters; the caller
    // holds the command lock.
    void initialise();
    OperationResult switchFirmwareMode(int32_t mode);
    void readSerialNumber();
    void readEcho();
    void readSensorParams();
    void readMotionCounterParams();
    bool requestBattery();
    bool requestElectrodeState();
    template <class Payload>
    Payload readPayload(uint8_t code, int retries);

    void onNotification(const std::vector<uint8_t>& bytes);
    void onReply(const TesselPack& pack);

    // An ERROR reply that answers one of the requests without reply, not a waiting command:
    // one that arrives while such a request still awaits its answer.
    bool answersRequest();
    void noteRequest(uint8_t code, bool outstanding);

    void workerPass();
    // A periodic request of the worker, sent only when no command is in flight.
    bool requestFromWorker(uint8_t code);
    void publish(const PackLists& lists);

    const TesselTiming timing_;
    const std::shared_ptr<BLE::IBLEChannel> rx_;
    const std::shared_ptr<BLE::IBLEChannel> tx_;

    std::atomic<bool> running_{false};
    std::atomic<bool> stopping_{false};
    std::atomic<bool> serialKnown_{false};
    std::atomic<bool> ready_{false};
    std::atomic<bool> needsReinit_{false};
    std::atomic<uint32_t> serial_{0};
    std::atomic<int32_t> batteryPercent_{0};
    std::atomic<bool> batteryKnown_{false};
    std::atomic<ElectrodeState> electrodeState_{ElectrodeState::Normal};
    std::atomic<int32_t> firmwareMode_{0};

    mutable std::mutex stateMutex_;
    EchoInfo echo_;
    MotionCounterParams motionCounter_;

    mutable std::mutex capabilitiesMutex_;
    std::shared_ptr<const TesselCapabilities> capabilities_ = std::make_shared<TesselCapabilities>();

    // The first battery value, awaited once while connecting.
    std::mutex batteryMutex_;
    std::condition_variable batteryArrived_;

    std::mutex commandLock_;
    PackCounter packCounter_;
    // Deadlines (clock nanoseconds) until which a battery or electrode request may still be
    // answered with an ERROR reply.
    std::atomic<int64_t> batteryRequestOpen_{0};
    std::atomic<int64_t> electrodeRequestOpen_{0};
    // Worker-only.
    DroppedStream signalDrop_{"Signal"};
    DroppedStream motionDrop_{"Motion"};

    const std::shared_ptr<Devices::BatteryBus> batteryBus_;
    const std::shared_ptr<ElectrodeBus> electrodeBus_;
    const std::shared_ptr<SignalBus> signalBus_;
    const std::shared_ptr<RespirationBus> respirationBus_;
    const std::shared_ptr<MotionBus> motionBus_;
    const std::shared_ptr<EnvelopeBus> envelopeBus_;
    const std::shared_ptr<QuaternionBus> quaternionBus_;

    const std::shared_ptr<Utility::RBuffer<TesselPack>> ring_;
    Devices::CommandExchange<OpCmdRes> exchange_;
    std::shared_ptr<BLE::DataBus::Callback> rxHandler_;

    // Worker-only state.
    Devices::BacklogReader<TesselPack> reader_;
    int64_t lastBatteryRequest_ = 0;
    int64_t lastElectrodeRequest_ = 0;

    Devices::ProtocolWorker worker_;
};

}  // namespace VexaDevice::Tessel
