// Feeds arbitrary notification bytes to the generation-1 Morvex pack decoders. Every 20-byte
// pack is a complete encoding of its fields, so writing the decoded fields back with the
// emulated device's pack writer must give the very same bytes.

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <span>

#include "sdk/devices/common/PackSplitter.hpp"
#include "sdk/devices/morvex/MorvexWire.hpp"
#include "sim/peers/morvex/MorvexPackWriter.hpp"

using namespace VexaDevice::Morvex;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::span<const uint8_t> bytes(data, size);

    const auto statuses = VexaDevice::Devices::splitPacks<DevStatusPack>(bytes);
    if (statuses.packs.size() != size / DevStatusPack::Size || statuses.remainder != (size % DevStatusPack::Size != 0))
        __builtin_trap();

    const auto split = VexaDevice::Devices::splitPacks<MorvexPack>(bytes);
    if (split.packs.size() != size / MorvexPack::Size) __builtin_trap();
    const double gain = size > 0 ? 1 + data[0] % 12 : 6;
    const auto records = decodePacks(split.packs, gain);
    for (size_t i = 0; i < split.packs.size(); ++i) {
        const PackCounts counts = readPackCounts(split.packs[i]);
        VexaSim::MorvexPackFields fields;
        fields.packNum = counts.packNum;
        fields.marker = counts.marker != 0;
        for (size_t e = 0; e < ElectrodeCount; ++e) {
            if (counts.first[e] < -1048576 || counts.first[e] > 1048575) __builtin_trap();
            fields.first[e] = counts.first[e];
            fields.difference[e] = counts.difference[e];
        }
        const auto rewritten = VexaSim::writeMorvexPack(fields);
        if (!std::equal(rewritten.begin(), rewritten.end(), split.packs[i].bytes.begin())) __builtin_trap();
        for (const MorvexSample& sample : records[i].Samples)
            if (!std::isfinite(sample.O1) || !std::isfinite(sample.O2) || !std::isfinite(sample.T3) ||
                !std::isfinite(sample.T4))
                __builtin_trap();
    }
    return 0;
}
