// The exact output of reading a data file, pinned by hashes recorded from the first working
// reading: the enciphered bytes, the decoded samples and the twelve cut and reverberated clips
// of a speech-like track, and the comb bank on its own. Any change that makes the reading faster
// must leave every byte and sample as it was.
#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <cstdint>
#include <span>
#include <vector>

#include "app/engine/AffirmationData.hpp"
#include "app/engine/CombReverb.hpp"
#include "app/engine/DataFileCipher.hpp"
#include "tests/affirmations/DataFileFixture.hpp"

namespace quellwave {
namespace {

// FNV-1a over 64 bits.
class Fnv1a {
public:
    void add(std::uint8_t byte) {
        hash_ ^= byte;
        hash_ *= 0x100000001B3ull;
    }
    void add64(std::uint64_t value) {
        for (int shift = 0; shift < 64; shift += 8) add(static_cast<std::uint8_t>(value >> shift));
    }
    void addBytes(std::span<const std::uint8_t> bytes) {
        for (const std::uint8_t byte : bytes) add(byte);
    }
    void addSamples(std::span<const std::int16_t> samples) {
        add64(samples.size());
        for (const std::int16_t sample : samples) {
            const auto bits = static_cast<std::uint16_t>(sample);
            add(static_cast<std::uint8_t>(bits));
            add(static_cast<std::uint8_t>(bits >> 8));
        }
    }
    std::uint64_t value() const { return hash_; }

private:
    std::uint64_t hash_ = 0xCBF29CE484222325ull;
};

// A linear congruential generator: the same numbers on every library and machine.
class Lcg {
public:
    std::uint32_t next() {
        state_ = state_ * 6364136223846793005ull + 1442695040888963407ull;
        return static_cast<std::uint32_t>(state_ >> 33);
    }
    // Uniform in [-1, 1).
    double signedUnit() { return static_cast<double>(next()) / 1073741824.0 - 1.0; }

private:
    std::uint64_t state_ = 0x5EED;
};

// Voice-like sound in every clip slot at espeak's 22050 Hz: syllables of a buzzing pitch with
// breath noise, some loud enough for the reverb to clip; the right ear a little quieter than the
// left, so that an exchange of the ears shows. Only integer arithmetic: no library rounding.
qwpack::PcmAudio speechLikeTrack() {
    constexpr std::uint32_t kRate = 22050;
    qwpack::PcmAudio track = testing::silence(kRate, 2, ClipTable::totalSeconds());
    Lcg random;
    for (std::size_t k = 0; k < ClipTable::kClipCount; ++k) {
        const std::size_t first = testing::clipFirstFrame(kRate, k);
        const std::size_t frames = testing::clipFrames(kRate, k) - kRate / 2;  // ends in silence
        std::size_t at = 0;
        while (at < frames) {
            const std::size_t syllable = std::min<std::size_t>(frames - at, 2000 + random.next() % 4000);
            const std::int32_t peak = 6000 + static_cast<std::int32_t>(random.next() % 26000);
            const std::int32_t period = 80 + static_cast<std::int32_t>(random.next() % 150);
            for (std::size_t n = 0; n < syllable; ++n) {
                const auto phase = static_cast<std::int32_t>(n % static_cast<std::size_t>(period));
                const std::int32_t buzz = (2 * phase - period) * 1024 / period;  // -1024 .. 1024
                const auto rise = static_cast<std::int64_t>(std::min(n, syllable - n));
                const std::int64_t envelope = std::min<std::int64_t>(rise * 8, 1024);
                const std::int64_t breath = static_cast<std::int64_t>(random.next() % 2048) - 1024;
                const std::int64_t left = (buzz * 3 + breath) * envelope * peak / (4 * 1024 * 1024);
                const std::size_t index = 2 * (first + at + n);
                track.samples[index] = static_cast<std::int16_t>(left);
                track.samples[index + 1] = static_cast<std::int16_t>(left * 7 / 8);
            }
            at += syllable + 200 + random.next() % 1500;  // a pause between syllables
        }
    }
    return track;
}

TEST(ClipOutputPin, ASpeechLikeDataFileReadsToTheRecordedBytesAndSamples) {
    const std::vector<std::uint8_t> file = qwpack::packDataFile(speechLikeTrack());
    Fnv1a enciphered;
    enciphered.addBytes(file);
    EXPECT_EQ(enciphered.value(), 0xAF47C7B0F30ADAC8ull) << std::hex << enciphered.value();

    std::vector<std::uint8_t> plain = file;
    applyDataFileKey(plain);
    const DataFileResult<DecodedAudio> decoded = decodeAudio(plain);
    ASSERT_TRUE(decoded.ok()) << decoded.errorMessage();
    Fnv1a samples;
    samples.addSamples(decoded.value().samples);
    EXPECT_EQ(samples.value(), 0xDD5684625C6DD6F6ull) << std::hex << samples.value();

    const DataFileResult<AffirmationClipSamples> clips = prepareAffirmationClips(file);
    ASSERT_TRUE(clips.ok()) << clips.errorMessage();
    ASSERT_EQ(clips.value().clips.size(), ClipTable::kClipCount);
    Fnv1a reverberated;
    std::size_t atFullScale = 0;
    for (const std::vector<std::int16_t>& clip : clips.value().clips) {
        reverberated.addSamples(clip);
        atFullScale += static_cast<std::size_t>(std::count_if(
            clip.begin(), clip.end(), [](std::int16_t sample) { return sample == 32767 || sample == -32767; }));
    }
    EXPECT_GT(atFullScale, 0u) << "the track is too quiet to pin the clamping";
    EXPECT_EQ(reverberated.value(), 0x5BD548987E38BB54ull) << std::hex << reverberated.value();
}

// The bank in general: three branches (one of a single sample, one longer than the signal), an
// odd length, and a signal loud enough for the feedback to pass full scale.
TEST(ClipOutputPin, TheCombBankGivesTheRecordedValues) {
    Lcg random;
    std::vector<double> signal(10007);
    for (double& value : signal) value = 1.5 * random.signedUnit();
    const std::vector<double> delays{0.0001, 0.0173, 20.0};
    const std::vector<double> gains{0.3, 0.85, 0.5};

    Fnv1a bank;
    for (const double value : combFilterBank(signal, 1000, delays, gains))
        bank.add64(std::bit_cast<std::uint64_t>(value));
    EXPECT_EQ(bank.value(), 0x2BC220512BA822BEull) << std::hex << bank.value();

    std::vector<std::int16_t> samples(signal.size());
    for (std::size_t i = 0; i < samples.size(); ++i) samples[i] = static_cast<std::int16_t>(signal[i] * 20000.0);
    Fnv1a mono;
    mono.addSamples(reverbChannel(samples, 8000, delays, gains));
    EXPECT_EQ(mono.value(), 0x629D5914F6183401ull) << std::hex << mono.value();
}

}  // namespace
}  // namespace quellwave
