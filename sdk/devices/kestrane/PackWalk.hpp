#pragma once
// Walks the fixed-size packs of one notification: a counter at the head of each pack, then
// records of an optional marker byte and a fixed number of values, until the pack is full.
// A record that does not fit whole in what is left of its pack is not read.

#include <cstdint>
#include <string>
#include <vector>

#include "sdk/devices/kestrane/KestraneRecords.hpp"

namespace VexaDevice::Kestrane {

struct PackLayout {
    uint32_t packSize = 0;
    uint32_t counterSize = 0;
    uint32_t sampleSize = 0;  // bytes of each value
    uint32_t valuesPerRecord = 0;
    bool hasMarker = false;

    uint64_t recordSize() const { return (hasMarker ? 1u : 0u) + uint64_t{valuesPerRecord} * sampleSize; }
    // A layout that can be walked: packs and records of at least one byte, a counter that fits
    // its pack and no more values than a parameter record describes.
    bool walkable() const;
};

// Where a record sits in a notification.
struct RecordSite {
    uint32_t packNum = 0;
    uint8_t marker = 0;
    const uint8_t* values = nullptr;  // valuesPerRecord values of sampleSize bytes each
};

// `source` names the converter in the failure texts ("SignalConverter toSignalData").
// Calls `visit(const RecordSite&)` for every record of every whole pack, then reports a length
// that is not a whole number of packs (code 546, logged) or a layout that cannot be walked.
template <class Visit>
ConversionResult walkPacks(const std::vector<uint8_t>& bytes, const PackLayout& layout, bool littleEndian,
                           const char* source, Visit&& visit);

// The parts of the walk that need no template.
namespace PackWalkDetail {
ConversionResult unwalkable(const PackLayout& layout, const char* source);
ConversionResult lengthResult(size_t length, const PackLayout& layout, const char* source);
uint32_t readCounter(const uint8_t* pack, const PackLayout& layout, bool littleEndian);
}  // namespace PackWalkDetail

template <class Visit>
ConversionResult walkPacks(const std::vector<uint8_t>& bytes, const PackLayout& layout, bool littleEndian,
                           const char* source, Visit&& visit) {
    if (!layout.walkable()) return PackWalkDetail::unwalkable(layout, source);
    const uint64_t recordSize = layout.recordSize();
    const size_t packCount = bytes.size() / layout.packSize;
    for (size_t k = 0; k < packCount; ++k) {
        const uint8_t* pack = bytes.data() + k * layout.packSize;
        RecordSite site;
        site.packNum = PackWalkDetail::readCounter(pack, layout, littleEndian);
        for (uint64_t p = layout.counterSize; p + recordSize <= layout.packSize; p += recordSize) {
            site.marker = layout.hasMarker ? pack[p] : 0;
            site.values = pack + p + (layout.hasMarker ? 1 : 0);
            visit(static_cast<const RecordSite&>(site));
            ++site.packNum;
        }
    }
    return PackWalkDetail::lengthResult(bytes.size(), layout, source);
}

}  // namespace VexaDevice::Kestrane
