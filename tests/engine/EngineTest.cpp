#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <memory>
#include <mutex>
#include <stdexcept>
#include <vector>

#include "app/engine/AudioMutex.hpp"
#include "app/engine/ExperienceEngine.hpp"
#include "app/engine/ExperiencePrograms.hpp"
#include "tests/engine/EngineFixtures.hpp"
#include "tests/engine/SignalAnalysis.hpp"

namespace quellwave {
namespace {

using testing::Block;
using testing::FakeClipPlayer;
using testing::nextBlock;
using testing::peakOf;

std::unique_ptr<ExperienceEngine> sessionOf(std::uint32_t rate, double code, int minutes, std::uint32_t seed = 42,
                                            double volume = 60.0) {
    auto engine = std::make_unique<ExperienceEngine>(rate, nullptr, seed);
    engine->startSynthesis();
    configureExperience(*engine, code, minutes);
    engine->setVolume(volume);
    return engine;
}

TEST(ExperienceEngine, StaysSilentUntilStartedAndConfigured) {
    ExperienceEngine engine(8000, nullptr, 1);
    EXPECT_EQ(peakOf(nextBlock(engine)), 0);
    configureExperience(engine, 12.0, 30);
    engine.setVolume(60);
    EXPECT_EQ(peakOf(nextBlock(engine)), 0);
    engine.startSynthesis();
    EXPECT_GT(peakOf(nextBlock(engine)), 0);
}

TEST(ExperienceEngine, StageQueriesAnswerZeroOutsideTheTable) {
    ExperienceEngine empty(8000, nullptr, 1);
    EXPECT_EQ(empty.getStageCount(), 0);
    EXPECT_EQ(empty.getStageBeat(0), 0.0);

    const auto engine = sessionOf(8000, 20.0, 30);
    EXPECT_EQ(engine->getStageCount(), 4);
    EXPECT_EQ(engine->getStageBeat(-1), 0.0);
    EXPECT_EQ(engine->getStageBeat(4), 0.0);
    EXPECT_EQ(engine->getStageBeat(2), 20.0);
    EXPECT_EQ(engine->getStageDuration(0), 367.0);
    EXPECT_EQ(engine->getStageDuration(-1), 0.0);
    EXPECT_EQ(engine->getStageDuration(4), 0.0);
}

TEST(ExperienceEngine, SettersClampTheirValues) {
    auto render = [](auto adjust) {
        const auto engine = sessionOf(4000, 12.0, 30, 9);
        adjust(*engine);
        std::vector<Block> blocks;
        for (int i = 0; i < 2; ++i) blocks.push_back(nextBlock(*engine));
        return blocks;
    };
    const auto harmonicOne = render([](ExperienceEngine& e) { e.setHarmonicLevel(1.0); });
    EXPECT_EQ(render([](ExperienceEngine& e) { e.setHarmonicLevel(1.7); }), harmonicOne);
    EXPECT_NE(render([](ExperienceEngine& e) { e.setHarmonicLevel(0.9); }), harmonicOne);
    const auto harmonicZero = render([](ExperienceEngine& e) { e.setHarmonicLevel(0.0); });
    EXPECT_EQ(render([](ExperienceEngine& e) { e.setHarmonicLevel(-0.2); }), harmonicZero);

    const auto fullVolume = render([](ExperienceEngine& e) { e.setVolume(100.0); });
    EXPECT_EQ(render([](ExperienceEngine& e) { e.setVolume(150.0); }), fullVolume);
    const auto silent = render([](ExperienceEngine& e) { e.setVolume(-5.0); });
    for (const auto& block : silent) EXPECT_EQ(peakOf(block), 0);
}

TEST(ExperienceEngine, ChangesStageAtTheExactFrame) {
    // One minute of code 12.0 gives four stages of 15 s each.
    const auto engine = sessionOf(1000, 12.0, 1);
    for (std::int32_t i = 0; i < 4; ++i) EXPECT_EQ(engine->getStageDuration(i), 15.0);
    for (int i = 0; i < 3; ++i) nextBlock(*engine);  // up to frame 12287
    EXPECT_EQ(engine->getStageProgress().stageIndex, 0);
    nextBlock(*engine);  // frames 12288 .. 16383
    const StageProgress progress = engine->getStageProgress();
    EXPECT_EQ(progress.stageIndex, 1);
    EXPECT_EQ(progress.stageBeginFrame, 15000u);
    EXPECT_EQ(progress.frameCounter, 16384u);
}

TEST(ExperienceEngine, PublishesTheFrequenciesOfTheLastFrame) {
    const auto engine = sessionOf(8000, 12.0, 30);
    nextBlock(*engine);
    const double beat = engine->getBeatFrequency();
    // The session opens at 17.5 Hz and falls toward 14 Hz over the first 86 s.
    EXPECT_LT(beat, 17.5);
    EXPECT_GT(beat, 17.0);
    EXPECT_DOUBLE_EQ(engine->getCarrierFrequency(), 150.0);
    EXPECT_DOUBLE_EQ(engine->getLeftFrequency(), 150.0);
    EXPECT_DOUBLE_EQ(engine->getRightFrequency(), 150.0 + beat);
    const double overlay = engine->getOverlayFrequency() - 150.0;
    EXPECT_GT(overlay, 0.0);
    EXPECT_LE(overlay, 10.0);
}

TEST(ExperienceEngine, PlaysTheBeatBetweenTheChannels) {
    ExperienceEngine engine(4000, nullptr, 3);
    engine.startSynthesis();
    engine.loadProgram(testing::steadyProgram(200.0, 10.0), 5);
    engine.setVolume(50);
    std::vector<double> left, right;
    testing::collect(engine, 4, left, right);  // 4.1 s; the opening glide ends at 1 s
    const std::span<const double> settledLeft = std::span<const double>(left).subspan(6000);
    const std::span<const double> settledRight = std::span<const double>(right).subspan(6000);
    EXPECT_NEAR(testing::strongestFrequency(settledLeft, 4000, 190, 220, 0.05), 200.0, 0.1);
    EXPECT_NEAR(testing::strongestFrequency(settledRight, 4000, 190, 220, 0.05), 210.0, 0.1);
}

TEST(ExperienceEngine, ShapedTonesRunAtTwoPlusThePhaseFactorTimesTheirFrequencies) {
    ExperienceEngine engine(4000, nullptr, 3);
    engine.startSynthesis();
    engine.loadProgram(testing::steadyProgram(200.0, 10.0, true), 5);
    engine.setVolume(50);
    std::vector<double> left, right;
    testing::collect(engine, 16, left, right);  // 16.4 s; k reaches 0.3 in stage 1 by 10 s
    const auto from = static_cast<std::size_t>(11 * 4000);
    const auto settledLeft = std::span<const double>(left).subspan(from);
    const auto settledRight = std::span<const double>(right).subspan(from);
    EXPECT_NEAR(testing::strongestFrequency(settledLeft, 4000, 440, 500, 0.05), 2.3 * 200.0, 0.15);
    EXPECT_NEAR(testing::strongestFrequency(settledRight, 4000, 440, 500, 0.05), 2.3 * 210.0, 0.15);
}

TEST(ExperienceEngine, ProgramBeatIsHeardInTheProductOfTheChannels) {
    // Code 12.0 for one minute: stage 0 lasts 15 s and reaches its 14 Hz beat at 3.75 s. Jitter
    // and vibrato move both tones together, so the product of the channels beats at 14 Hz.
    const auto engine = sessionOf(1000, 12.0, 1, 5);
    std::vector<double> left, right;
    testing::collect(*engine, 3, left, right);
    std::vector<double> product;
    for (std::size_t i = 5000; i < 12000; ++i) product.push_back(left[i] * right[i]);
    EXPECT_NEAR(testing::strongestFrequency(product, 1000, 5, 25, 0.05), 14.0, 0.15);
}

TEST(ExperienceEngine, NormalisesOnlyBlocksThatWouldClip) {
    // Tones at 1.5 of full scale: at volume 100 every block peaks above 1 and is scaled back to
    // exactly full scale; at volume 50 the peak of about 0.75 is converted as it is.
    ExperienceProgram loudTones = testing::steadyProgram(200.0, 10.0);
    loudTones.toneLevel = 1.5;
    for (const double volume : {100.0, 50.0}) {
        ExperienceEngine engine(8000, nullptr, 4);
        engine.startSynthesis();
        engine.loadProgram(loudTones, 5);
        engine.setVolume(volume);
        for (int i = 0; i < 4; ++i) {
            const int peak = peakOf(nextBlock(engine));
            if (volume == 100.0) {
                EXPECT_EQ(peak, 32767);
            } else {
                EXPECT_GT(peak, 0.7 * 32767);
                EXPECT_LT(peak, 0.85 * 32767);
            }
        }
    }
}

TEST(ExperienceEngine, SameSeedSameSoundOtherSeedOtherSound) {
    const auto a = sessionOf(8000, 9.0, 30, 77);
    const auto b = sessionOf(8000, 9.0, 30, 77);
    const auto c = sessionOf(8000, 9.0, 30, 78);
    for (int i = 0; i < 3; ++i) {
        const Block blockA = nextBlock(*a);
        EXPECT_EQ(blockA, nextBlock(*b));
        EXPECT_NE(blockA, nextBlock(*c));
    }
}

TEST(ExperienceEngine, AfterAStopRequestTheNextBlockIsWholeAndTheLast) {
    const auto engine = sessionOf(8000, 12.0, 30);
    bool running = false;
    nextBlock(*engine, &running);
    EXPECT_TRUE(running);
    engine->requestStop();
    const Block last = nextBlock(*engine, &running);
    EXPECT_FALSE(running);
    EXPECT_GT(peakOf(Block(last.end() - 100, last.end())), 0);
    EXPECT_EQ(engine->getStageProgress().frameCounter, 2u * ExperienceEngine::kBlockFrames);
}

TEST(ExperienceEngine, SeekMovesTheFrameCounterButNotTheStage) {
    const auto engine = sessionOf(1000, 12.0, 1);
    for (int i = 0; i < 4; ++i) nextBlock(*engine);
    engine->seek(0.0f);
    StageProgress progress = engine->getStageProgress();
    EXPECT_EQ(progress.frameCounter, 0u);
    EXPECT_EQ(progress.stageIndex, 1);
    engine->seek(2.5f);
    EXPECT_EQ(engine->getStageProgress().frameCounter, 2500u);
    nextBlock(*engine);  // plays on in stage 1 without stepping through the stages
    EXPECT_EQ(engine->getStageProgress().stageIndex, 1);
}

TEST(ExperienceEngine, NoiseBurstFiresAtItsShareOfTheSession) {
    // Preset 4 bursts at 85 % of the session, drawing two extra pink samples that change every
    // later frame; the same session with the burst-free preset 16 plays identically until then.
    const auto withBurst = sessionOf(1000, 12.0, 1, 21, 10.0);
    const auto without = sessionOf(1000, 12.0, 1, 21, 10.0);
    {
        std::lock_guard lock(globalAudioMutex());
        without->applyAmbiencePreset(16);
    }
    std::vector<double> leftA, rightA, leftB, rightB;
    testing::collect(*withBurst, 13, leftA, rightA);
    testing::collect(*without, 13, leftB, rightB);
    std::size_t firstDifference = leftA.size();
    for (std::size_t i = 0; i < leftA.size(); ++i)
        if (leftA[i] != leftB[i] || rightA[i] != rightB[i]) {
            firstDifference = i;
            break;
        }
    EXPECT_GE(firstDifference, 51000u);  // 0.85 x 60000 frames
    EXPECT_LE(firstDifference, 51010u);
}

TEST(ExperienceEngine, RefusesProgramsItCannotPlay) {
    ExperienceEngine engine(8000, nullptr, 1);
    const ExperienceProgram good = testing::steadyProgram(200.0, 10.0);
    EXPECT_THROW(engine.loadProgram(good, 0), std::invalid_argument);

    ExperienceProgram twoStages = good;
    twoStages.stages.pop_back();
    twoStages.carriers.pop_back();
    twoStages.overlayProfiles.pop_back();
    EXPECT_THROW(engine.loadProgram(twoStages, 5), std::invalid_argument);

    ExperienceProgram noCarrier = good;
    noCarrier.carriers.pop_back();
    EXPECT_THROW(engine.loadProgram(noCarrier, 5), std::invalid_argument);

    ExperienceProgram emptyProfile = good;
    emptyProfile.overlayProfiles[1].clear();
    EXPECT_THROW(engine.loadProgram(emptyProfile, 5), std::invalid_argument);

    ExperienceProgram instant = good;
    instant.stages[2].duration = 0.5;
    EXPECT_THROW(engine.loadProgram(instant, 5), std::invalid_argument);

    ExperienceProgram endless = good;
    endless.stages[2].duration = 1e12;
    EXPECT_THROW(engine.loadProgram(endless, 5), std::invalid_argument);

    ExperienceProgram oddMode = good;
    oddMode.synthesisMode = 5;
    EXPECT_THROW(engine.loadProgram(oddMode, 5), std::invalid_argument);

    EXPECT_THROW(configureExperience(engine, 3.0, 30), std::invalid_argument);
    EXPECT_THROW(configureExperience(engine, 12.0, 0), std::invalid_argument);
    EXPECT_THROW(configureExperience(engine, 12.0, 40000000), std::invalid_argument);  // seconds overflow
    EXPECT_THROW(ExperienceEngine(0, nullptr, 1), std::invalid_argument);
    {
        std::lock_guard lock(globalAudioMutex());
        EXPECT_THROW(engine.applyAmbiencePreset(7), std::invalid_argument);
    }
    engine.startSynthesis();
    EXPECT_EQ(engine.getStageCount(), 0);
    EXPECT_EQ(peakOf(nextBlock(engine)), 0);
}

TEST(ExperienceEngine, CuesAffirmationsEveryQuarterSecondInModeSixteen) {
    auto log = std::make_shared<FakeClipPlayer::Log>();
    ExperienceEngine engine(1000, std::make_unique<FakeClipPlayer>(log), 1);
    engine.startSynthesis();
    configureExperience(engine, 4.1, 30);
    EXPECT_EQ(log->resets, 1);
    engine.setVolume(60);
    nextBlock(engine);
    EXPECT_EQ(log->playingQueries, 1);
    ASSERT_EQ(log->cues.size(), 17u);          // frames 0, 250, ..., 4000
    const AffirmationCue& cue = log->cues[8];  // frame 2000
    EXPECT_EQ(cue.stageIndex, 0);
    EXPECT_EQ(cue.stageCount, 5);
    EXPECT_EQ(cue.volumeAtStart, 75);
    EXPECT_EQ(cue.volumeAtEnd, 30);
    EXPECT_DOUBLE_EQ(cue.masterVolume, 60.0);
    EXPECT_DOUBLE_EQ(cue.progress, 2.0 / 174.0);

    nextBlock(engine);
    EXPECT_EQ(log->playingQueries, 2);
    EXPECT_EQ(log->cues.size(), 33u);
}

TEST(ExperienceEngine, CompanionToneSoundsOnlyWhileAClipPlays) {
    // Two identical sessions; in one the player starts a clip at the first trigger and keeps
    // playing, which adds the 6 Hz companion tone to both channels.
    auto quietLog = std::make_shared<FakeClipPlayer::Log>();
    auto speakingLog = std::make_shared<FakeClipPlayer::Log>();
    speakingLog->startOnTrigger = true;
    speakingLog->playing = true;
    ExperienceEngine quiet(1000, std::make_unique<FakeClipPlayer>(quietLog), 8);
    ExperienceEngine speaking(1000, std::make_unique<FakeClipPlayer>(speakingLog), 8);
    for (ExperienceEngine* engine : {&quiet, &speaking}) {
        engine->startSynthesis();
        configureExperience(*engine, 4.0, 30);
        engine->setVolume(10);
    }
    std::vector<double> quietLeft, quietRight, speakingLeft, speakingRight;
    testing::collect(quiet, 2, quietLeft, quietRight);
    testing::collect(speaking, 2, speakingLeft, speakingRight);
    std::vector<double> difference;
    for (std::size_t i = 0; i < quietLeft.size(); ++i) {
        difference.push_back(speakingLeft[i] - quietLeft[i]);
        // Both channels carry it; only the slow auto-pan tells them apart.
        EXPECT_NEAR(speakingRight[i] - quietRight[i], difference.back(), 0.2 * std::fabs(difference.back()) + 2.0);
    }
    EXPECT_NEAR(testing::strongestFrequency(difference, 1000, 2, 12, 0.05), 6.0, 0.2);
    // 0.15 sin(2 pi 6 t) at a tenth of full scale (about 491 counts), under the tremolo of depth
    // 0.5 and the auto-pan.
    const double peak = *std::max_element(difference.begin(), difference.end());
    EXPECT_GT(peak, 0.15 * 0.1 * 32767);
    EXPECT_LT(peak, 1.7 * 0.15 * 0.1 * 32767);
    EXPECT_EQ(difference.front(), 0.0);  // the first trigger comes after the first frame's mix
}

}  // namespace
}  // namespace quellwave
