#pragma once
// The records the Vondra-type headsets (both generations) read, write and publish.

#include <array>
#include <cstddef>
#include <cstdint>

#include "sdk/devices/kestrane/KestraneRecords.hpp"

namespace VexaDevice::Vondra {

using Kestrane::DevAmpStatus;

// The amplifier setting as the host reads and writes it: per channel whether its signal and its
// resistance are measured and its gain index; and the index of the resistance-probe current.
// The first generation uses entries 0-6, the second 0-3.
struct VondraAmplifierParam {
    static constexpr size_t Entries = 32;
    std::array<uint8_t, Entries> signalUse{};
    std::array<uint8_t, Entries> resistUse{};
    std::array<uint8_t, Entries> gain{};
    uint8_t current = 0;

    bool operator==(const VondraAmplifierParam&) const = default;
};

inline constexpr size_t VondraChannels = 7;

// One signal record of the first generation, volts.
struct _VondraSignalData {
    uint32_t PackNum = 0;
    uint8_t Marker = 0;
    std::array<double, VondraChannels> Samples{};
};

// One resistance record of the first generation, ohms (+infinity outside the measurable range).
struct _VondraResistData {
    uint32_t PackNum = 0;
    std::array<double, VondraChannels> Values{};
};

}  // namespace VexaDevice::Vondra

namespace VexaDevice::Vondra2 {

using Vondra::DevAmpStatus;
using Vondra2AmplifierParam = Vondra::VondraAmplifierParam;

}  // namespace VexaDevice::Vondra2
