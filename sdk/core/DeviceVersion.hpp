#pragma once
// What a device reports about itself through its Device Information service.

#include <array>
#include <cstdint>
#include <string>

namespace VexaDevice {

struct DeviceVersion {
    uint8_t modelMajor = 0;  // first number of the model number (the family's character code)
    uint8_t modelMinor = 0;  // second number of the model number (the variant's version)
    uint32_t firmwareMajor = 0;
    uint32_t firmwareMinor = 0;
    uint32_t firmwarePatch = 0;
    uint32_t hardwareMajor = 0;
    uint32_t hardwareMinor = 0;
    uint32_t hardwarePatch = 0;
    // First 16 characters of the serial number, zero-padded; not terminated when 16 long.
    std::array<char, 16> serial{};

    // The serial number as text, never reading past the 16 characters.
    std::string serialText() const;
};

}  // namespace VexaDevice
