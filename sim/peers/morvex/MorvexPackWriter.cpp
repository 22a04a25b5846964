#include "sim/peers/morvex/MorvexPackWriter.hpp"

#include <cstddef>

namespace VexaSim {

namespace {

// Appends values most significant bit first.
class BitWriter {
public:
    explicit BitWriter(size_t bytes) : bytes_(bytes, 0) {}

    void put(uint32_t value, unsigned width) {
        for (unsigned bit = width; bit-- > 0;) {
            if ((value >> bit) & 1u) bytes_[position_ / 8] |= static_cast<uint8_t>(0x80u >> (position_ % 8));
            ++position_;
        }
    }

    std::vector<uint8_t> take() { return std::move(bytes_); }

private:
    std::vector<uint8_t> bytes_;
    size_t position_ = 0;
};

}  // namespace

std::vector<uint8_t> writeMorvexPack(const MorvexPackFields& fields) {
    BitWriter writer(20);
    writer.put(fields.packNum, 11);
    writer.put(fields.marker ? 1u : 0u, 1);
    for (int32_t sample : fields.first) writer.put(static_cast<uint32_t>(sample), 21);
    for (int16_t difference : fields.difference) writer.put(static_cast<uint16_t>(difference), 16);
    return writer.take();
}

}  // namespace VexaSim
