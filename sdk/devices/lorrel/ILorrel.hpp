#pragma once
// Interface of the Lorrel headbands: the command-and-stream slots, the gain reads, the battery,
// model and mode reads, the motion and photoplethysmogram codes, then the resistance sampling
// frequency and the amplifier setting, in this order.

#include <cstdint>

#include "sdk/core/DeviceVersion.hpp"
#include "sdk/devices/common/GainSlots.hpp"
#include "sdk/devices/kestrane/IStreamSensor.hpp"
#include "sdk/devices/kestrane/WrenletSlots.hpp"

namespace VexaDevice::Lorrel {

// The slots before the motion and photoplethysmogram codes.
class ILorrelReads : public Devices::GainSlots<Kestrane::IStreamSensor, uint8_t, DeviceVersion> {
public:
    virtual OperationResult readBattPower(int32_t& out) = 0;
    virtual OperationResult readModelCode(uint8_t& out) = 0;
    virtual OperationResult readSensorMode(uint8_t& out) = 0;
};

class ILorrel : public Kestrane::WrenletSlots<ILorrelReads> {};

}  // namespace VexaDevice::Lorrel
