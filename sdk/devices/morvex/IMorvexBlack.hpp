#pragma once
// Interface of the MorvexBlack devices: the command-and-stream slots, the gain reads (the
// firmware mode as a 32-bit value), the battery level as the read's value, the model and mode
// reads, the motion and photoplethysmogram codes, then the resistance sampling frequency and the
// amplifier setting, in this order.

#include <cstdint>

#include "sdk/core/DeviceVersion.hpp"
#include "sdk/devices/common/GainSlots.hpp"
#include "sdk/devices/kestrane/IStreamSensor.hpp"
#include "sdk/devices/kestrane/WrenletSlots.hpp"

namespace VexaDevice::MorvexBlack {

// The slots before the motion and photoplethysmogram codes.
class IMorvexReads : public Devices::GainSlots<Kestrane::IStreamSensor, int32_t, DeviceVersion> {
public:
    virtual int32_t readBattPower() = 0;
    virtual OperationResult readModelCode(uint8_t& out) = 0;
    virtual OperationResult readSensorMode(uint8_t& out) = 0;
};

class IMorvex : public Kestrane::WrenletSlots<IMorvexReads> {};

}  // namespace VexaDevice::MorvexBlack
