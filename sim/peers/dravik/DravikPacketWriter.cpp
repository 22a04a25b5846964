#include "sim/peers/dravik/DravikPacketWriter.hpp"

#include <algorithm>
#include <cmath>
#include <numbers>

#include "sdk/core/ByteReaders.hpp"

namespace VexaSim {

using VexaDevice::Utility::appendLittleEndian;

std::vector<uint8_t> writeDravikPacket(uint32_t packNum, uint8_t resistMode, uint32_t channelMask,
                                       const std::vector<DravikSampleSet>& sets) {
    std::vector<uint8_t> bytes;
    appendLittleEndian(bytes, packNum, 4);
    bytes.push_back(static_cast<uint8_t>(sets.size()));
    bytes.push_back(resistMode);
    appendLittleEndian(bytes, channelMask, 3);
    bytes.insert(bytes.end(), 3, 0);
    for (const auto& set : sets) {
        bytes.push_back(set.marker);
        for (const int32_t sample : set.samples) {
            appendLittleEndian(bytes, static_cast<uint32_t>(sample), 3);
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
