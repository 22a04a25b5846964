// Feeds arbitrary generation-1 packs, in batches of any size, to the resistance meter the way
// the protocol does: each batch is measured with the electrode and polarity the meter last asked
// for (now and then a restart or a dropped batch, as a mode change or a lost switch gives).
// Every published resistance is +infinity or a finite, non-negative number of ohms, and every
// selection names an electrode of the device.

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "sdk/devices/common/PackSplitter.hpp"
#include "sdk/devices/morvex/MorvexResistMeter.hpp"
#include "sdk/devices/morvex/MorvexWire.hpp"

using namespace VexaDevice::Morvex;

namespace {

bool ohmsLike(double value) { return std::isinf(value) ? value > 0 : std::isfinite(value) && value >= 0; }

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    MorvexResistMeter meter;
    ElectrodeSelection selection;
    size_t position = 0;
    while (position < size) {
        // A control byte: how many packs the batch holds, and what happens before it.
        const uint8_t control = data[position++];
        const size_t packs = 1 + control % 16;
        if (control >> 4 == 0xF)
            meter.restart();
        else if (control >> 4 == 0xE)
            meter.dropValues();
        const size_t length = std::min(packs * MorvexPack::Size, size - position);
        const auto split = VexaDevice::Devices::splitPacks<MorvexPack>(std::span(data + position, length));
        position += length;

        const auto step = meter.feed(decodePacks(split.packs, 6.0), selection);
        if (step.completed) {
            const _ResistData& r = *step.completed;
            if (!ohmsLike(r.O1) || !ohmsLike(r.O2) || !ohmsLike(r.T3) || !ohmsLike(r.T4)) __builtin_trap();
        }
        if (step.next) {
            if (static_cast<uint8_t>(step.next->electrode) >= ElectrodeCount ||
                (step.next->polarity != Polarity::Positive && step.next->polarity != Polarity::Negative))
                __builtin_trap();
            selection = *step.next;
        }
    }
    return 0;
}
