#pragma once

#include <cstdint>
#include <span>
#include <vector>

namespace quellwave {

// Interleaved 16-bit audio as decoded from the data file.
struct DecodedAudio {
    std::vector<std::int16_t> samples;
    unsigned sampleRate = 0;
    unsigned channelCount = 0;
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

// Reads a RIFF/WAVE file of 16-bit PCM straight into samples. Its header must be whole and
// sound: a "fmt " chunk of at least 16 bytes before the "data" chunk, format 1 (or the
// extensible form with the PCM sub-format), 16 bits, at least one channel, a rate above zero
// and a block of two bytes per channel; the data chunk must hold every byte it announces (an
// odd last byte is dropped).
WavDecoding decodePcm16Wav(std::span<const std::uint8_t> bytes);

}  // namespace quellwave
