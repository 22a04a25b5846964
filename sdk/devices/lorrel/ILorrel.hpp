#pragma once
// Interface of the Lorrel headbands: the command-and-stream slots, the family's reads and the
// gain, the motion and photoplethysmogram codes, then the resistance sampling frequency and the
// amplifier setting, in this order.

#include <cstdint>

#include "sdk/core/DeviceVersion.hpp"
#include "sdk/devices/kestrane/IStreamSensor.hpp"
#include "sdk/devices/kestrane/StreamCodeSlots.hpp"
#include "sdk/devices/kestrane/WrenletRecords.hpp"

namespace VexaDevice::Lorrel {

// The slots before the motion and photoplethysmogram codes.
class ILorrelReads : public Kestrane::IStreamSensor {
public:
    virtual OperationResult readFirmwareMode(uint8_t& out) = 0;
    virtual OperationResult readSamplingFrequency(uint8_t& out) = 0;
    virtual OperationResult readGain(uint8_t& out) = 0;
    virtual OperationResult writeGain(const uint8_t& gain) = 0;
    virtual OperationResult readOffset(uint8_t& out) = 0;
    virtual OperationResult readFirmwareVersion(DeviceVersion& out) = 0;
    virtual OperationResult readBattPower(int32_t& out) = 0;
    virtual OperationResult readModelCode(uint8_t& out) = 0;
    virtual OperationResult readSensorMode(uint8_t& out) = 0;
};

class ILorrel : public Kestrane::StreamCodeSlots<ILorrelReads> {
public:
    virtual OperationResult readSamplingFrequencyResist(uint8_t& out) = 0;
    virtual OperationResult readAmplifierParam(Kestrane::WrenletAmplifierParam& out) = 0;
    virtual OperationResult writeAmplifierParam(const Kestrane::WrenletAmplifierParam& param) = 0;
};

}  // namespace VexaDevice::Lorrel
