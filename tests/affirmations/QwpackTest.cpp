#include <gtest/gtest.h>

#include <fstream>

#include "app/engine/Affirmations.hpp"
#include "tests/affirmations/DataFileFixture.hpp"
#include "tools/qwpack/DataFileCheck.hpp"
#include "tools/qwpack/SpeechSynthesizer.hpp"

namespace quellwave {
namespace {

using testing::clipFirstFrame;
using testing::DataFileFolder;
using testing::silence;

std::vector<std::uint8_t> bytesOf(std::initializer_list<int> values) {
    return std::vector<std::uint8_t>(values.begin(), values.end());
}

TEST(PcmWav, EncodesTheCanonicalHeaderByteForByte) {
    const qwpack::PcmAudio audio{{1, -2}, 8000, 2};
    const std::vector<std::uint8_t> expected =
        bytesOf({'R',  'I',  'F', 'F', 40,  0,   0,   0,   'W',  'A',  'V', 'E', 'f',  'm',  't',  ' ',
                 16,   0,    0,   0,   1,   0,   2,   0,   0x40, 0x1F, 0,   0,  // 8000 Hz
                 0x00, 0x7D, 0,   0,                                            // 32000 bytes per second
                 4,    0,    16,  0,   'd', 'a', 't', 'a', 4,    0,    0,   0,   0x01, 0x00, 0xFE, 0xFF});
    EXPECT_EQ(qwpack::encodeWav(audio), expected);
}

TEST(PcmWav, ReadsSpeechWhoseSizesWereUnknownWhenWritten) {
    // A writer on a pipe announces the largest sizes; a "LIST" chunk of odd size comes first.
    std::vector<std::uint8_t> bytes = bytesOf(
        {'R', 'I', 'F', 'F', 0xFF, 0xFF, 0xFF, 0x7F, 'W',  'A',  'V',  'E',  'L', 'I', 'S', 'T',
         3,   0,   0,   0,   'a',  'b',  'c',  0,    'f',  'm',  't',  ' ',  16,  0,   0,   0,
         1,   0,   1,   0,   0x22, 0x56, 0,    0,    0x44, 0xAC, 0,    0,    2,   0,   16,  0,
         'd', 'a', 't', 'a', 0xFF, 0xFF, 0xFF, 0x7F, 0x10, 0x00, 0xF0, 0xFF, 0x7F});  // two samples and a stray byte
    const auto audio = qwpack::parseWav(bytes);
    ASSERT_TRUE(audio);
    EXPECT_EQ(audio->sampleRate, 22050u);
    EXPECT_EQ(audio->channelCount, 1u);
    EXPECT_EQ(audio->samples, (std::vector<std::int16_t>{16, -16}));
}

TEST(PcmWav, RefusesWhatIsNot16BitPcm) {
    std::vector<std::uint8_t> eightBit = qwpack::encodeWav({{1, 2}, 8000, 1});
    eightBit[34] = 8;
    EXPECT_FALSE(qwpack::parseWav(eightBit));
    EXPECT_FALSE(qwpack::parseWav({}));
}

std::vector<qwpack::PcmAudio> speechOfLength(std::uint32_t rate, double seconds) {
    std::vector<qwpack::PcmAudio> speech;
    for (std::size_t k = 0; k < ClipTable::kClipCount; ++k) {
        qwpack::PcmAudio clip = silence(rate, 1, seconds);
        clip.samples.front() = static_cast<std::int16_t>(1100 + k);
        clip.samples.back() = static_cast<std::int16_t>(1200 + k);
        speech.push_back(clip);
    }
    return speech;
}

TEST(AffirmationTrack, PlacesEachRecordingAtItsSlotOnBothChannels) {
    const std::uint32_t rate = 1000;
    const qwpack::PcmAudio track = qwpack::layOutAffirmations(speechOfLength(rate, 2.5));
    EXPECT_EQ(track.channelCount, 2u);
    ASSERT_EQ(track.samples.size(), 2u * 58000);
    for (std::size_t k = 0; k < ClipTable::kClipCount; ++k) {
        const std::size_t first = 2 * clipFirstFrame(rate, k);
        const std::size_t last = first + 2 * (2500 - 1);
        EXPECT_EQ(track.samples[first], 1100 + static_cast<int>(k));
        EXPECT_EQ(track.samples[first + 1], 1100 + static_cast<int>(k));
        EXPECT_EQ(track.samples[last + 1], 1200 + static_cast<int>(k));
        EXPECT_EQ(track.samples[last + 2], 0);  // silence after the speech
    }
}

TEST(AffirmationTrack, RefusesSpeechLongerThanItsSlotAndWrongCounts) {
    EXPECT_THROW(qwpack::layOutAffirmations(speechOfLength(1000, 3.001)), std::runtime_error);
    std::vector<qwpack::PcmAudio> eleven = speechOfLength(1000, 2.0);
    eleven.pop_back();
    EXPECT_THROW(qwpack::layOutAffirmations(eleven), std::runtime_error);
    std::vector<qwpack::PcmAudio> mixedRates = speechOfLength(1000, 2.0);
    mixedRates[3].sampleRate = 2000;
    EXPECT_THROW(qwpack::layOutAffirmations(mixedRates), std::runtime_error);
}

TEST(AffirmationTexts, TheRepositoryTextsAreTheOnesTheEngineNames) {
    const std::vector<std::string> texts = qwpack::readAffirmationTexts(QW_TEXTS_FILE);
    ASSERT_EQ(texts.size(), kAffirmationCount);
    for (std::size_t k = 0; k < kAffirmationCount; ++k) {
        EXPECT_EQ(texts[k], kAffirmations[k / kAffirmationsPerPhase][k % kAffirmationsPerPhase].text);
    }
}

class Packing : public DataFileFolder {};

TEST_F(Packing, SpokenTextsPassTheCheck) {
    const qwpack::SpeechSynthesizer synthesizer;
    std::vector<qwpack::PcmAudio> speech;
    for (const std::string& text : qwpack::readAffirmationTexts(QW_TEXTS_FILE))
        speech.push_back(synthesizer.speak(text));
    write(qwpack::packDataFile(qwpack::layOutAffirmations(speech)));
    const auto checked = qwpack::verifyDataFile(dataFile());
    ASSERT_TRUE(checked.ok()) << checked.errorMessage();
    EXPECT_EQ(checked.value().clips.size(), 12u);
}

TEST_F(Packing, CheckRefusesAudioShorterThanTheClipTable) {
    qwpack::PcmAudio track = qwpack::layOutAffirmations(speechOfLength(8000, 2.0));
    track.samples.resize(2 * 8000 * 56);
    write(qwpack::packDataFile(track));
    const auto checked = qwpack::verifyDataFile(dataFile());
    ASSERT_FALSE(checked.ok());
    EXPECT_EQ(checked.errorMessage(), "Affirmation 11 is cut short: the audio ends before 58 s");
}

TEST_F(Packing, CheckRefusesASilentClip) {
    std::vector<qwpack::PcmAudio> speech = speechOfLength(8000, 2.0);
    speech[5] = silence(8000, 1, 2.0);
    speech[5].samples[100] = -900;
    write(qwpack::packDataFile(qwpack::layOutAffirmations(speech)));
    const auto checked = qwpack::verifyDataFile(dataFile());
    ASSERT_FALSE(checked.ok());
    EXPECT_EQ(checked.errorMessage(), "Affirmation 5 is silent");
}

TEST(SpeechSynthesizer, MissingProgramIsAClearError) {
    const qwpack::SpeechSynthesizer synthesizer({"qw-no-such-speech-program", "en-us", 140});
    EXPECT_THROW(synthesizer.speak("Hello."), std::runtime_error);
}

}  // namespace
}  // namespace quellwave
