#pragma once
// The command-and-stream protocol shared by the Wrenlet and Morvex2 devices: it recognises the
// device from its Device Information record, builds the status and command channels and the
// Kestrane data channels, follows the device mode from the status notifications, sends mode,
// stream and amplifier commands (each answered by a status whose last byte repeats the command
// code) and runs one worker that drains the data channels into event buses.
//
// A family derives from it, says what it makes of the device's identity (layoutFor) and what
// it sends once the channels are up (configureDevice), and is built with Devices::ProtocolStart.
//
// Threads: notification handlers run on the Bluetooth stack's threads and only store, publish
// the reply and wake the worker; commands and setters run on the caller's thread under the
// command lock; the worker publishes on its own thread.

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
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
#include "sdk/devices/common/StatusPublisher.hpp"
#include "sdk/devices/kestrane/KestraneChannels.hpp"
#include "sdk/devices/kestrane/KestraneStatus.hpp"
#include "sdk/devices/kestrane/SideStreams.hpp"
#include "sdk/devices/kestrane/StreamBuses.hpp"
#include "sdk/devices/kestrane/StreamLayout.hpp"

namespace VexaDevice::Kestrane {

// Texts of a family's construction failures.
struct ProtocolIdentity {
    const char* subject;         // "Failed create <subject>: ..."
    const char* unknownFailure;  // exception text of a failure that is no standard exception
};

class CommandStreamProtocol : public std::enable_shared_from_this<CommandStreamProtocol>,
                              public StreamBuses,
                              public SideStreams,
                              public Devices::OfferedCapabilities {
public:
    virtual ~CommandStreamProtocol();
    CommandStreamProtocol(const CommandStreamProtocol&) = delete;
    CommandStreamProtocol& operator=(const CommandStreamProtocol&) = delete;

    // Stops the status notification and the worker; waits for the worker unless called on it.
    void stop();

    // Mode commands: success without sending when the device already reports the mode.
    OperationResult powerDown();
    OperationResult setIdle();
    OperationResult startSignal();
    OperationResult startResist();
    OperationResult startSignalAndResist();

    uint8_t ampMode() const { return mode_; }
    int32_t battPower() const { return battery_; }
    uint8_t samplingFrequency() const;
    uint8_t samplingFrequencyResist() const;
    uint8_t modelCode() const { return deviceVersion().modelMajor; }
    std::string serialNumber() const { return deviceVersion().serialText(); }
    DeviceVersion deviceVersion() const { return version_.get(); }
    uint32_t channelCount() const { return layout_.channelCount; }

    // After a reconnection: reads the device information and the status again.
    OperationResult onConnected();
    OperationResult onDisconnected();
    // The services were resolved again under a live link: the status is read again.
    void onServicesRebound();

protected:
    CommandStreamProtocol(std::shared_ptr<BLE::IBLEDevice> device, BLE::ServiceChannels deviceInformation,
                          ProtocolIdentity identity, const Devices::ProtocolTiming& timing);

    // The family's reading of the device's identity; throws rt_exception "Device unsupported.
    // ..." for a device it does not know.
    virtual StreamLayout layoutFor(const DeviceVersion& version) const = 0;
    // Runs once the worker is up, before the device is brought to rest.
    virtual void configureDevice() = 0;

    // Checks every byte of the record (checkAmplifierRecord over every slot it carries, with
    // gain codes 0..6 and current codes 0..4), sends the amplifier frame and, once the device
    // accepted it, hands the new parameters to the signal and resistance channels and runs
    // `accepted` (still under the command lock). The result is the device's answer.
    OperationResult applyAmplifier(const AmplifierSettings& settings, const std::function<void()>& accepted);

    // Sends one frame and waits for the status that answers its first byte. Under the command lock.
    OpCmdRes exchange(const std::vector<uint8_t>& frame);

    std::unique_lock<std::shared_mutex> lockCommands() { return std::unique_lock(commandLock_); }
    std::shared_lock<std::shared_mutex> readCommands() const { return std::shared_lock(commandLock_); }

    const StreamLayout& layout() const { return layout_; }
    BLESignalChannel& signalChannel() { return *signal_; }

private:
    friend struct Devices::ProtocolStart;
    // Throws rt_exception on failure ("Failed create <subject>: ...").
    void start();
    void setUpGatt();
    void fillCapabilities();
    // Reads the status and hands it to the status handler; readStatus trusts the mode read from
    // then on, as a (re)connection does.
    void readStatusAgain();
    void readStatus();
    void onStatus(const std::vector<uint8_t>& bytes);
    void bringToRest();
    void workerPass();

    OperationResult modeCommand(DevAmpStatus mode, uint8_t code, void (CommandStreamProtocol::*accepted)());
    void streamSignalOnly();
    void streamResistOnly();
    void streamBoth();
    void streamNone();

    // Sends a stream command and reports the device's answer.
    SendFrame commandSender();
    SideStreams::WriteOnce frameWriter();

    template <class Channel, class Reader, class Bus>
    void drain(const std::shared_ptr<Channel>& channel, Reader& reader, bool passOn, Bus& bus);

    const Devices::ProtocolTiming timing_;
    const std::shared_ptr<BLE::IBLEDevice> device_;
    const BLE::ServiceChannels deviceInformation_;
    const ProtocolIdentity identity_;

    Utility::SpinGuarded<DeviceVersion> version_;
    StreamLayout layout_;
    std::shared_ptr<BLE::IBLEChannel> status_;
    std::shared_ptr<BLE::IBLEChannel> command_;
    std::shared_ptr<BLESignalChannel> signal_;
    std::shared_ptr<BLEResistChannel> resist_;

    std::atomic<int32_t> battery_{0};
    std::atomic<uint8_t> mode_{0};
    std::atomic<uint8_t> motionState_{0};
    std::atomic<uint8_t> fpgState_{0};
    Devices::LinkLoss linkLoss_;

    mutable std::shared_mutex commandLock_;

    const std::shared_ptr<Utility::RBuffer<DevStatusPack>> statusRing_;
    Devices::CommandExchange<OpCmdRes> exchange_;
    Devices::DeviceStateTrust trust_;
    // Orders link-loss reports against reconnection: a loss reported once the link is back is stale.
    std::shared_ptr<BLE::DataBus::Callback> statusHandler_;

    // Worker-only state.
    Devices::NewestRecordReader<DevStatusPack> statusReader_;
    Devices::BacklogReader<_SignalData> signalReader_;
    Devices::BacklogReader<_ResistData> resistReader_;
    Devices::StatusPublisher<DevAmpStatus> statusPublisher_;

    Devices::ProtocolWorker worker_;
};

}  // namespace VexaDevice::Kestrane
