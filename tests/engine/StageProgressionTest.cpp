#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <numbers>
#include <utility>
#include <vector>

#include "app/engine/StageProgression.hpp"
#include "app/engine/WideLanes.hpp"

namespace quellwave {
namespace {

constexpr std::uint32_t kRate = 100;

// Stages of the given beats, each lasting the given whole seconds, carriers 100, 110, 120, ...
StageProgression progressionOf(const std::vector<double>& beats, const std::vector<double>& seconds,
                               BeatCurve curve = BeatCurve::Cosine, bool longRamps = false, std::uint64_t begin = 0) {
    std::vector<ExperienceStage> stages;
    std::vector<double> carriers;
    for (std::size_t i = 0; i < beats.size(); ++i) {
        stages.push_back({beats[i], 0, 0, 0.0, seconds[i]});
        carriers.push_back(100.0 + 10.0 * static_cast<double>(i));
    }
    return StageProgression(stages, carriers, curve, longRamps, begin, kRate);
}

// Runs frames from..to (exclusive) as the synthesis does and returns the last point.
StagePoint runFrames(StageProgression& progression, std::uint64_t from, std::uint64_t to) {
    StagePoint point;
    for (std::uint64_t n = from; n < to; ++n) {
        progression.advance(n);
        point = progression.evaluate(n);
    }
    return point;
}

TEST(StageProgression, ChangesStageAtTheExactFrameAndStaysOnTheLast) {
    auto progression = progressionOf({10, 12, 14}, {2, 3, 4}, BeatCurve::Cosine, false, 1000);
    runFrames(progression, 1000, 1200);
    EXPECT_EQ(progression.index(), 0);
    EXPECT_TRUE(progression.advance(1200));
    EXPECT_EQ(progression.index(), 1);
    EXPECT_EQ(progression.beginFrame(), 1200u);
    EXPECT_EQ(progression.durationSeconds(), 3);
    runFrames(progression, 1200, 1500);
    EXPECT_EQ(progression.index(), 1);
    EXPECT_TRUE(progression.advance(1500));
    EXPECT_EQ(progression.index(), 2);
    runFrames(progression, 1500, 5000);
    EXPECT_EQ(progression.index(), 2);
    EXPECT_EQ(progression.beginFrame(), 1500u);
}

TEST(StageProgression, OpensAboveTheFirstBeatByItsRange) {
    struct Case {
        double beat;
        double opening;
    };
    for (const Case c : {Case{6.0, 9.70818}, Case{12.0, 15.0}, Case{14.0, 17.5}, Case{8.0, 10.0}, Case{30.0, 37.5},
                         Case{40.0, 44.0}}) {
        auto progression = progressionOf({c.beat, 5, 5}, {10, 10, 10});
        EXPECT_NEAR(progression.evaluate(0).beat, c.opening, 1e-12) << c.beat;
        // The glide reaches the stage's beat a quarter into the stage.
        EXPECT_NEAR(runFrames(progression, 1, 251).beat, c.beat, 1e-12);
    }
}

TEST(StageProgression, CosineGlideIsHalfWayAtHalfTheRamp) {
    auto progression = progressionOf({6, 10, 10}, {8, 10, 10});
    // Stage 0 ramps over 0.25 x 8 s = 200 frames: halfway at frame 100.
    const StagePoint half = runFrames(progression, 0, 101);
    EXPECT_NEAR(half.ramp, 0.5, 1e-12);
    EXPECT_NEAR(half.beat, (9.70818 + 6.0) / 2.0, 1e-9);
    EXPECT_NEAR(half.progress, 1.0 / 8.0, 1e-12);
}

TEST(StageProgression, RampSharesDependOnThePlaceOfTheStage) {
    // Elapsed time at which the ramp completes, per stage, as a fraction of a 10 s stage.
    auto rampDoneAt = [](StageProgression progression, std::int32_t stage, double share) {
        const std::uint64_t begin = static_cast<std::uint64_t>(stage) * 10 * kRate;
        runFrames(progression, 0, begin + 1);
        EXPECT_EQ(progression.index(), stage);
        const auto before = static_cast<std::uint64_t>(share * 10 * kRate) - 1;
        EXPECT_LT(runFrames(progression, begin + 1, begin + before + 1).ramp, 1.0);
        EXPECT_DOUBLE_EQ(runFrames(progression, begin + before + 1, begin + before + 2).ramp, 1.0);
    };
    const std::vector<double> tens(9, 10.0);
    // Three stages: stage 1 uses 0.625, stage 2 is the last and uses 0.5.
    rampDoneAt(progressionOf({5, 6, 7}, {10, 10, 10}), 1, 0.625);
    rampDoneAt(progressionOf({5, 6, 7}, {10, 10, 10}), 2, 0.5);
    // Four stages: stage 2 uses 0.7.
    rampDoneAt(progressionOf({5, 6, 7, 8}, {10, 10, 10, 10}), 2, 0.7);
    // Nine stages with long ramps: stages 2 to 7 use 0.75, the last 0.5.
    const std::vector<double> nine{5, 6, 7, 8, 9, 10, 11, 12, 13};
    for (std::int32_t stage = 2; stage <= 7; ++stage)
        rampDoneAt(progressionOf(nine, tens, BeatCurve::Cosine, true), stage, 0.75);
    rampDoneAt(progressionOf(nine, tens, BeatCurve::Cosine, true), 8, 0.5);
}

TEST(StageProgression, CubicCurvePassesThroughNeighbouringBeats) {
    auto progression = progressionOf({6, 4, 5, 8}, {10, 10, 10, 10}, BeatCurve::Cubic);
    runFrames(progression, 0, 1001);  // stage 1 begins at frame 1000
    ASSERT_EQ(progression.index(), 1);
    // Stage 1 glides from 6 to 4 with p0 = 6 (stage 0) and p3 = 5 (stage 2).
    const double p0 = 6, p1 = 6, p2 = 4, p3 = 5, c = p3 - p2 - p0 + p1;
    const double r = 0.4;
    const StagePoint point = runFrames(progression, 1001, 1000 + static_cast<std::uint64_t>(r * 625) + 1);
    EXPECT_NEAR(point.ramp, r, 1e-12);
    EXPECT_NEAR(point.beat, c * r * r * r + (p0 - p1 - c) * r * r + (p2 - p0) * r + p1, 1e-9);
    EXPECT_NEAR(runFrames(progression, 1251, 1700).beat, 4.0, 1e-12);
}

TEST(StageProgression, CarrierGlidesWithTheRamp) {
    auto progression = progressionOf({6, 4, 5}, {10, 10, 10});
    const StagePoint start = runFrames(progression, 0, 1001);
    EXPECT_DOUBLE_EQ(start.carrier, 100.0);
    const StagePoint middle = runFrames(progression, 1001, 1000 + 312 + 1);
    EXPECT_NEAR(middle.carrier, 100.0 + 10.0 * middle.ramp, 1e-12);
    EXPECT_GT(middle.carrier, 104.0);
    EXPECT_DOUBLE_EQ(runFrames(progression, 1313, 1900).carrier, 110.0);
}

TEST(StageProgression, PhaseFactorFallsInStageZeroAndLeansTowardTheNextBeatAfter) {
    auto progression = progressionOf({6, 4, 5, 3}, {10, 10, 10, 10});
    EXPECT_DOUBLE_EQ(progression.evaluate(0).phaseFactor, 1.0);
    EXPECT_NEAR(runFrames(progression, 1, 501).phaseFactor, 0.5, 1e-12);
    // Stage 1 (4 Hz, next 5 Hz, rising): from about 0 toward 1, capped at 0.3.
    runFrames(progression, 501, 1000);
    const StagePoint early = runFrames(progression, 1000, 1051);
    EXPECT_GT(early.phaseFactor, 0.0);
    EXPECT_LT(early.phaseFactor, 0.3);
    EXPECT_DOUBLE_EQ(runFrames(progression, 1051, 1500).phaseFactor, 0.3);
    // Stage 2 (5 Hz, next 3 Hz, falling): from 0.3 down to 0.
    EXPECT_DOUBLE_EQ(runFrames(progression, 1500, 2001).phaseFactor, 0.3);
    EXPECT_DOUBLE_EQ(runFrames(progression, 2001, 2600).phaseFactor, 0.0);
}

TEST(StageProgression, SeekBeforeTheStageStartCountsAsItsFirstFrame) {
    auto progression = progressionOf({10, 12, 14}, {2, 3, 4}, BeatCurve::Cosine, false, 1000);
    const StagePoint point = progression.evaluate(0);
    EXPECT_EQ(point.elapsed, 0.0);
    EXPECT_FALSE(progression.advance(0));
    EXPECT_EQ(progression.index(), 0);
}

// Runs as the synthesis makes them (some cut short, as a noise draw or an ambience event cuts them)
// and filled in one call give every frame the point that frame-by-frame evaluation gives, on both
// lane widths, and no run crosses a stage change, the end of a glide or the session's first frame
// (the walk starts before it).
TEST(StageProgression, RunsGiveTheFrameByFramePointsAndEndAtEveryChange) {
    for (const auto& [curve, narrow] : {std::pair{BeatCurve::Cosine, false}, std::pair{BeatCurve::Cubic, false},
                                        std::pair{BeatCurve::Cosine, true}, std::pair{BeatCurve::Cubic, true}}) {
        SCOPED_TRACE(narrow ? "two lanes" : "the machine's lanes");
        const std::vector<double> beats{6, 10, 8, 12};
        const std::vector<double> seconds{3, 4, 2, 5};
        auto stepwise = progressionOf(beats, seconds, curve, false, 200);
        auto byRuns = progressionOf(beats, seconds, curve, false, 200);
        std::uint64_t n = 0;
        while (n < 200 + 14 * kRate + 50) {
            byRuns.advance(n);
            const StageRun run = byRuns.beginRun(n);
            const std::int32_t index = byRuns.index();
            const std::uint64_t end = std::min(byRuns.runEnd(n), n + 37);
            ASSERT_GT(end, n);
            ASSERT_FALSE(n < 200 && end > 200) << n;
            StageFrames frames;
            const auto count = static_cast<std::size_t>(end - n);
            keepLanesNarrow(narrow);
            run.fill(n, count, frames);
            keepLanesNarrow(false);
            bool gliding = false;
            for (const std::uint64_t first = n; n < end; ++n) {
                stepwise.advance(n);
                const StagePoint expected = stepwise.evaluate(n);
                ASSERT_EQ(stepwise.index(), index) << n;
                if (n == first) gliding = expected.ramp < 1.0;
                ASSERT_EQ(expected.ramp < 1.0, gliding) << n;
                const StagePoint point = frames.at(n - first);
                ASSERT_EQ(point.elapsed, expected.elapsed) << n;
                ASSERT_EQ(point.progress, expected.progress) << n;
                ASSERT_EQ(point.ramp, expected.ramp) << n;
                ASSERT_EQ(point.phaseFactor, expected.phaseFactor) << n;
                ASSERT_EQ(point.beat, expected.beat) << n;
                ASSERT_EQ(point.carrier, expected.carrier) << n;
            }
            byRuns.endRun(frames.at(count - 1));
        }
        EXPECT_EQ(byRuns.index(), 3);
    }
}

}  // namespace
}  // namespace quellwave
