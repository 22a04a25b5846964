#pragma once
// The amplifier record that the Morvex2-class devices read and write.

#include <cstdint>
#include <vector>

namespace VexaDevice::Morvex2 {

// One entry per channel: mode (1 = signal), used for resistance, gain code; probe current code.
struct Morvex2AmplifierParam {
    std::vector<uint8_t> modes;
    std::vector<bool> resistFlags;
    std::vector<uint8_t> gains;
    uint8_t current = 0;
};

}  // namespace VexaDevice::Morvex2
