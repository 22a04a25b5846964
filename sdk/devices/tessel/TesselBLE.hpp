#pragma once
// The device class of the Tessel-class sensors (families 1 and 2 of the exported interface):
// picks the service set the device serves, drives its protocol, checks every parameter access
// against the capability list the device reported and every value against its range, and
// hands out the protocol's event buses.

#include <atomic>
#include <memory>

#include "sdk/ble/IBLEDevice.hpp"
#include "sdk/devices/common/FamilyDevice.hpp"
#include "sdk/devices/tessel/ITessel.hpp"
#include "sdk/devices/tessel/TesselBleProtocol.hpp"
#include "sdk/devices/tessel/TesselGattInfo.hpp"
#include "sdk/devices/tessel/TesselTiming.hpp"

namespace VexaDevice::Tessel {

// Settings of each signal type: gain index, data offset, external switch.
struct SignalPreset {
    uint8_t gain;
    uint8_t dataOffset;
    uint8_t externalSwitch;
};
inline constexpr uint8_t SignalTypeCount = 7;
inline constexpr uint8_t UnknownSignalType = 7;
// The type whose preset the settings match (with no hardware filter on), else 7.
uint8_t recogniseSignalType(uint8_t gain, uint8_t dataOffset, uint8_t externalSwitch, bool filtersOff);

class TesselBLE final : public Devices::FamilyDevice<ITessel, TesselBleProtocol> {
public:
    // Throws rt_exception "The device offers no Tessel service." for a device without any of
    // the four service sets, and what the protocol throws while it connects.
    explicit TesselBLE(std::shared_ptr<BLE::IBLEDevice> device, const TesselTiming& timing = {});
    ~TesselBLE() override;

    OperationResult execCommand(const Sensor::SensorCommand& command) override;

    std::set<uint8_t> supportedFilters() override;
    int32_t nameKind() override { return gattInfo_->nameKind(); }
    OperationResult readColor(int32_t& out) override { return Devices::give(out, gattInfo_->serviceSet()); }
    uint8_t readSignalSettings() override { return signalType_; }
    OperationResult writeSignalSettings(uint8_t type) override;

    std::weak_ptr<Devices::BatteryBus> batteryEvent() override { return protocol().batteryEvent(); }
    std::weak_ptr<TesselBleProtocol::SignalBus> signalEvent() override { return protocol().signalEvent(); }
    std::weak_ptr<TesselBleProtocol::RespirationBus> respirationEvent() override {
        return protocol().respirationEvent();
    }
    std::weak_ptr<TesselBleProtocol::ElectrodeBus> electrodeStateEvent() override {
        return protocol().electrodeStateEvent();
    }
    std::weak_ptr<TesselBleProtocol::MotionBus> memsEvent() override { return protocol().memsEvent(); }
    std::weak_ptr<TesselBleProtocol::EnvelopeBus> envelopeEvent() override { return protocol().envelopeEvent(); }
    std::weak_ptr<TesselBleProtocol::QuaternionBus> quaternionEvent() override { return protocol().quaternionEvent(); }

    double packsLostPercent() override { return protocol().packCounter().lostPercent(); }
    uint64_t packsLost() override { return protocol().packCounter().lostCount(); }
    uint64_t packsReceived() override { return protocol().packCounter().receivedCount(); }

    OperationResult readSerialNumber(std::string& out) override;
    OperationResult readHardwareFilters(std::set<uint8_t>& out) override;
    OperationResult readFirmwareMode(uint8_t& out) override;
    OperationResult readSamplingFrequency(uint8_t& out) override;
    OperationResult readGain(uint8_t& out) override;
    OperationResult readDataOffset(uint8_t& out) override;
    OperationResult readExternalSwitch(uint8_t& out) override;
    OperationResult readADCInput(uint8_t& out) override;
    OperationResult readAccelerometerSens(uint8_t& out) override;
    OperationResult readGyroscopeSens(uint8_t& out) override;
    OperationResult readStimulatorAndMAState(StimulatorAndMAState& out) override;
    OperationResult readStimulatorParam(StimulationParams& out) override;
    OperationResult readMotionAssistantParam(MotionAssistantParams& out) override;
    OperationResult readVersion(EchoInfo& out) override;
    OperationResult readMEMSCalibrateState(uint8_t& out) override;
    OperationResult readMotionCounterParam(MotionCounterParams& out) override;
    OperationResult readMotionCounter(int32_t& out) override;
    OperationResult readBattPower(int32_t& out) override;
    OperationResult readSamplingFrequencyMEMS(uint8_t& out) override;
    OperationResult readSamplingFrequencyResp(uint8_t& out) override;
    OperationResult readSamplingFrequencyEnvelope(uint8_t& out) override;
    OperationResult readElectrodeState(uint8_t& out) override;

    OperationResult writeFirmwareMode(const uint8_t& mode) override;
    OperationResult writeHardwareFilters(const std::set<uint8_t>& filters) override;
    OperationResult writeSamplingFrequency(const uint8_t& index) override;
    OperationResult writeGain(const uint8_t& index) override;
    OperationResult writeDataOffset(const uint8_t& offset) override;
    OperationResult writeExternalSwitch(const uint8_t& value) override;
    OperationResult writeADCInput(const uint8_t& value) override;
    OperationResult writeAccelerometerSens(const uint8_t& code) override;
    OperationResult writeGyroscopeSens(const uint8_t& code) override;
    OperationResult writeStimulatorParam(const StimulationParams& params) override;
    OperationResult writeMotionAssistantParam(const MotionAssistantParams& params) override;
    OperationResult writeMotionCounterParam(const MotionCounterParams& params) override;

private:
    TesselBLE(std::shared_ptr<ITesselGattInfo> gattInfo, std::shared_ptr<BLE::IBLEDevice> device,
              const TesselTiming& timing);

    // A stored setting, after the read check.
    OperationResult readSetting(Sensor::SensorParameter parameter, uint8_t TesselCapabilities::*field, uint8_t& out);
    // A value the device is asked for under the command lock.
    template <class Payload>
    OperationResult ask(Sensor::SensorParameter parameter, uint8_t code, Payload& out);
    // A one-byte setting: write check, range check, sent unless it is the current value.
    OperationResult writeSetting(Sensor::SensorParameter parameter, uint8_t TesselCapabilities::*field, uint8_t value,
                                 bool valid, const char* wrongValue, uint8_t code, uint8_t deviceValue);
    // The result of a command sent under the held command lock.
    OperationResult send(uint8_t code, const CommandArgs& args = {});

    const std::shared_ptr<ITesselGattInfo> gattInfo_;
    std::atomic<uint8_t> signalType_{UnknownSignalType};
};

}  // namespace VexaDevice::Tessel
