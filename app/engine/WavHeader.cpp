#include "app/engine/WavHeader.hpp"

#include <algorithm>
#include <string_view>

namespace quellwave {

namespace {

constexpr std::size_t kRiffHeaderSize = 12;
constexpr std::size_t kChunkHeaderSize = 8;
constexpr std::size_t kFormatBodySize = 16;
constexpr std::uint32_t kPcm = 1;
constexpr std::uint32_t kExtensible = 0xFFFE;

std::uint32_t littleEndian(std::span<const std::uint8_t> bytes, std::size_t at, std::size_t width) {
    std::uint32_t value = 0;
    for (std::size_t i = 0; i < width; ++i) value |= std::uint32_t{bytes[at + i]} << (8 * i);
    return value;
}

bool hasTag(std::span<const std::uint8_t> bytes, std::size_t at, std::string_view tag) {
    return bytes.size() >= at + tag.size() &&
           std::equal(tag.begin(), tag.end(), bytes.begin() + static_cast<std::ptrdiff_t>(at));
}

bool formatIsDecodable(std::span<const std::uint8_t> body) {
    if (body.size() < kFormatBodySize) return false;
    const std::uint32_t format = littleEndian(body, 0, 2);
    const std::uint32_t channels = littleEndian(body, 2, 2);
    const std::uint32_t rate = littleEndian(body, 4, 4);
    const std::uint32_t bits = littleEndian(body, 14, 2);
    return (format == kPcm || format == kExtensible) && channels > 0 && rate > 0 &&
           (bits == 8 || bits == 16 || bits == 24 || bits == 32);
}

}  // namespace

bool wavHeaderIsDecodable(std::span<const std::uint8_t> bytes) {
    if (!hasTag(bytes, 0, "RIFF") || !hasTag(bytes, 8, "WAVE")) return true;
    bool formatSeen = false;
    std::size_t at = kRiffHeaderSize;
    while (at + kChunkHeaderSize <= bytes.size()) {
        const std::size_t bodyAt = at + kChunkHeaderSize;
        const std::size_t size = std::min<std::size_t>(littleEndian(bytes, at + 4, 4), bytes.size() - bodyAt);
        if (hasTag(bytes, at, "fmt ")) {
            formatSeen = formatIsDecodable(bytes.subspan(bodyAt, size));
            if (!formatSeen) return false;
        } else if (hasTag(bytes, at, "data")) {
            return formatSeen;
        }
        at = bodyAt + size + (size % 2);
    }
    return false;
}

}  // namespace quellwave
