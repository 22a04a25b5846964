#pragma once
// GATT protocol of the first MorvexBlack hardware variant: four EEG channels streamed as
// Kestrane signal packs, electrode resistance derived from that signal while the device drives
// its probe current (windows opened by 0xAA markers), and motion and photoplethysmogram streams
// where the device has them. Mode commands are answered by the device's status notification;
// the stream commands are only written.
//
// Threads: notification handlers run on the Bluetooth stack's threads and only fill rings,
// store the state, hand the reply to the command in progress and wake the worker; commands and
// settings run on the caller's thread under the command lock; the worker decodes and publishes
// on its own thread, outside that lock.

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "sdk/ble/IBLEDevice.hpp"
#include "sdk/core/DeviceVersion.hpp"
#include "sdk/core/OperationResult.hpp"
#include "sdk/core/RBuffer.hpp"
#include "sdk/core/SensorEnums.hpp"
#include "sdk/core/SpinGuarded.hpp"
#include "sdk/devices/common/CommandExchange.hpp"
#include "sdk/devices/common/DeviceStateTrust.hpp"
#include "sdk/devices/common/LinkLoss.hpp"
#include "sdk/devices/common/ProtocolTiming.hpp"
#include "sdk/devices/common/ProtocolWorker.hpp"
#include "sdk/devices/common/RingReaders.hpp"
#include "sdk/devices/kestrane/CodedStream.hpp"
#include "sdk/devices/kestrane/HeadbandSignalReader.hpp"
#include "sdk/devices/kestrane/KestraneChannels.hpp"
#include "sdk/devices/kestrane/StreamBuses.hpp"
#include "sdk/devices/morvex/MorvexBlackWire.hpp"

namespace VexaDevice::MorvexBlack {

class MorvexBleProtocol : public std::enable_shared_from_this<MorvexBleProtocol>, public Kestrane::StreamBuses {
public:

    // Reads the device's identity and status, builds the channels, starts the worker and brings
    // a measuring device to rest. Throws rt_exception "Failed create Morvex Black BLE Protocol:
    // ..." when the device cannot be driven.
    static std::shared_ptr<MorvexBleProtocol> create(std::shared_ptr<BLE::IBLEDevice> device,
                                                     BLE::ServiceChannels deviceInformation,
                                                     const Devices::ProtocolTiming& timing = {});
    ~MorvexBleProtocol();
    MorvexBleProtocol(const MorvexBleProtocol&) = delete;
    MorvexBleProtocol& operator=(const MorvexBleProtocol&) = delete;

    // Stops the status notification and the worker; waits for the worker unless called on it.
    void stop();

    // Mode commands: success without sending when the device already reports the mode. Only a
    // status that arrives after the frame and shows the mode asked for (or reports an error)
    // answers it.
    OperationResult powerDown();
    OperationResult setIdle();
    // `startNotification` non-zero: the signal notification is started once the device streams.
    OperationResult startSignal(uint8_t startNotification = 1);
    OperationResult startResist();

    // Stream commands, written without an answer: {514, "StartMEMS"} etc. without the channel,
    // {513, "Failed send StartMEMS"} etc. when no write got through.
    OperationResult startMEMS();
    OperationResult stopMEMS();
    OperationResult startFPG();
    OperationResult stopFPG();

    // Gain index 0-6 for the next start of the signal; refused while the device measures.
    OperationResult setGain(const uint8_t& index);
    // {515, "Unsupported parameter [...]"} without the channel or for a code the stream command
    // cannot carry. A running stream is started again with the new code, which is kept only when
    // the start was written.
    OperationResult setAccelerometerSens(uint8_t code);
    OperationResult setGyroscopeSens(uint8_t code);
    OperationResult setIrAmplitude(uint8_t code);
    OperationResult setRedAmplitude(uint8_t code);

    // Writes [0x06, low byte of value] without waiting for an answer.
    OperationResult ping(int32_t value);

    uint8_t accelerometerSens() const { return motion_.params().code1; }
    uint8_t gyroscopeSens() const { return motion_.params().code2; }
    uint8_t irAmplitude() const { return fpg_.params().code1; }
    uint8_t redAmplitude() const { return fpg_.params().code2; }
    uint8_t gain() const { return gainIndex_; }
    uint8_t ampMode() const { return mode_; }
    int32_t battPower() const { return battery_; }
    uint8_t samplingFrequency() const { return samplingFrequencyCode(SamplingRateHz); }
    uint8_t samplingFrequencyMEMS() const;
    uint8_t samplingFrequencyFPG() const;
    uint8_t samplingFrequencyResist() const { return NoCode; }
    uint8_t modelCode() const { return deviceVersion().modelMajor; }
    std::string serialNumber() const { return deviceVersion().serialText(); }
    DeviceVersion deviceVersion() const { return version_.get(); }

    Sensor::CommandSet supportedCommands() const { return commands_; }
    Sensor::FeatureSet supportedFeatures() const { return features_; }
    Sensor::ParameterMap supportedParameters() const { return parameters_; }

    // After a reconnection the device information and the status are read again.
    bool onConnected();
    bool onDisconnected();


private:
    MorvexBleProtocol(std::shared_ptr<BLE::IBLEDevice> device, BLE::ServiceChannels deviceInformation,
                      const Devices::ProtocolTiming& timing);

    void start();
    void readDeviceInformation(bool cancel);
    void setUpGatt();
    void fillCapabilities();
    void readStatus();
    void onStatusData(const std::vector<uint8_t>& bytes);
    void bringToRest();

    // Under the command lock: exchanges `frame` until the device reports `target`, then runs
    // `reached`.
    OperationResult modeCommand(DevAmpStatus target, const std::vector<uint8_t>& frame,
                                const std::function<void()>& reached);
    void streamNone();
    void streamSignal(bool startNotification);
    void streamResist();

    Kestrane::SendFrame commandSender();

    bool relearnState();
    void workerPass();
    void signalStep(std::vector<Kestrane::_SignalData>& signal, std::vector<Kestrane::_ResistData>& resist);
    template <class Channel, class Reader, class Bus>
    void drain(const std::shared_ptr<Channel>& channel, Reader& reader, Bus& bus);

    const Devices::ProtocolTiming timing_;
    const std::shared_ptr<BLE::IBLEDevice> device_;
    const BLE::ServiceChannels deviceInformation_;

    Utility::SpinGuarded<DeviceVersion> version_;
    std::shared_ptr<BLE::IBLEChannel> status_;
    std::shared_ptr<BLE::IBLEChannel> command_;
    std::shared_ptr<Kestrane::BLESignalChannel> signal_;
    // Changed under the command lock.
    Kestrane::CodedMotionStream motion_;
    Kestrane::CodedFpgStream fpg_;

    std::atomic<bool> running_{false};
    std::atomic<int32_t> battery_{0};
    std::atomic<uint8_t> mode_{0};
    std::atomic<uint8_t> gainIndex_{DefaultGainIndex};

    Sensor::CommandSet commands_;
    Sensor::ParameterMap parameters_;
    Sensor::FeatureSet features_;

    std::mutex commandLock_;

    const std::shared_ptr<Utility::RBuffer<DevStatusPack>> statusRing_;
    Devices::LinkLoss linkLoss_;
    Devices::CommandExchange<OpCmdRes> exchange_;
    Devices::DeviceStateTrust trust_;
    std::shared_ptr<BLE::DataBus::Callback> statusHandler_;

    // Worker-only state.
    Devices::NewestRecordReader<DevStatusPack> statusReader_;
    Devices::BacklogReader<Kestrane::_SignalData> signalReader_;
    Devices::BacklogReader<Kestrane::_IMUData> motionReader_;
    Devices::BacklogReader<Kestrane::_FPGData> fpgReader_;
    Kestrane::Headband::SignalReader packReader_;
    uint8_t workerMode_ = 0;

    Devices::ProtocolWorker worker_;
};

}  // namespace VexaDevice::MorvexBlack
