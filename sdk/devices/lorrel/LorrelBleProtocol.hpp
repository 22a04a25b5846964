#pragma once
// The protocol of the first Lorrel models (model bytes 0 to 2): it recognises the device from its
// Device Information record, finds the characteristics of the Lorrel service, follows battery
// level and device mode from the status notifications, sends the mode and stream commands (each
// answered by the status that repeats its code, StatusCommandLink), and runs one worker that
// publishes battery level, mode, signal, resistance (derived from the signal in resistance mode),
// motion and photoplethysmogram data on its buses.
//
// The signal is read at gain factor 1 as it arrives; the worker gives each pack the meaning and
// scale of the mode the device sent it in (Headband::PackModes), never those of the mode the
// commands have reached meanwhile.
//
// Threads: notification handlers run on the Bluetooth stack's threads and only store, answer the
// command in progress and wake the worker; commands and setters run on the caller's thread under
// the command lock; the worker publishes on its own thread.

#include <cstdint>
#include <memory>
#include <shared_mutex>
#include <string>
#include <vector>

#include "sdk/ble/IBLEDevice.hpp"
#include "sdk/core/DeviceVersion.hpp"
#include "sdk/core/OperationResult.hpp"
#include "sdk/core/SensorEnums.hpp"
#include "sdk/core/SpinGuarded.hpp"
#include "sdk/devices/common/IdentifiedLink.hpp"
#include "sdk/devices/common/OfferedCapabilities.hpp"
#include "sdk/devices/common/ProtocolStart.hpp"
#include "sdk/devices/common/ProtocolTiming.hpp"
#include "sdk/devices/common/ProtocolWorker.hpp"
#include "sdk/devices/common/RingReaders.hpp"
#include "sdk/devices/common/StatusPublisher.hpp"
#include "sdk/devices/kestrane/HeadbandSignalReader.hpp"
#include "sdk/devices/kestrane/KestraneChannels.hpp"
#include "sdk/devices/kestrane/KestraneStatus.hpp"
#include "sdk/devices/kestrane/PackModes.hpp"
#include "sdk/devices/kestrane/SideStreams.hpp"
#include "sdk/devices/kestrane/StreamBuses.hpp"
#include "sdk/devices/lorrel/LorrelWire.hpp"

namespace VexaDevice::Lorrel {

using Kestrane::DevAmpStatus;

class LorrelBleProtocol final : public std::enable_shared_from_this<LorrelBleProtocol>,
                                public Kestrane::StreamBuses,
                                public Kestrane::SideStreams,
                                public Devices::OfferedCapabilities {
public:
    // Reads the device's identity and status, builds the channels, starts the worker and brings
    // a measuring device to rest. Throws rt_exception "Failed create Lorrel Black BLE Protocol:
    // ..." (or the device's own text for a library exception) when the device cannot be driven;
    // nothing of it keeps running then.
    static std::shared_ptr<LorrelBleProtocol> create(std::shared_ptr<BLE::IBLEDevice> device,
                                                     BLE::ServiceChannels deviceInformation,
                                                     const Devices::ProtocolTiming& timing = {});
    ~LorrelBleProtocol();
    LorrelBleProtocol(const LorrelBleProtocol&) = delete;
    LorrelBleProtocol& operator=(const LorrelBleProtocol&) = delete;

    // Mode commands: success without sending when the device already reports the mode, else the
    // device's answer. A start the device accepts without reaching its mode fails.
    OperationResult powerDown();
    OperationResult setIdle();
    OperationResult startSignal();
    OperationResult startResist();

    // Gain index 0-6 for the next start of the signal: {516, ...} while the device measures,
    // {517, ...} for another index; nothing is sent.
    OperationResult setGain(const uint8_t& index);
    uint8_t gain() const { return packModes_->gain(); }
    int32_t battPower() const { return linked_.link().battery(); }
    uint8_t ampMode() const { return linked_.link().mode(); }
    uint8_t samplingFrequency() const { return Headband::samplingFrequencyCode(Headband::SamplingRateHz); }
    uint8_t samplingFrequencyResist() const { return Headband::NoCode; }
    DeviceVersion deviceVersion() const { return linked_.version(); }
    uint8_t modelCode() const { return deviceVersion().modelMajor; }
    // At most the 16 characters of the record, up to the first zero byte.
    std::string serialNumber() const { return deviceVersion().serialText(); }

    // After a lost link: reads the device information and the status again. Always true.
    bool onConnected();
    // The link dropped: waits and retries end early until the next onConnected.
    bool onDisconnected();
    // The services were resolved again under a live link: the status is read again.
    void onServicesRebound();

private:
    friend struct Devices::ProtocolStart;
    LorrelBleProtocol(std::shared_ptr<BLE::IBLEDevice> device, BLE::ServiceChannels deviceInformation,
                      const Devices::ProtocolTiming& timing);

    void start();
    void stop();
    void setUpGatt();
    void bringToRest();

    // Takes the command lock. `accepted` runs once the device accepted the frame and reports
    // `mode` (a stop: no measuring mode).
    OperationResult modeCommand(uint8_t mode, const std::vector<uint8_t>& frame, void (LorrelBleProtocol::*accepted)());
    void streamNone();
    void streamMeasurement();

    // Sends a stream command and reports the device's answer.
    Kestrane::SendFrame commandSender();
    Kestrane::SideStreams::WriteOnce frameWriter();

    void workerPass();
    void signalStep(std::vector<Kestrane::_SignalData>& signal, std::vector<Kestrane::_ResistData>& resist);

    const Devices::ProtocolTiming timing_;
    Devices::IdentifiedLink linked_;
    std::shared_ptr<Kestrane::BLESignalChannel> signal_;
    // Shared with the status handler.
    const std::shared_ptr<Headband::PackModes> packModes_ = std::make_shared<Headband::PackModes>();

    mutable std::shared_mutex commandLock_;

    // Worker-only state.
    Devices::BacklogReader<Kestrane::_SignalData> signalReader_;
    Headband::SignalReader packReader_;
    uint64_t measurement_ = 0;
    Devices::StatusPublisher<DevAmpStatus> statusPublisher_;

    Devices::ProtocolWorker worker_;
};

// The protocol of a Lorrel device of model 0 to 2 (LorrelBleProtocol::create).
std::shared_ptr<LorrelBleProtocol> makeLorrelBleProtocol(std::shared_ptr<BLE::IBLEDevice> device,
                                                         BLE::ServiceChannels deviceInformation,
                                                         const Devices::ProtocolTiming& timing = {});

}  // namespace VexaDevice::Lorrel
