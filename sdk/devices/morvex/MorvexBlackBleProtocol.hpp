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
#include <shared_mutex>
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
#include "sdk/devices/common/OfferedCapabilities.hpp"
#include "sdk/devices/common/ProtocolStart.hpp"
#include "sdk/devices/common/ProtocolTiming.hpp"
#include "sdk/devices/common/ProtocolWorker.hpp"
#include "sdk/devices/common/RingReaders.hpp"
#include "sdk/devices/kestrane/HeadbandSignalReader.hpp"
#include "sdk/devices/kestrane/KestraneChannels.hpp"
#include "sdk/devices/kestrane/SideStreams.hpp"
#include "sdk/devices/kestrane/StreamBuses.hpp"
#include "sdk/devices/morvex/MorvexBlackWire.hpp"

namespace VexaDevice::MorvexBlack {

class MorvexBleProtocol : public std::enable_shared_from_this<MorvexBleProtocol>,
                          public Kestrane::StreamBuses,
                          public Kestrane::SideStreams,
                          public Devices::OfferedCapabilities {
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

    // Gain index 0-6 for the next start of the signal; refused while the device measures.
    OperationResult setGain(const uint8_t& index);
    uint8_t gain() const { return gainIndex_; }
    uint8_t ampMode() const { return mode_; }
    int32_t battPower() const { return battery_; }
    uint8_t samplingFrequency() const { return samplingFrequencyCode(SamplingRateHz); }
    uint8_t samplingFrequencyResist() const { return NoCode; }
    uint8_t modelCode() const { return deviceVersion().modelMajor; }
    std::string serialNumber() const { return deviceVersion().serialText(); }
    DeviceVersion deviceVersion() const { return version_.get(); }

    // After a reconnection the device information and the status are read again.
    bool onConnected();
    bool onDisconnected();
    // The services were resolved again under a live link: the status is read again.
    void onServicesRebound();

private:
    friend struct Devices::ProtocolStart;
    MorvexBleProtocol(std::shared_ptr<BLE::IBLEDevice> device, BLE::ServiceChannels deviceInformation,
                      const Devices::ProtocolTiming& timing);

    void start();
    void readDeviceInformation(bool cancel);
    void setUpGatt();
    void fillCapabilities();
    // Reads the status and hands it to the status handler; readStatus trusts the mode read from
    // then on, as a (re)connection does.
    void readStatusAgain();
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

    // Stream commands are written without an answer: {513, "Failed send StartMEMS"} etc. when
    // no write got through.
    Kestrane::SendFrame commandSender();
    Kestrane::SideStreams::WriteOnce frameWriter();

    bool relearnState();
    void workerPass();
    void signalStep(std::vector<Kestrane::_SignalData>& signal, std::vector<Kestrane::_ResistData>& resist);

    const Devices::ProtocolTiming timing_;
    const std::shared_ptr<BLE::IBLEDevice> device_;
    const BLE::ServiceChannels deviceInformation_;

    Utility::SpinGuarded<DeviceVersion> version_;
    std::shared_ptr<BLE::IBLEChannel> status_;
    std::shared_ptr<BLE::IBLEChannel> command_;
    std::shared_ptr<Kestrane::BLESignalChannel> signal_;

    std::atomic<bool> running_{false};
    std::atomic<int32_t> battery_{0};
    std::atomic<uint8_t> mode_{0};
    std::atomic<uint8_t> gainIndex_{DefaultGainIndex};

    std::shared_mutex commandLock_;

    const std::shared_ptr<Utility::RBuffer<DevStatusPack>> statusRing_;
    Devices::LinkLoss linkLoss_;
    Devices::CommandExchange<OpCmdRes> exchange_;
    Devices::DeviceStateTrust trust_;
    std::shared_ptr<BLE::DataBus::Callback> statusHandler_;

    // Worker-only state.
    Devices::NewestRecordReader<DevStatusPack> statusReader_;
    Devices::BacklogReader<Kestrane::_SignalData> signalReader_;
    Kestrane::Headband::SignalReader packReader_;
    uint8_t workerMode_ = 0;

    Devices::ProtocolWorker worker_;
};

}  // namespace VexaDevice::MorvexBlack
