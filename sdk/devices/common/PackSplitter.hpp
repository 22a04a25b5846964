#pragma once
// Splits one notification into the fixed-size units of a protocol (status packs, data packs).

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <span>

#include "sdk/core/InlineBatch.hpp"

namespace VexaDevice::Devices {

// The whole units of a notification and whether bytes were left over. The units of a
// notification of ordinary length are held in place: splitting one allocates nothing.
template <class Pack>
struct SplitPacks {
    explicit SplitPacks(size_t count) : packs(count) {}

    Utility::InlineBatch<Pack, 32> packs;
    bool remainder = false;
};

// Pack needs a static Size and a byte array `bytes` of that size. Bytes past the last whole
// unit are never read as a unit.
template <class Pack>
SplitPacks<Pack> splitPacks(std::span<const uint8_t> bytes) {
    const size_t count = bytes.size() / Pack::Size;
    SplitPacks<Pack> result(count);
    for (size_t i = 0; i < count; ++i)
        std::copy_n(bytes.begin() + static_cast<std::ptrdiff_t>(i * Pack::Size), Pack::Size,
                    result.packs[i].bytes.begin());
    result.remainder = bytes.size() % Pack::Size != 0;
    return result;
}

}  // namespace VexaDevice::Devices
