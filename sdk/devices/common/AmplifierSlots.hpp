#pragma once
// The reads of a family with a per-channel amplifier record, declared after the slots of `Base`
// in this order: firmware mode, sampling frequency (signal, then resistance), offset, firmware
// version, battery, model code (the family byte of the model number), device mode, then the
// amplifier record `Param` read and written.

#include <cstdint>

#include "sdk/core/DeviceVersion.hpp"
#include "sdk/core/OperationResult.hpp"

namespace VexaDevice::Devices {

template <class Base, class Param>
class AmplifierSlots : public Base {
public:
    virtual OperationResult readFirmwareMode(uint8_t& out) = 0;
    virtual OperationResult readSamplingFrequency(uint8_t& out) = 0;
    virtual OperationResult readSamplingFrequencyResist(uint8_t& out) = 0;
    virtual OperationResult readOffset(uint8_t& out) = 0;
    virtual OperationResult readFirmwareVersion(DeviceVersion& out) = 0;
    virtual OperationResult readBattPower(int32_t& out) = 0;
    virtual OperationResult readModelCode(uint8_t& out) = 0;
    virtual OperationResult readSensorMode(uint8_t& out) = 0;
    virtual OperationResult readAmplifierParam(Param& out) = 0;
    virtual OperationResult writeAmplifierParam(const Param& param) = 0;
};

}  // namespace VexaDevice::Devices
