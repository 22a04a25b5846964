#include <gtest/gtest.h>

#include <sstream>

#include "app/engine/AffirmationData.hpp"
#include "app/engine/AffirmationPlayer.hpp"
#include "app/engine/DataFileCipher.hpp"
#include "tests/affirmations/DataFileFixture.hpp"

namespace quellwave {
namespace {

using testing::clipFirstFrame;
using testing::clipFrames;
using testing::DataFileFolder;
using testing::silence;

// Marks the first and last frame of every clip slot and the frames just outside it; a track
// shorter than the table keeps only the marks that fall inside it.
qwpack::PcmAudio markedTrack(std::uint32_t rate, double seconds) {
    qwpack::PcmAudio audio = silence(rate, 2, seconds);
    auto frame = [&](std::size_t index, std::int16_t left, std::int16_t right) {
        if (2 * index + 1 >= audio.samples.size()) return;
        audio.samples[2 * index] = left;
        audio.samples[2 * index + 1] = right;
    };
    for (std::size_t k = 0; k < ClipTable::kClipCount; ++k) {
        const auto value = static_cast<std::int16_t>(1000 * (k + 1));
        const std::size_t first = clipFirstFrame(rate, k);
        const std::size_t last = first + clipFrames(rate, k) - 1;
        if (k > 0) frame(first - 1, 31000, 31000);
        frame(first, value, static_cast<std::int16_t>(-value));
        frame(last, static_cast<std::int16_t>(value + 7), static_cast<std::int16_t>(-value - 7));
        frame(last + 1, 31000, 31000);
    }
    return audio;
}

std::string reported(const std::string& message, int& exitCode) {
    std::ostringstream out;
    exitCode = reportDataFileError(message, out);
    return out.str();
}

class ClipCutting : public ::testing::TestWithParam<std::uint32_t> {};

TEST_P(ClipCutting, TakesEachClipFromItsExactSamplePositions) {
    const std::uint32_t rate = GetParam();
    DataFileResult<AffirmationClipSamples> clips =
        prepareAffirmationClips(qwpack::packDataFile(markedTrack(rate, ClipTable::totalSeconds())));
    ASSERT_TRUE(clips.ok()) << clips.errorMessage();
    EXPECT_EQ(clips.value().sampleRate, rate);
    ASSERT_EQ(clips.value().clips.size(), ClipTable::kClipCount);
    for (std::size_t k = 0; k < ClipTable::kClipCount; ++k) {
        const std::vector<std::int16_t>& clip = clips.value().clips[k];
        const int value = 1000 * static_cast<int>(k + 1);
        ASSERT_EQ(clip.size(), 2 * clipFrames(rate, k)) << "clip " << k;
        // The reverb passes the first sample through unchanged (its delay lines start empty);
        // full-scale conversion may lose one step.
        EXPECT_NEAR(clip[0], value, 1) << "clip " << k;
        EXPECT_NEAR(clip[1], -value, 1) << "clip " << k;
        EXPECT_NEAR(clip[clip.size() - 2], value + 7, 1) << "clip " << k;
        EXPECT_NEAR(clip[clip.size() - 1], -value - 7, 1) << "clip " << k;
    }
}

INSTANTIATE_TEST_SUITE_P(TwoRates, ClipCutting, ::testing::Values(22050u, 44100u));

TEST(ClipTableTimes, StartsFollowTheDurationsWithOneSecondGaps) {
    const std::array<double, 12> starts{0.0, 5.0, 9.5, 14.5, 19.5, 25.0, 30.0, 35.5, 40.0, 44.0, 49.0, 54.0};
    for (std::size_t k = 0; k < starts.size(); ++k) EXPECT_DOUBLE_EQ(ClipTable::start(k), starts[k]) << k;
    EXPECT_DOUBLE_EQ(ClipTable::totalSeconds(), 58.0);
}

TEST(ClipCut, ClipBeyondTheEndIsEmptyAndAClipOverTheEndIsCutShort) {
    const std::vector<std::int16_t> samples(2 * 100, 5);  // 100 stereo frames at 10 Hz: 10 s
    EXPECT_TRUE(cutClip(samples, 10, 2, 10.0, 4.0).empty());
    EXPECT_TRUE(cutClip(samples, 10, 2, 54.0, 4.0).empty());
    EXPECT_EQ(cutClip(samples, 10, 2, 8.0, 4.0).size(), 2u * 20);
    EXPECT_EQ(cutClip(samples, 10, 2, 5.0, 4.0).size(), 2u * 40);
}

class DataFileLoading : public DataFileFolder {
protected:
    void expectFailure(const std::string& message) {
        const DataFileResult<std::vector<sf::SoundBuffer>> loaded = loadAffirmationData(dataFile());
        ASSERT_FALSE(loaded.ok());
        EXPECT_EQ(loaded.errorMessage(), message);
        int exitCode = 0;
        EXPECT_EQ(reported(loaded.errorMessage(), exitCode), message + "\n");
        EXPECT_NE(exitCode, 0);
    }
};

TEST_F(DataFileLoading, GoodFileGivesTwelveStereoBuffersForTheVoice) {
    write(qwpack::packDataFile(markedTrack(22050, ClipTable::totalSeconds())));
    DataFileResult<std::vector<sf::SoundBuffer>> loaded = loadAffirmationData(dataFile());
    ASSERT_TRUE(loaded.ok()) << loaded.errorMessage();
    ASSERT_EQ(loaded.value().size(), 12u);
    for (std::size_t k = 0; k < 12; ++k) {
        EXPECT_EQ(loaded.value()[k].getChannelCount(), 2u);
        EXPECT_EQ(loaded.value()[k].getSampleRate(), 22050u);
        EXPECT_EQ(loaded.value()[k].getSampleCount(), 2 * clipFrames(22050, k));
    }

    SoundClipVoice voice(std::move(loaded.value()));
    EXPECT_EQ(voice.clipCount(), 12u);
    EXPECT_FALSE(voice.isPlaying());
    voice.play({3, 30.0f, 0.8f});
    EXPECT_TRUE(voice.isPlaying());
}

TEST_F(DataFileLoading, MissingFile) { expectFailure("Failed to find data.qw"); }

TEST_F(DataFileLoading, FolderWhoseSizeCannotBeDetermined) {
    std::filesystem::create_directory(dataFile());
    expectFailure("Failed to read data.qw");
}

TEST_F(DataFileLoading, DamagedFilesCannotBeDecoded) {
    const std::vector<std::uint8_t> good = qwpack::packDataFile(markedTrack(8000, ClipTable::totalSeconds()));
    std::vector<std::uint8_t> noise(4096);
    for (std::size_t i = 0; i < noise.size(); ++i) noise[i] = static_cast<std::uint8_t>(i * 131 + 17);
    const std::vector<std::vector<std::uint8_t>> damaged{
        {good.begin(), good.begin() + static_cast<std::ptrdiff_t>(good.size() / 2)},  // truncated
        {good.begin(), good.begin() + 10},                                            // cut in the header
        {},                                                                           // empty
        noise,                                                                        // corrupt
        qwpack::encodeWav(markedTrack(8000, ClipTable::totalSeconds())),              // never enciphered
    };
    for (std::size_t i = 0; i < damaged.size(); ++i) {
        SCOPED_TRACE("damaged file " + std::to_string(i));
        write(damaged[i]);
        expectFailure("Failed to load decrypted data into sf::SoundBuffer");
    }
}

// A WAV whose samples are not described before they start: the decoder would divide by the
// sample width it never read. Each must end in the data file's error, not in a crash.
TEST_F(DataFileLoading, AWaveWithoutAUsableFormatChunkIsRefusedBeforeDecoding) {
    const std::vector<std::uint8_t> wav = qwpack::encodeWav(silence(8000, 2, 2.0));
    constexpr std::ptrdiff_t kFormatChunk = 12, kFormatChunkEnd = 12 + 8 + 16;
    ASSERT_EQ(std::string(wav.begin() + kFormatChunk, wav.begin() + kFormatChunk + 4), "fmt ");
    auto enciphered = [](std::vector<std::uint8_t> bytes) {
        applyDataFileKey(bytes);
        return bytes;
    };
    std::vector<std::uint8_t> noFormat(wav.begin(), wav.begin() + kFormatChunk);
    noFormat.insert(noFormat.end(), wav.begin() + kFormatChunkEnd, wav.end());
    std::vector<std::uint8_t> zeroWidth = wav;
    zeroWidth[kFormatChunk + 8 + 14] = 0;
    std::vector<std::uint8_t> noChannels = wav;
    noChannels[kFormatChunk + 8 + 2] = 0;
    std::vector<std::uint8_t> formatAfterData(wav.begin(), wav.begin() + kFormatChunk);
    formatAfterData.insert(formatAfterData.end(), wav.begin() + kFormatChunkEnd, wav.end());
    formatAfterData.insert(formatAfterData.end(), wav.begin() + kFormatChunk, wav.begin() + kFormatChunkEnd);

    for (const auto& damaged : {noFormat, zeroWidth, noChannels, formatAfterData}) {
        EXPECT_FALSE(decodeAudio(damaged).ok());
        write(enciphered(damaged));
        expectFailure("Failed to load decrypted data into sf::SoundBuffer");
    }
    EXPECT_TRUE(decodeAudio(wav).ok());
}

TEST_F(DataFileLoading, AudioThatIsNotStereoIsRefused) {
    write(qwpack::packDataFile(silence(8000, 1, ClipTable::totalSeconds())));
    expectFailure("The audio in data.qw is not stereo (1 channels)");
    write(qwpack::packDataFile(silence(8000, 4, ClipTable::totalSeconds())));
    expectFailure("The audio in data.qw is not stereo (4 channels)");
}

TEST_F(DataFileLoading, ShortAudioCutsTheLastClipShort) {
    write(qwpack::packDataFile(markedTrack(8000, 56.0)));
    const DataFileResult<std::vector<sf::SoundBuffer>> loaded = loadAffirmationData(dataFile());
    ASSERT_TRUE(loaded.ok()) << loaded.errorMessage();
    EXPECT_EQ(loaded.value()[11].getSampleCount(), 2u * 8000 * 2);
}

TEST_F(DataFileLoading, ClipStartingBeyondTheEndFailsWithItsIndex) {
    write(qwpack::packDataFile(silence(8000, 2, 50.0)));
    expectFailure("Failed to load reverbed affirmation 11");
}

TEST_F(DataFileLoading, APlayerIsRefusedWithTheMessageAndNothingEndsTheProgram) {
    write(qwpack::packDataFile(silence(8000, 2, 50.0)));
    DataFileResult<std::unique_ptr<ClipPlayer>> player = loadAffirmationPlayer(dataFile());
    ASSERT_FALSE(player.ok());
    EXPECT_EQ(player.errorMessage(), "Failed to load reverbed affirmation 11");

    write(qwpack::packDataFile(markedTrack(8000, ClipTable::totalSeconds())));
    player = loadAffirmationPlayer(dataFile());
    ASSERT_TRUE(player.ok()) << player.errorMessage();
    EXPECT_FALSE(player.value()->isPlaying());
}

}  // namespace
}  // namespace quellwave
