#pragma once
// Checks every byte of a per-channel amplifier record (Morvex2, Wrenlet, Vondra) against the
// tables that give it a meaning, before anything is sent or stored.

#include <cstdint>
#include <functional>
#include <span>

#include "sdk/core/OperationResult.hpp"

namespace VexaDevice::Devices {

// The slots of a record, all of them, the ones past the device's channels too.
struct AmplifierRecordBytes {
    std::span<const uint8_t> signal;  // per slot: 0 off, 1 signal
    std::span<const uint8_t> resist;  // per slot: 0 off, 1 resistance measured
    std::span<const uint8_t> gains;   // per slot: gain index
    uint8_t current = 0;              // probe current index
};

// The gain and current indices a family's amplifier takes.
struct AmplifierTables {
    std::function<bool(uint8_t)> knownGain;
    std::function<bool(uint8_t)> knownCurrent;
};

// In this order, each failure with code 517: a current the table lacks ("The specified Current
// value is not supported"); fewer signal, resistance or gain slots than `channels` ("Wrong number
// of channels is specified"); a gain the table lacks ("The specified Gain value is not
// supported"), where a slot past the channels may carry kNoChannelGain, as a record read from
// the device does; a signal byte other than 0 or 1 ("The specified Mode value is not
// supported"); a resistance byte other than 0 or 1 ("The specified Flag value is not
// supported"). Success otherwise.
OperationResult checkAmplifierRecord(const AmplifierRecordBytes& record, size_t channels,
                                     const AmplifierTables& tables);

}  // namespace VexaDevice::Devices
