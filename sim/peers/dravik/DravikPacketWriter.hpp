#pragma once
// Builds Dravik data packets as the amplifier sends them, and the sample counts an electrode
// produces: a 12-byte header (packet number, sample sets, resistance mode, 24-bit channel mask,
// all little-endian), then per sample set a marker byte and one signed 24-bit little-endian
// sample per present channel in ascending channel order.

#include <cstdint>
#include <vector>

namespace VexaSim {

struct DravikSampleSet {
    uint8_t marker = 0;
    std::vector<int32_t> samples;  // one per present channel
};

std::vector<uint8_t> writeDravikPacket(uint32_t packNum, uint8_t resistMode, uint32_t channelMask,
                                       const std::vector<DravikSampleSet>& sets);

// The converter's count for `volts` at a gain factor: full scale 4.5 V / gain = 8388607,
// rounded and held inside the 24-bit range.
int32_t dravikCounts(double volts, double gainFactor);

// The voltage of the lead-off excitation across an electrode of `ohms` at the sample of packet
// number `packNum`: 24 nA at a quarter of the sampling rate through the electrode and the
// amplifier's 1 kOhm input path, seen with a phase shift of `phase` radians.
double dravikLeadOffVolts(double ohms, uint32_t packNum, double phase);

}  // namespace VexaSim
