#include "sim/peers/dravik/DravikPacketWriter.hpp"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace VexaSim {

namespace {

void putU32(std::vector<uint8_t>& bytes, uint32_t value) {
    for (int shift = 0; shift < 32; shift += 8) {
        bytes.push_back(static_cast<uint8_t>(value >> shift));
    }
}

}  // namespace

std::vector<uint8_t> writeDravikPacket(uint32_t packNum, uint8_t resistMode, uint32_t channelMask,
                                       const std::vector<DravikSampleSet>& sets) {
    std::vector<uint8_t> bytes;
    putU32(bytes, packNum);
    bytes.push_back(static_cast<uint8_t>(sets.size()));
    bytes.push_back(resistMode);
    bytes.push_back(static_cast<uint8_t>(channelMask));
    bytes.push_back(static_cast<uint8_t>(channelMask >> 8));
    bytes.push_back(static_cast<uint8_t>(channelMask >> 16));
    bytes.insert(bytes.end(), 3, 0);
    for (const auto& set : sets) {
        bytes.push_back(set.marker);
        for (const int32_t sample : set.samples) {
            bytes.push_back(static_cast<uint8_t>(sample));
            bytes.push_back(static_cast<uint8_t>(sample >> 8));
            bytes.push_back(static_cast<uint8_t>(sample >> 16));
        }
    }
    return bytes;
}

int32_t dravikCounts(double volts, double gainFactor) {
    const double counts = std::round(volts * gainFactor * 8388607.0 / 4.5);
    return static_cast<int32_t>(std::clamp(counts, -8388608.0, 8388607.0));
}

double dravikLeadOffVolts(double ohms, uint32_t packNum, double phase) {
    const double peak = (ohms + 1000.0) * 2.4e-8 / 1.1;
    return peak * std::cos(static_cast<double>((packNum + 1u) & 3u) * std::numbers::pi / 2 + phase);
}

}  // namespace VexaSim
