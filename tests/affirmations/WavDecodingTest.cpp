// WAVE headers built byte by byte: what is read straight, and what is refused before a single
// sample is trusted.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "app/engine/AffirmationData.hpp"
#include "app/engine/DataFileCipher.hpp"
#include "app/engine/WavDecoding.hpp"

namespace quellwave {
namespace {

using Bytes = std::vector<std::uint8_t>;
using Outcome = WavDecoding::Outcome;

void put16(Bytes& out, unsigned value) {
    out.push_back(static_cast<std::uint8_t>(value));
    out.push_back(static_cast<std::uint8_t>(value >> 8));
}

void put32(Bytes& out, std::uint32_t value) {
    put16(out, value & 0xFFFF);
    put16(out, value >> 16);
}

struct Chunk {
    std::string id;
    Bytes body;
    std::uint32_t announced = 0;  // 0: the body's own size
};

Bytes riff(const std::vector<Chunk>& chunks) {
    Bytes out{'R', 'I', 'F', 'F', 0, 0, 0, 0, 'W', 'A', 'V', 'E'};
    for (const Chunk& chunk : chunks) {
        out.insert(out.end(), chunk.id.begin(), chunk.id.end());
        put32(out, chunk.announced != 0 ? chunk.announced : static_cast<std::uint32_t>(chunk.body.size()));
        out.insert(out.end(), chunk.body.begin(), chunk.body.end());
        if (chunk.body.size() % 2 != 0) out.push_back(0);
    }
    const auto size = static_cast<std::uint32_t>(out.size() - 8);
    for (int i = 0; i < 4; ++i) out[4 + i] = static_cast<std::uint8_t>(size >> (8 * i));
    return out;
}

Chunk format(unsigned tag, unsigned channels, std::uint32_t rate, unsigned bits, unsigned blockAlign) {
    Bytes body;
    put16(body, tag);
    put16(body, channels);
    put32(body, rate);
    put32(body, rate * blockAlign);
    put16(body, blockAlign);
    put16(body, bits);
    return {"fmt ", body};
}

Chunk pcm16(unsigned channels, std::uint32_t rate) { return format(1, channels, rate, 16, 2 * channels); }

// Frames (1, -1), (2, -2), ... as little-endian 16-bit samples.
Chunk data(std::size_t frames) {
    Bytes body;
    for (std::size_t i = 1; i <= frames; ++i) {
        put16(body, static_cast<std::uint16_t>(static_cast<std::int16_t>(i)));
        put16(body, static_cast<std::uint16_t>(static_cast<std::int16_t>(-static_cast<int>(i))));
    }
    return {"data", body};
}

using Samples = std::vector<std::int16_t>;

Samples samplesOf(const WavDecoding& decoded) { return {decoded.audio.samples.begin(), decoded.audio.samples.end()}; }

TEST(WavDecoding, SixteenBitPcmIsTakenStraightPastOtherChunks) {
    Chunk list{"LIST", {'I', 'N', 'F', 'O', 'x'}};  // odd size: padded
    const Bytes file = riff({pcm16(2, 22050), list, data(3)});
    const WavDecoding decoded = decodePcm16Wav(file);
    ASSERT_EQ(decoded.outcome, Outcome::Decoded);
    EXPECT_EQ(decoded.audio.sampleRate, 22050u);
    EXPECT_EQ(decoded.audio.channelCount, 2u);
    EXPECT_EQ(samplesOf(decoded), (Samples{1, -1, 2, -2, 3, -3}));
    EXPECT_TRUE(decoded.audio.decoded.empty()) << "the samples are read where they lie, not copied";
}

TEST(WavDecoding, TheExtensibleFormWithThePcmSubFormatIsPcm) {
    Chunk extensible = pcm16(2, 48000);
    extensible.body[0] = 0xFE;
    extensible.body[1] = 0xFF;
    Bytes extra;
    put16(extra, 22);
    put16(extra, 16);
    put32(extra, 3);
    put16(extra, 1);  // sub-format: PCM
    extra.resize(extra.size() + 14, 0);
    extensible.body.insert(extensible.body.end(), extra.begin(), extra.end());
    const Bytes pcm = riff({extensible, data(2)});
    EXPECT_EQ(decodePcm16Wav(pcm).outcome, Outcome::Decoded);
    extensible.body[24] = 3;  // sub-format: float
    const Bytes floating = riff({extensible, data(2)});
    EXPECT_EQ(decodePcm16Wav(floating).outcome, Outcome::Unusable);
}

TEST(WavDecoding, DamagedOrForeignHeadersAreRefused) {
    Chunk cutShortData = data(4);
    cutShortData.announced = 1000;
    Chunk shortFormat = pcm16(2, 8000);
    shortFormat.body.resize(14);
    const std::vector<std::pair<const char*, Bytes>> refused{
        {"data without a format", riff({data(4)})},
        {"data before the format", riff({data(4), pcm16(2, 8000)})},
        {"no data", riff({pcm16(2, 8000)})},
        {"no channels", riff({format(1, 0, 8000, 16, 0), data(4)})},
        {"rate zero", riff({format(1, 2, 0, 16, 4), data(4)})},
        {"8-bit", riff({format(1, 2, 8000, 8, 2), data(4)})},
        {"float", riff({format(3, 2, 8000, 32, 8), data(4)})},
        {"block size", riff({format(1, 2, 8000, 16, 2), data(4)})},
        {"short format chunk", riff({shortFormat, data(4)})},
        {"data cut short", riff({pcm16(2, 8000), cutShortData})},
        {"header only", riff({})},
    };
    for (const auto& [what, bytes] : refused) {
        EXPECT_EQ(decodePcm16Wav(bytes).outcome, Outcome::Unusable) << what;
        const DataFileResult<DecodedAudio> audio = decodeAudio(bytes);
        ASSERT_FALSE(audio.ok()) << what;
        EXPECT_EQ(audio.errorMessage(), "Failed to load decrypted data into sf::SoundBuffer") << what;
    }
}

TEST(WavDecoding, OtherBytesAreNotTakenForAWaveFile) {
    for (const Bytes& other :
         {Bytes{}, Bytes{'R', 'I', 'F', 'F', 0, 0, 0, 0, 'A', 'V', 'I', ' '}, Bytes{'O', 'g', 'g', 'S', 0, 2}})
        EXPECT_EQ(decodePcm16Wav(other).outcome, Outcome::NotWav);
}

TEST(WavDecoding, AnEmptyDataChunkAtTheVeryEndGivesNoSamples) {
    const Bytes file = riff({pcm16(2, 8000), data(0)});
    const WavDecoding decoded = decodePcm16Wav(file);
    ASSERT_EQ(decoded.outcome, Outcome::Decoded);
    EXPECT_TRUE(decoded.audio.samples.empty());
}

TEST(WavDecoding, AnOddLastByteOfDataIsDropped) {
    Chunk odd = data(2);
    odd.body.push_back(0x7F);
    const Bytes file = riff({pcm16(2, 8000), odd});
    const WavDecoding decoded = decodePcm16Wav(file);
    ASSERT_EQ(decoded.outcome, Outcome::Decoded);
    EXPECT_EQ(samplesOf(decoded), (Samples{1, -1, 2, -2}));
}

TEST(WavDecoding, ATrailingPartialFrameIsDropped) {
    Chunk partial = data(2);
    partial.body.insert(partial.body.end(), {0x03, 0x00, 0x7F});
    const Bytes file = riff({pcm16(2, 8000), partial});
    const WavDecoding decoded = decodePcm16Wav(file);
    ASSERT_EQ(decoded.outcome, Outcome::Decoded);
    EXPECT_EQ(samplesOf(decoded), (Samples{1, -1, 2, -2})) << "the left sample of a third frame has no right one";
}

TEST(WavDecoding, AnEncipheredFileWithDataAndNoFormatFailsWithTheDecodeMessage) {
    Bytes file = riff({data(64)});
    applyDataFileKey(file);
    const DataFileResult<AffirmationClipSamples> clips = prepareAffirmationClips(file);
    ASSERT_FALSE(clips.ok());
    EXPECT_EQ(clips.errorMessage(), "Failed to load decrypted data into sf::SoundBuffer");
}

// Bytes at an odd address cannot be read as 16-bit samples where they lie: they are copied, with
// the same result, and the copy goes with the decoded audio when it moves.
TEST(WavDecoding, BytesAtAnOddAddressAreCopiedWithTheSameSamples) {
    const Bytes file = riff({pcm16(2, 8000), data(3)});
    Bytes shifted(file.size() + 1);
    std::copy(file.begin(), file.end(), shifted.begin() + 1);
    WavDecoding decoded = decodePcm16Wav(std::span(shifted).subspan(1));
    ASSERT_EQ(decoded.outcome, Outcome::Decoded);
    EXPECT_FALSE(decoded.audio.decoded.empty());
    std::fill(shifted.begin(), shifted.end(), 0);
    const DecodedAudio moved = std::move(decoded.audio);
    EXPECT_EQ(Samples(moved.samples.begin(), moved.samples.end()), (Samples{1, -1, 2, -2, 3, -3}));
}

}  // namespace
}  // namespace quellwave
