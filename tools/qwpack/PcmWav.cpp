#include "tools/qwpack/PcmWav.hpp"

#include <algorithm>
#include <string_view>

namespace qwpack {

namespace {

constexpr std::uint16_t kPcmFormat = 1;
constexpr std::uint16_t kBitsPerSample = 16;
constexpr std::size_t kChunkHeaderSize = 8;
constexpr std::size_t kFormatChunkSize = 16;

std::uint32_t readLe(std::span<const std::uint8_t> bytes, std::size_t at, std::size_t width) {
    std::uint32_t value = 0;
    for (std::size_t i = 0; i < width; ++i) value |= std::uint32_t{bytes[at + i]} << (8 * i);
    return value;
}

bool tagAt(std::span<const std::uint8_t> bytes, std::size_t at, std::string_view tag) {
    return bytes.size() >= at + tag.size() &&
           std::equal(tag.begin(), tag.end(), bytes.begin() + static_cast<std::ptrdiff_t>(at));
}

class LeWriter {
public:
    void tag(std::string_view text) { bytes_.insert(bytes_.end(), text.begin(), text.end()); }
    void u16(std::uint32_t value) { put(value, 2); }
    void u32(std::uint32_t value) { put(value, 4); }
    std::vector<std::uint8_t> take() { return std::move(bytes_); }

private:
    void put(std::uint32_t value, std::size_t width) {
        for (std::size_t i = 0; i < width; ++i) bytes_.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
    }
    std::vector<std::uint8_t> bytes_;
};

}  // namespace

std::optional<PcmAudio> parseWav(std::span<const std::uint8_t> bytes) {
    if (!tagAt(bytes, 0, "RIFF") || !tagAt(bytes, 8, "WAVE")) return std::nullopt;
    PcmAudio audio;
    bool formatSeen = false;
    std::size_t at = 12;
    while (at + kChunkHeaderSize <= bytes.size()) {
        const std::size_t bodyAt = at + kChunkHeaderSize;
        const std::size_t available = bytes.size() - bodyAt;
        const std::size_t size = std::min<std::size_t>(readLe(bytes, at + 4, 4), available);
        if (tagAt(bytes, at, "fmt ")) {
            if (size < kFormatChunkSize || readLe(bytes, bodyAt, 2) != kPcmFormat ||
                readLe(bytes, bodyAt + 14, 2) != kBitsPerSample) {
                return std::nullopt;
            }
            audio.channelCount = static_cast<std::uint16_t>(readLe(bytes, bodyAt + 2, 2));
            audio.sampleRate = readLe(bytes, bodyAt + 4, 4);
            formatSeen = audio.channelCount > 0 && audio.sampleRate > 0;
        } else if (tagAt(bytes, at, "data")) {
            if (!formatSeen) return std::nullopt;
            const std::size_t frameBytes = std::size_t{2} * audio.channelCount;
            const std::size_t sampleCount = size / frameBytes * audio.channelCount;
            audio.samples.resize(sampleCount);
            for (std::size_t i = 0; i < sampleCount; ++i) {
                audio.samples[i] = static_cast<std::int16_t>(readLe(bytes, bodyAt + 2 * i, 2));
            }
            return audio;
        }
        at = bodyAt + size + (size % 2);
    }
    return std::nullopt;
}

std::vector<std::uint8_t> encodeWav(const PcmAudio& audio) {
    const auto dataBytes = static_cast<std::uint32_t>(audio.samples.size() * 2);
    const std::uint32_t blockAlign = audio.channelCount * (kBitsPerSample / 8);
    LeWriter out;
    out.tag("RIFF");
    out.u32(4 + kChunkHeaderSize + kFormatChunkSize + kChunkHeaderSize + dataBytes);
    out.tag("WAVE");
    out.tag("fmt ");
    out.u32(kFormatChunkSize);
    out.u16(kPcmFormat);
    out.u16(audio.channelCount);
    out.u32(audio.sampleRate);
    out.u32(audio.sampleRate * blockAlign);
    out.u16(blockAlign);
    out.u16(kBitsPerSample);
    out.tag("data");
    out.u32(dataBytes);
    for (const std::int16_t sample : audio.samples) out.u16(static_cast<std::uint16_t>(sample));
    return out.take();
}

}  // namespace qwpack
