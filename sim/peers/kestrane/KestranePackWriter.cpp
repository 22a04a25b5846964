#include "sim/peers/kestrane/KestranePackWriter.hpp"

namespace VexaSim {

void appendNumber(std::vector<uint8_t>& out, uint64_t value, uint32_t width, bool littleEndian) {
    for (uint32_t i = 0; i < width; ++i) {
        const uint32_t byte = littleEndian ? i : width - 1 - i;
        out.push_back(static_cast<uint8_t>(value >> (8 * byte)));
    }
}

std::vector<uint8_t> writeKestranePack(const KestranePackFormat& format, uint32_t counter,
                                       const std::vector<KestranePackRecord>& records) {
    std::vector<uint8_t> pack;
    appendNumber(pack, counter, format.counterSize, format.littleEndian);
    for (const KestranePackRecord& record : records) {
        if (format.marker) pack.push_back(record.marker);
        for (int64_t value : record.values)
            appendNumber(pack, static_cast<uint64_t>(value), format.valueSize, format.littleEndian);
    }
    return pack;
}

}  // namespace VexaSim
