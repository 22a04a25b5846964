#pragma once

#include <cstdint>
#include <filesystem>
#include <span>
#include <vector>

#include <SFML/Audio/SoundBuffer.hpp>

#include "app/engine/DataFile.hpp"
#include "app/engine/WavDecoding.hpp"

namespace quellwave {

// The twelve affirmation clips, cut and given their phase's reverb, as interleaved stereo.
struct AffirmationClipSamples {
    std::vector<std::vector<std::int16_t>> clips;
    unsigned sampleRate = 0;
    unsigned channelCount = 0;
};

// Decodes a 16-bit PCM WAVE file straight (its samples read where they lie in `bytes`, which
// must outlive the result), and any other format the sound library reads from memory through it. Fails with "Failed to load decrypted data into sf::SoundBuffer" when the
// bytes are not such audio, are a WAVE file with a damaged header or of another encoding, or
// hold fewer samples than their header announces.
DataFileResult<DecodedAudio> decodeAudio(std::span<const std::uint8_t> bytes);
// The samples would point into bytes about to go.
DataFileResult<DecodedAudio> decodeAudio(std::vector<std::uint8_t>&& bytes) = delete;

// Deciphers the file's bytes (in place), decodes them, refuses audio that is not stereo and
// cuts and reverberates the twelve clips; a clip that comes out empty fails with
// "Failed to load reverbed affirmation <k>".
DataFileResult<AffirmationClipSamples> prepareAffirmationClips(std::vector<std::uint8_t> fileBytes);

// Reads the data file and turns its clips into sound buffers, in clip order.
DataFileResult<std::vector<sf::SoundBuffer>> loadAffirmationData(const std::filesystem::path& path = kDataFileName);

}  // namespace quellwave
