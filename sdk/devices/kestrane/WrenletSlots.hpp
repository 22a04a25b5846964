#pragma once
// The slots a Wrenlet-model headband interface (MorvexBlack, Lorrel) declares after its family's
// own reads `Reads`, in this order: the motion and photoplethysmogram codes, the resistance
// sampling frequency, then the amplifier record read and written.

#include <cstdint>

#include "sdk/core/OperationResult.hpp"
#include "sdk/devices/kestrane/StreamCodeSlots.hpp"
#include "sdk/devices/kestrane/WrenletRecords.hpp"

namespace VexaDevice::Kestrane {

template <class Reads>
class WrenletSlots : public StreamCodeSlots<Reads> {
public:
    virtual OperationResult readSamplingFrequencyResist(uint8_t& out) = 0;
    virtual OperationResult readAmplifierParam(WrenletAmplifierParam& out) = 0;
    virtual OperationResult writeAmplifierParam(const WrenletAmplifierParam& param) = 0;
};

}  // namespace VexaDevice::Kestrane
