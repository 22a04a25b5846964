#pragma once
// Writes the packs that devices stream through Kestrane channels: a counter, then records of an
// optional marker byte and fixed-width two's-complement values, in either byte order.

#include <cstdint>
#include <vector>

namespace VexaSim {

struct KestranePackFormat {
    uint32_t counterSize = 2;
    uint32_t valueSize = 3;
    bool littleEndian = false;
    bool marker = false;
};

struct KestranePackRecord {
    uint8_t marker = 0;
    std::vector<int64_t> values;  // each cut to valueSize bytes
};

std::vector<uint8_t> writeKestranePack(const KestranePackFormat& format, uint32_t counter,
                                       const std::vector<KestranePackRecord>& records);

// `width` bytes of `value` in the given order, appended to `out`.
void appendNumber(std::vector<uint8_t>& out, uint64_t value, uint32_t width, bool littleEndian);

}  // namespace VexaSim
