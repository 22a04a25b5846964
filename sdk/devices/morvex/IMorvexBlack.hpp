#pragma once
// Interface of the MorvexBlack devices: the command-and-stream slots, the family's reads and the
// gain, the motion and photoplethysmogram codes, then the resistance sampling frequency and the
// amplifier setting, in this order.

#include <cstdint>

#include "sdk/core/DeviceVersion.hpp"
#include "sdk/devices/kestrane/IStreamSensor.hpp"
#include "sdk/devices/kestrane/StreamCodeSlots.hpp"
#include "sdk/devices/kestrane/WrenletRecords.hpp"

namespace VexaDevice::MorvexBlack {

// The slots before the motion and photoplethysmogram codes.
class IMorvexReads : public Kestrane::IStreamSensor {
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
};

class IMorvex : public Kestrane::StreamCodeSlots<IMorvexReads> {
public:
    virtual OperationResult readSamplingFrequencyResist(uint8_t& out) = 0;
    virtual OperationResult readAmplifierParam(Kestrane::WrenletAmplifierParam& out) = 0;
    virtual OperationResult writeAmplifierParam(const Kestrane::WrenletAmplifierParam& param) = 0;
};

}  // namespace VexaDevice::MorvexBlack
