#pragma once
// Interface of the MorvexBlack devices: the command-and-stream slots, then the family's parameter
// reads and writes, in this order.

#include <cstdint>

#include "sdk/core/DeviceVersion.hpp"
#include "sdk/devices/kestrane/IStreamSensor.hpp"
#include "sdk/devices/kestrane/WrenletBleProtocol.hpp"

namespace VexaDevice::MorvexBlack {

class IMorvex : public Kestrane::IStreamSensor {
public:
    virtual OperationResult readFirmwareMode(int32_t& out) = 0;
    virtual OperationResult readSamplingFrequency(uint8_t& out) = 0;
    virtual OperationResult readGain(uint8_t& out) = 0;
    virtual OperationResult writeGain(const uint8_t& gain) = 0;
    virtual OperationResult readOffset(uint8_t& out) = 0;
    virtual OperationResult readFirmwareVersion(DeviceVersion& out) = 0;
    virtual int32_t readBattPower() = 0;
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

}  // namespace VexaDevice::MorvexBlack
