#pragma once
// The amplifier record of the Wrenlet-type sensors, as their device classes read and write it.

#include <array>
#include <cstdint>

#include "sdk/devices/kestrane/KestraneRecords.hpp"

namespace VexaDevice::Kestrane {

// The amplifier record the device class reads and writes; channels 0-3 are used.
struct WrenletAmplifierParam {
    std::array<uint8_t, MaxChannels> signalEnabled{};
    std::array<uint8_t, MaxChannels> resistEnabled{};
    std::array<uint8_t, MaxChannels> gain{};  // gain codes
    uint8_t current = 0;                      // probe current code
};

}  // namespace VexaDevice::Kestrane
