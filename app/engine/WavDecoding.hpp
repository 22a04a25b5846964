#pragma once

#include <cstdint>
#include <span>
#include <utility>
#include <vector>

namespace quellwave {

// Interleaved 16-bit audio as decoded from the data file. The samples of a plain 16-bit PCM
// WAVE file are read where they lie in its bytes, which must then outlive this; audio that had
// to be decoded keeps its samples in `decoded`. Moves keep `samples` valid; copies are refused.
struct DecodedAudio {
    DecodedAudio() = default;
    DecodedAudio(std::span<const std::int16_t> found, unsigned rate, unsigned channels)
        : samples(found), sampleRate(rate), channelCount(channels) {}
    DecodedAudio(std::vector<std::int16_t> decodedSamples, unsigned rate, unsigned channels)
        : sampleRate(rate), channelCount(channels), decoded(std::move(decodedSamples)) {
        samples = decoded;
    }
    DecodedAudio(DecodedAudio&&) noexcept = default;
    DecodedAudio& operator=(DecodedAudio&&) noexcept = default;
    DecodedAudio(const DecodedAudio&) = delete;
    DecodedAudio& operator=(const DecodedAudio&) = delete;

    std::span<const std::int16_t> samples;
    unsigned sampleRate = 0;
    unsigned channelCount = 0;
    std::vector<std::int16_t> decoded;
};

// What a look at the bytes finds, and the samples when they could be taken.
struct WavDecoding {
    enum class Outcome {
        NotWav,    // the bytes do not start as a RIFF/WAVE file
        Unusable,  // a WAVE file whose header is damaged or not 16-bit PCM, or cut short
        Decoded,
    };
    Outcome outcome = Outcome::NotWav;
    DecodedAudio audio;
};

// Finds the samples of a RIFF/WAVE file of 16-bit PCM where they lie in `bytes` (copied only
// when `bytes` starts at an odd address, where 16-bit reads would be misaligned; a data chunk
// always starts at an even offset). Its header must be whole and sound: a "fmt " chunk of at
// least 16 bytes before the "data" chunk, format 1 (or the extensible form with the PCM
// sub-format), 16 bits, at least one channel, a rate above zero and a block of two bytes per
// channel; the data chunk must hold every byte it announces (an odd last byte is dropped).
WavDecoding decodePcm16Wav(std::span<const std::uint8_t> bytes);
// The samples would point into bytes about to go.
WavDecoding decodePcm16Wav(std::vector<std::uint8_t>&& bytes) = delete;

}  // namespace quellwave
