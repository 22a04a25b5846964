#pragma once
// The reads of a family with a single gain, declared after the slots of `Base` in this order:
// firmware mode (as a `FirmwareMode`), sampling frequency, gain read and written, offset, then
// the firmware version (as a `Version`).

#include <cstdint>

#include "sdk/core/OperationResult.hpp"

namespace VexaDevice::Devices {

template <class Base, class FirmwareMode, class Version>
class GainSlots : public Base {
public:
    virtual OperationResult readFirmwareMode(FirmwareMode& out) = 0;
    virtual OperationResult readSamplingFrequency(uint8_t& out) = 0;
    virtual OperationResult readGain(uint8_t& out) = 0;
    virtual OperationResult writeGain(const uint8_t& gain) = 0;
    virtual OperationResult readOffset(uint8_t& out) = 0;
    virtual OperationResult readFirmwareVersion(Version& out) = 0;
};

}  // namespace VexaDevice::Devices
