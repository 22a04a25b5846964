#pragma once
// The interface of the Tessel-class sensors (the Tessel device and its Quindle variant).

#include <cstdint>
#include <memory>
#include <set>
#include <string>

#include "sdk/ble/IBLEDevice.hpp"
#include "sdk/core/ISensor.hpp"
#include "sdk/core/OperationResult.hpp"
#include "sdk/devices/common/IdentitySlots.hpp"
#include "sdk/devices/tessel/TesselRecords.hpp"

namespace VexaDevice::Tessel {

// The slots before the identity reads.
class ITesselStreams : public Sensor::ISensor {
public:
    // Filters the device can switch on.
    virtual std::set<uint8_t> supportedFilters() = 0;
    // NameKind of the advertised name; colour: the service-set index.
    virtual int32_t nameKind() = 0;
    virtual OperationResult readColor(int32_t& out) = 0;
    // Signal type 0..6, 7 while the settings match none.
    virtual uint8_t readSignalSettings() = 0;
    virtual OperationResult writeSignalSettings(uint8_t type) = 0;

    virtual std::weak_ptr<Devices::BatteryBus> batteryEvent() = 0;
    virtual std::weak_ptr<TesselBuses::SignalBus> signalEvent() = 0;
    virtual std::weak_ptr<TesselBuses::RespirationBus> respirationEvent() = 0;
    virtual std::weak_ptr<TesselBuses::ElectrodeBus> electrodeStateEvent() = 0;
    virtual std::weak_ptr<TesselBuses::MotionBus> memsEvent() = 0;
    virtual std::weak_ptr<TesselBuses::EnvelopeBus> envelopeEvent() = 0;
    virtual std::weak_ptr<TesselBuses::QuaternionBus> quaternionEvent() = 0;
    virtual std::weak_ptr<BLE::ConnectionBus> connectionStateEvent() = 0;

    // Signal pack statistics since the last StartSignal.
    virtual double packsLostPercent() = 0;
    virtual uint64_t packsLost() = 0;
    virtual uint64_t packsReceived() = 0;
};

class ITessel : public Devices::IdentitySlots<ITesselStreams> {
public:
    virtual OperationResult readHardwareFilters(std::set<uint8_t>& out) = 0;
    virtual OperationResult readFirmwareMode(uint8_t& out) = 0;
    virtual OperationResult readSamplingFrequency(uint8_t& out) = 0;
    virtual OperationResult readGain(uint8_t& out) = 0;
    virtual OperationResult readDataOffset(uint8_t& out) = 0;
    virtual OperationResult readExternalSwitch(uint8_t& out) = 0;
    virtual OperationResult readADCInput(uint8_t& out) = 0;
    virtual OperationResult readAccelerometerSens(uint8_t& out) = 0;
    virtual OperationResult readGyroscopeSens(uint8_t& out) = 0;
    virtual OperationResult readStimulatorAndMAState(StimulatorAndMAState& out) = 0;
    virtual OperationResult readStimulatorParam(StimulationParams& out) = 0;
    virtual OperationResult readMotionAssistantParam(MotionAssistantParams& out) = 0;
    // The four version words of the echo: major, minor, third, fourth.
    virtual OperationResult readVersion(EchoInfo& out) = 0;
    virtual OperationResult readMEMSCalibrateState(uint8_t& out) = 0;
    virtual OperationResult readMotionCounterParam(MotionCounterParams& out) = 0;
    virtual OperationResult readMotionCounter(int32_t& out) = 0;
    virtual OperationResult readBattPower(int32_t& out) = 0;
    virtual OperationResult readSamplingFrequencyMEMS(uint8_t& out) = 0;
    virtual OperationResult readSamplingFrequencyResp(uint8_t& out) = 0;
    virtual OperationResult readSamplingFrequencyEnvelope(uint8_t& out) = 0;
    virtual OperationResult readElectrodeState(uint8_t& out) = 0;

    virtual OperationResult writeFirmwareMode(const uint8_t& mode) = 0;
    virtual OperationResult writeHardwareFilters(const std::set<uint8_t>& filters) = 0;
    virtual OperationResult writeSamplingFrequency(const uint8_t& index) = 0;
    virtual OperationResult writeGain(const uint8_t& index) = 0;
    virtual OperationResult writeDataOffset(const uint8_t& offset) = 0;
    virtual OperationResult writeExternalSwitch(const uint8_t& value) = 0;
    virtual OperationResult writeADCInput(const uint8_t& value) = 0;
    virtual OperationResult writeAccelerometerSens(const uint8_t& code) = 0;
    virtual OperationResult writeGyroscopeSens(const uint8_t& code) = 0;
    virtual OperationResult writeStimulatorParam(const StimulationParams& params) = 0;
    virtual OperationResult writeMotionAssistantParam(const MotionAssistantParams& params) = 0;
    virtual OperationResult writeMotionCounterParam(const MotionCounterParams& params) = 0;
};

}  // namespace VexaDevice::Tessel
