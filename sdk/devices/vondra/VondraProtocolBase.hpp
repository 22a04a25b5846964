#pragma once
// What the protocols of both Vondra generations do alike: recognise the device from its Device
// Information record, find the status, command, signal and resistance characteristics, follow
// battery level and device mode from the status notifications, send the mode commands, the ping
// and the amplifier setting, and run one worker that drains the signal and resistance channels
// while the device measures. A generation says how it publishes the records (publishSignal,
// publishResist).
//
// Threads: notification handlers run on the Bluetooth stack's threads and only store, answer a
// waiting command and wake the worker; commands run on the caller's thread under the command
// lock; the worker publishes on its own thread.

#include <atomic>
#include <cstdint>
#include <memory>
#include <optional>
#include <shared_mutex>
#include <span>
#include <string>
#include <utility>
#include <vector>

#include "sdk/ble/IBLEDevice.hpp"
#include "sdk/core/DeviceVersion.hpp"
#include "sdk/core/EventBus.hpp"
#include "sdk/core/OperationResult.hpp"
#include "sdk/core/SensorEnums.hpp"
#include "sdk/devices/common/BatteryBus.hpp"
#include "sdk/devices/common/ProtocolStart.hpp"
#include "sdk/devices/common/ProtocolTiming.hpp"
#include "sdk/devices/common/ProtocolWorker.hpp"
#include "sdk/devices/common/RingReaders.hpp"
#include "sdk/devices/common/StatusPublisher.hpp"
#include "sdk/devices/common/IdentifiedLink.hpp"
#include "sdk/devices/kestrane/KestraneChannels.hpp"
#include "sdk/devices/kestrane/KestraneStatus.hpp"
#include "sdk/devices/kestrane/StreamLayout.hpp"
#include "sdk/devices/vondra/VondraWire.hpp"

namespace VexaDevice::Vondra {

using OpCmdRes = Devices::CommandReply;

class VondraProtocolBase : public std::enable_shared_from_this<VondraProtocolBase> {
public:
    using ModeBus = Utility::EventBus<DevAmpStatus>;

    virtual ~VondraProtocolBase();

    VondraProtocolBase(const VondraProtocolBase&) = delete;
    VondraProtocolBase& operator=(const VondraProtocolBase&) = delete;

    // Mode commands: success without sending when the device already reports the mode, else
    // the device's answer.
    OperationResult powerDown();
    OperationResult setIdle();
    OperationResult startSignal();
    OperationResult startResist();
    OperationResult startSignalAndResist();

    // Writes [0x06, low byte of value] without waiting for an answer; {513, "Failed send ping"}
    // when the write fails.
    OperationResult ping(int32_t value);

    // {517, ...} for a value the amplifier cannot take (nothing is sent), else the device's
    // answer; the converters and the stored setting change only when the device accepted.
    OperationResult setAmplifierParam(const VondraAmplifierParam& param);
    // The defaults until the device accepts a setting, then the last one it accepted.
    OperationResult amplifierParam(VondraAmplifierParam& out) const;

    // After a reconnection of a lost link: reads the device information and the status again.
    OperationResult onConnected();
    // The link dropped: waits and retries end early until the next onConnected.
    OperationResult onDisconnected();
    // The services were resolved again under a live link: the status is read again.
    void onServicesRebound();

    int32_t battPower() const;
    uint8_t ampMode() const;
    // Codes of the sampling-frequency table: 4 (250 Hz) and 0 (10 Hz).
    uint8_t samplingFrequency() const;
    uint8_t samplingFrequencyResist() const;
    DeviceVersion deviceVersion() const { return linked_.version(); }
    std::string serialNumber() const { return deviceVersion().serialText(); }
    // The family byte of the model number.
    uint8_t modelCode() const { return deviceVersion().modelMajor; }

    Sensor::CommandSet supportedCommands() const { return layout_.commands; }
    Sensor::FeatureSet supportedFeatures() const { return layout_.features; }
    Sensor::ParameterMap supportedParameters() const { return layout_.parameters; }

    std::weak_ptr<Devices::BatteryBus> batteryEvent() const { return batteryBus_; }
    std::weak_ptr<ModeBus> ampModeEvent() const { return modeBus_; }

    VondraGeneration generation() const { return generation_; }

protected:
    // Texts of a generation's construction failures; without them a failure passes unchanged.
    struct CreationTexts {
        const char* subject;         // "Failed create <subject>: ..."
        const char* unknownFailure;  // a failure that is no standard exception
    };

    VondraProtocolBase(std::shared_ptr<BLE::IBLEDevice> device, BLE::ServiceChannels deviceInformation,
                       VondraGeneration generation, std::optional<CreationTexts> texts,
                       const Devices::ProtocolTiming& timing);

    // On the worker thread, while the device measures: the records read this pass, at least
    // one.
    virtual void publishSignal(std::span<const Kestrane::_SignalData> records) = 0;
    virtual void publishResist(std::span<const Kestrane::_ResistData> records) = 0;

    uint32_t channels() const { return layout_.channelCount; }

private:
    friend struct Devices::ProtocolStart;
    // On failure stops what was started and throws.
    void start();
    void construct();
    void stop();
    void setUpChannels();
    void applyStartUpAmplifier();

    OperationResult modeCommand(DevAmpStatus mode, uint8_t code, void (VondraProtocolBase::*before)(),
                                void (VondraProtocolBase::*accepted)());
    void keepStreams() {}
    void streamNone();
    void streamSignalOnly();
    void streamResistOnly();
    void streamBoth();

    void workerPass();

    const Devices::ProtocolTiming timing_;
    Devices::IdentifiedLink linked_;
    const VondraGeneration generation_;
    const std::optional<CreationTexts> texts_;
    const Kestrane::StreamLayout layout_;

    std::shared_ptr<Kestrane::BLESignalChannel> signal_;
    std::shared_ptr<Kestrane::BLEResistChannel> resist_;
    VondraAmplifierParam amplifier_;  // guarded by the command lock
    mutable std::shared_mutex commandLock_;

    const std::shared_ptr<Devices::BatteryBus> batteryBus_;
    const std::shared_ptr<ModeBus> modeBus_;

    // Worker-only state.
    Devices::BacklogReader<Kestrane::_SignalData> signalReader_;
    Devices::BacklogReader<Kestrane::_ResistData> resistReader_;
    Devices::StatusPublisher<DevAmpStatus> statusPublisher_;

    Devices::ProtocolWorker worker_;
};

}  // namespace VexaDevice::Vondra
