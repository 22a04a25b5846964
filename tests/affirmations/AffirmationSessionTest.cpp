#include <gtest/gtest.h>

#include <array>
#include <memory>
#include <vector>

#include "app/engine/AffirmationPlayer.hpp"
#include "app/engine/ExperienceEngine.hpp"
#include "app/engine/ExperiencePrograms.hpp"

namespace quellwave {
namespace {

// A voice whose clips take no time: every due clip can start at once.
class RecordingVoice final : public ClipVoice {
public:
    explicit RecordingVoice(std::vector<ClipStart>& started) : started_(started) {}
    std::size_t clipCount() const override { return kAffirmationCount; }
    void play(const ClipStart& start) override { started_.push_back(start); }
    bool isPlaying() const override { return false; }

private:
    std::vector<ClipStart>& started_;
};

// The real player, noting the cue of every clip it starts.
class CueRecorder final : public ClipPlayer {
public:
    CueRecorder(std::vector<ClipStart>& started, std::vector<AffirmationCue>& cues)
        : player_(std::make_unique<RecordingVoice>(started)), cues_(cues) {}
    void resetSession() override { player_.resetSession(); }
    bool trigger(const AffirmationCue& cue) override {
        const bool started = player_.trigger(cue);
        if (started) cues_.push_back(cue);
        return started;
    }
    bool isPlaying() override { return player_.isPlaying(); }

private:
    AffirmationPlayer player_;
    std::vector<AffirmationCue>& cues_;
};

struct ExpectedClip {
    std::int32_t stage;
    double secondsIntoSession;  // the first quarter second at or after the clip's position
    float volume;
    double pitch;
};

TEST(AffirmationSession, LucidDreamOfThirtyMinutesSpeaksEveryClipOnceInOrder) {
    constexpr std::uint32_t kRate = 400;  // quarter-second triggers every 100 frames
    std::vector<ClipStart> started;
    std::vector<AffirmationCue> cues;
    ExperienceEngine engine(kRate, std::make_unique<CueRecorder>(started, cues), 1);
    engine.startSynthesis();
    configureExperience(engine, 4.1, 30);
    engine.setVolume(60.0);

    // Stage lengths 174, 506, 446, 514, 157 s; affirmation volumes 75->30, 30->10, ..., 10->95.
    const std::array<double, 5> stageStarts{0.0, 174.0, 680.0, 1126.0, 1640.0};
    const std::array<double, 5> stageLengths{174.0, 506.0, 446.0, 514.0, 157.0};
    const std::array<ExpectedClip, 12> expected{{
        {0, 17.5, 42, 0.816049},
        {0, 52.25, 36, 0.833024},
        {0, 87.0, 31, 0.85},
        {0, 122.0, 26, 0.867098},
        {1, 275.25, 15, 0.727507},
        {1, 376.5, 13, 0.742515},
        {1, 477.75, 10, 0.757522},
        {1, 579.0, 8, 0.772530},
        {4, 1687.25, 21, 0.901688},
        {4, 1718.5, 31, 0.92},
        {4, 1750.0, 41, 0.938459},
        {4, 1789.25, 54, 0.961459},
    }};

    std::vector<std::int16_t> block(ExperienceEngine::kBlockSamples);
    while (engine.getStageProgress().frameCounter < 1800ull * kRate) {
        engine.generateBlock(std::span<std::int16_t, ExperienceEngine::kBlockSamples>(block));
    }

    ASSERT_EQ(started.size(), expected.size());
    ASSERT_EQ(cues.size(), expected.size());
    for (std::size_t k = 0; k < expected.size(); ++k) {
        SCOPED_TRACE("clip " + std::to_string(k));
        EXPECT_EQ(started[k].clip, k);
        EXPECT_EQ(cues[k].stageIndex, expected[k].stage);
        EXPECT_EQ(cues[k].stageCount, 5);
        const auto stage = static_cast<std::size_t>(expected[k].stage);
        EXPECT_NEAR(stageStarts[stage] + cues[k].progress * stageLengths[stage], expected[k].secondsIntoSession, 1e-6);
        EXPECT_EQ(started[k].volume, expected[k].volume);
        EXPECT_NEAR(started[k].pitch, expected[k].pitch, 1e-5);
    }
}

}  // namespace
}  // namespace quellwave
