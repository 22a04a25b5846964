#include "sdk/core/ByteReaders.hpp"

#include <algorithm>
#include <cctype>

namespace VexaDevice::Utility {
namespace {

constexpr uint32_t kMaxWidth = 4;

bool supportedWidth(uint32_t length) { return length >= 1 && length <= kMaxWidth; }

}  // namespace

uint32_t decodeUnsigned(const uint8_t* data, const uint32_t& length, const bool& littleEndian) {
    if (data == nullptr || !supportedWidth(length)) {
        return 0;
    }
    uint32_t value = 0;
    for (uint32_t i = 0; i < length; ++i) {
        const uint32_t index = littleEndian ? length - 1 - i : i;
        value = (value << 8) | data[index];
    }
    return value;
}

int32_t decodeSigned(const uint8_t* data, const uint32_t& length, const bool& littleEndian) {
    if (data == nullptr || !supportedWidth(length)) {
        return 0;
    }
    const uint32_t raw = decodeUnsigned(data, length, littleEndian);
    const uint32_t unusedBits = 8 * (kMaxWidth - length);
    // Move the sign bit to bit 31, then shift back arithmetically (defined since C++20).
    return static_cast<int32_t>(raw << unusedBits) >> unusedBits;
}

void appendLittleEndian(std::vector<uint8_t>& bytes, uint32_t value, uint32_t length) {
    for (uint32_t i = 0; i < std::min(length, kMaxWidth); ++i) {
        bytes.push_back(static_cast<uint8_t>(value >> (8 * i)));
    }
}

bool isDigits(const std::string& text) {
    return !text.empty() && std::all_of(text.begin(), text.end(),
                                        [](char c) { return std::isdigit(static_cast<unsigned char>(c)) != 0; });
}

}  // namespace VexaDevice::Utility
