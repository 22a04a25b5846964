#include "app/engine/WavDecoding.hpp"

#include <bit>
#include <cstdint>
#include <cstring>

namespace quellwave {
namespace {

constexpr std::uint16_t kPcm = 1;
constexpr std::uint16_t kExtensible = 0xFFFE;
constexpr std::size_t kChunkHeader = 8;
constexpr std::size_t kPlainFormatSize = 16;
constexpr std::size_t kExtensibleFormatSize = 40;
constexpr std::size_t kSubFormatOffset = 24;

std::uint16_t read16(const std::uint8_t* at) { return static_cast<std::uint16_t>(at[0] | (at[1] << 8)); }

std::uint32_t read32(const std::uint8_t* at) {
    return static_cast<std::uint32_t>(at[0]) | (static_cast<std::uint32_t>(at[1]) << 8) |
           (static_cast<std::uint32_t>(at[2]) << 16) | (static_cast<std::uint32_t>(at[3]) << 24);
}

bool named(const std::uint8_t* at, const char* id) { return std::memcmp(at, id, 4) == 0; }

WavDecoding unusable() { return {WavDecoding::Outcome::Unusable, {}}; }

// The whole frames of the data chunk's body: a trailing partial frame (or odd byte) would pair
// one ear's sample with the next frame's other ear.
DecodedAudio wholeFrames(std::span<const std::uint8_t> body, unsigned sampleRate, unsigned channelCount) {
    static_assert(std::endian::native == std::endian::little, "the samples are read as they lie");
    const std::size_t count = body.size() / (2u * channelCount) * channelCount;
    if (reinterpret_cast<std::uintptr_t>(body.data()) % alignof(std::int16_t) == 0) {
        return {std::span(reinterpret_cast<const std::int16_t*>(body.data()), count), sampleRate, channelCount};
    }
    std::vector<std::int16_t> copied(count);
    if (count > 0) std::memcpy(copied.data(), body.data(), count * 2);
    return {std::move(copied), sampleRate, channelCount};
}

// True when the format chunk describes 16-bit PCM that can be played; fills in its layout.
bool playableFormat(std::span<const std::uint8_t> format, unsigned& sampleRate, unsigned& channelCount) {
    if (format.size() < kPlainFormatSize) return false;
    std::uint16_t tag = read16(&format[0]);
    if (tag == kExtensible) {
        if (format.size() < kExtensibleFormatSize) return false;
        tag = read16(&format[kSubFormatOffset]);
    }
    channelCount = read16(&format[2]);
    sampleRate = read32(&format[4]);
    const std::uint16_t blockAlign = read16(&format[12]);
    const std::uint16_t bits = read16(&format[14]);
    return tag == kPcm && bits == 16 && channelCount > 0 && sampleRate > 0 && blockAlign == 2 * channelCount;
}

}  // namespace

WavDecoding decodePcm16Wav(std::span<const std::uint8_t> bytes) {
    if (bytes.size() < 12 || !named(&bytes[0], "RIFF") || !named(&bytes[8], "WAVE")) return {};

    unsigned sampleRate = 0;
    unsigned channelCount = 0;
    bool formatSeen = false;
    for (std::size_t at = 12; at + kChunkHeader <= bytes.size();) {
        const std::uint8_t* header = &bytes[at];
        const std::uint64_t size = read32(header + 4);
        const std::size_t body = at + kChunkHeader;
        const std::size_t left = bytes.size() - body;
        if (named(header, "fmt ")) {
            if (size > left ||
                !playableFormat(bytes.subspan(body, static_cast<std::size_t>(size)), sampleRate, channelCount))
                return unusable();
            formatSeen = true;
        } else if (named(header, "data")) {
            if (!formatSeen || size > left) return unusable();
            return {WavDecoding::Outcome::Decoded,
                    wholeFrames(bytes.subspan(body, static_cast<std::size_t>(size)), sampleRate, channelCount)};
        }
        if (size > left) break;
        at = body + static_cast<std::size_t>(size) + (size & 1);  // chunks are padded to even sizes
    }
    return unusable();  // no data chunk (or no format chunk either)
}

}  // namespace quellwave
