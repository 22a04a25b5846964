#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace qwpack {

// Interleaved 16-bit PCM audio.
struct PcmAudio {
    std::vector<std::int16_t> samples;
    std::uint32_t sampleRate = 0;
    std::uint16_t channelCount = 0;
};

// Reads a 16-bit PCM WAV. A speech synthesiser that writes to a pipe cannot know the data size in
// advance and announces the largest one: the data chunk then runs to the end of the bytes.
// Nothing when the bytes are not 16-bit PCM WAV.
std::optional<PcmAudio> parseWav(std::span<const std::uint8_t> bytes);

// A canonical 44-byte-header WAV of the audio.
std::vector<std::uint8_t> encodeWav(const PcmAudio& audio);

}  // namespace qwpack
