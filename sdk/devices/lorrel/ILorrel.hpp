#pragma once
// Interface of the Lorrel headbands: the sensor interface, then the event buses, the ping and the
// parameter reads and writes, in this order.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "sdk/ble/IBLEDevice.hpp"
#include "sdk/core/DeviceVersion.hpp"
#include "sdk/core/EventBus.hpp"
#include "sdk/core/ISensor.hpp"
#include "sdk/core/OperationResult.hpp"
#include "sdk/devices/kestrane/KestraneRecords.hpp"
#include "sdk/devices/kestrane/KestraneStatus.hpp"
#include "sdk/devices/kestrane/WrenletBleProtocol.hpp"

namespace VexaDevice::Lorrel {

class ILorrel : public Sensor::ISensor {
public:
    virtual std::weak_ptr<Utility::EventBus<int>> batteryEvent() = 0;
    virtual std::weak_ptr<Utility::EventBus<std::vector<Kestrane::_ResistData>>> resistEvent() = 0;
    virtual std::weak_ptr<Utility::EventBus<Kestrane::DevAmpStatus>> ampModeEvent() = 0;
    virtual std::weak_ptr<Utility::EventBus<std::vector<Kestrane::_SignalData>>> signalEvent() = 0;
    virtual std::weak_ptr<Utility::EventBus<std::vector<Kestrane::_IMUData>>> memsEvent() = 0;
    virtual std::weak_ptr<Utility::EventBus<std::vector<Kestrane::_FPGData>>> fpgEvent() = 0;
    virtual std::weak_ptr<BLE::ConnectionBus> connectionStateEvent() = 0;
    virtual OperationResult ping(const int32_t& value) = 0;

    virtual OperationResult readName(std::string& out) = 0;
    virtual OperationResult readState(int32_t& out) = 0;
    virtual OperationResult readAddress(std::string& out) = 0;
    virtual OperationResult readSerialNumber(std::string& out) = 0;
    virtual OperationResult readFirmwareMode(uint8_t& out) = 0;
    virtual OperationResult readSamplingFrequency(uint8_t& out) = 0;
    virtual OperationResult readGain(uint8_t& out) = 0;
    virtual OperationResult writeGain(const uint8_t& gain) = 0;
    virtual OperationResult readOffset(uint8_t& out) = 0;
    virtual OperationResult readFirmwareVersion(DeviceVersion& out) = 0;
    virtual OperationResult readBattPower(int32_t& out) = 0;
    virtual OperationResult readModelCode(uint8_t& out) = 0;
    virtual OperationResult readSensorMode(uint8_t& out) = 0;
    virtual OperationResult readIrAmplitude(uint8_t& out) = 0;
    virtual OperationResult writeIrAmplitude(const uint8_t& code) = 0;
    virtual OperationResult readRedAmplitude(uint8_t& out) = 0;
    virtual OperationResult writeRedAmplitude(const uint8_t& code) = 0;
    virtual OperationResult readAccelerometerSens(uint8_t& out) = 0;
    virtual OperationResult writeAccelerometerSens(const uint8_t& code) = 0;
    virtual OperationResult readGyroscopeSens(uint8_t& out) = 0;
    virtual OperationResult writeGyroscopeSens(const uint8_t& code) = 0;
    virtual OperationResult readSamplingFrequencyFPG(uint8_t& out) = 0;
    virtual OperationResult readSamplingFrequencyMEMS(uint8_t& out) = 0;
    virtual OperationResult readSamplingFrequencyResist(uint8_t& out) = 0;
    virtual OperationResult readAmplifierParam(Kestrane::WrenletAmplifierParam& out) = 0;
    virtual OperationResult writeAmplifierParam(const Kestrane::WrenletAmplifierParam& param) = 0;
};

}  // namespace VexaDevice::Lorrel
