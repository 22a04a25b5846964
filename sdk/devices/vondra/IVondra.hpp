#pragma once
// Interface of the first Vondra generation (seven channels): the sensor interface, then the
// event buses, the ping, the reads and the amplifier setting, in this order.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "sdk/ble/IBLEDevice.hpp"
#include "sdk/core/DeviceVersion.hpp"
#include "sdk/core/EventBus.hpp"
#include "sdk/core/ISensor.hpp"
#include "sdk/core/OperationResult.hpp"
#include "sdk/devices/vondra/VondraBLEProtocol.hpp"

namespace VexaDevice::Vondra {

class IVondra : public Sensor::ISensor {
public:
    virtual std::weak_ptr<Utility::EventBus<int>> batteryEvent() = 0;
    virtual std::weak_ptr<Utility::EventBus<std::vector<_VondraResistData>>> resistEvent() = 0;
    virtual std::weak_ptr<Utility::EventBus<DevAmpStatus>> ampModeEvent() = 0;
    virtual std::weak_ptr<Utility::EventBus<std::vector<_VondraSignalData>>> signalEvent() = 0;
    virtual std::weak_ptr<BLE::ConnectionBus> connectionStateEvent() = 0;
    virtual OperationResult ping(const int32_t& value) = 0;

    virtual OperationResult readName(std::string& out) = 0;
    virtual OperationResult readState(int32_t& out) = 0;
    virtual OperationResult readAddress(std::string& out) = 0;
    virtual OperationResult readSerialNumber(std::string& out) = 0;
    virtual OperationResult readFirmwareMode(uint8_t& out) = 0;
    virtual OperationResult readSamplingFrequency(uint8_t& out) = 0;
    virtual OperationResult readSamplingFrequencyResist(uint8_t& out) = 0;
    virtual OperationResult readOffset(uint8_t& out) = 0;
    virtual OperationResult readFirmwareVersion(DeviceVersion& out) = 0;
    virtual OperationResult readBattPower(int32_t& out) = 0;
    // The family byte of the model number.
    virtual OperationResult readModelCode(uint8_t& out) = 0;
    virtual OperationResult readSensorMode(uint8_t& out) = 0;
    virtual OperationResult readAmplifierParam(VondraAmplifierParam& out) = 0;
    virtual OperationResult writeAmplifierParam(const VondraAmplifierParam& param) = 0;
};

}  // namespace VexaDevice::Vondra
