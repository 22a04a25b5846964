#include <gtest/gtest.h>

#include "app/engine/Affirmations.hpp"

namespace quellwave {
namespace {

AffirmationCue cue(std::int32_t stage, std::int32_t stageCount, double progress, std::uint16_t startVolume = 100,
                   std::uint16_t endVolume = 100, double master = 100.0) {
    return AffirmationCue{stage, stageCount, progress, startVolume, endVolume, master};
}

TEST(AffirmationSchedule, VolumeFollowsTheStageRampAndMasterVolume) {
    AffirmationSchedule schedule(12);
    const auto start = schedule.next(cue(0, 5, 0.5, 20, 80, 60.0), false);
    ASSERT_TRUE(start);
    EXPECT_EQ(start->volume, 30.0f);  // 60 x (20 + 60 x 0.5) / 100
}

TEST(AffirmationSchedule, VolumeIsTruncatedAndClamped) {
    AffirmationSchedule schedule(12);
    EXPECT_EQ(schedule.next(cue(0, 5, 0.1, 75, 30, 33.0), false)->volume, 23.0f);  // 23.265
    EXPECT_EQ(schedule.next(cue(0, 5, 0.3, 300, 300, 60.0), false)->volume, 100.0f);
}

TEST(AffirmationSchedule, PitchFollowsProgressAndPhase) {
    AffirmationSchedule schedule(12);
    EXPECT_FLOAT_EQ(schedule.next(cue(0, 5, 0.1), false)->pitch, (0.95f + 0.01f) * 0.85f);
    EXPECT_FLOAT_EQ(schedule.next(cue(1, 5, 0.2), false)->pitch, (0.95f + 0.02f) * 0.75f);
    EXPECT_FLOAT_EQ(schedule.next(cue(4, 5, 1.0), false)->pitch, (0.95f + 0.1f) * 0.92f);
}

TEST(AffirmationSchedule, StagesBetweenTheSecondAndTheLastAreSilent) {
    AffirmationSchedule schedule(12);
    EXPECT_FALSE(schedule.next(cue(2, 5, 1.0), false));
    EXPECT_FALSE(schedule.next(cue(3, 5, 1.0), false));
    const auto last = schedule.next(cue(4, 5, 0.3), false);
    ASSERT_TRUE(last);
    EXPECT_EQ(last->clip, 8u);
}

TEST(AffirmationSchedule, ClipStartsOnlyOnceItsPositionIsReached) {
    AffirmationSchedule schedule(12);
    EXPECT_FALSE(schedule.next(cue(0, 9, 0.09), false));
    EXPECT_EQ(schedule.next(cue(0, 9, 0.1), false)->clip, 0u);
    EXPECT_FALSE(schedule.next(cue(0, 9, 0.29), false));
    EXPECT_EQ(schedule.next(cue(0, 9, 0.3), false)->clip, 1u);
}

TEST(AffirmationSchedule, NothingStartsWhileTheSoundPlays) {
    AffirmationSchedule schedule(12);
    ASSERT_EQ(schedule.next(cue(0, 5, 0.1), false)->clip, 0u);
    // Two triggers a quarter second apart while clip 0 still sounds.
    EXPECT_FALSE(schedule.next(cue(0, 5, 0.35), true));
    EXPECT_FALSE(schedule.next(cue(0, 5, 0.36), true));
    EXPECT_EQ(schedule.next(cue(0, 5, 0.37), false)->clip, 1u);
}

TEST(AffirmationSchedule, LateClipWaitsForThePreviousOneAndClipsNeverGoBackwards) {
    AffirmationSchedule schedule(12);
    EXPECT_EQ(schedule.next(cue(4, 5, 0.9), false)->clip, 8u);
    // 9 and 10 became due meanwhile; each still starts, in order.
    EXPECT_EQ(schedule.next(cue(4, 5, 0.9), false)->clip, 9u);
    EXPECT_EQ(schedule.next(cue(4, 5, 0.94), false)->clip, 10u);
    EXPECT_FALSE(schedule.next(cue(4, 5, 0.949), false));
    EXPECT_FALSE(schedule.next(cue(4, 5, 0.96), true));
    EXPECT_EQ(schedule.next(cue(4, 5, 0.96), false)->clip, 11u);
    EXPECT_FALSE(schedule.next(cue(4, 5, 1.0), false));
    // Phase 0's clips lie below the last one started: never played after it.
    EXPECT_FALSE(schedule.next(cue(0, 5, 1.0), false));
}

TEST(AffirmationSchedule, ResetMakesEveryClipDueAgain) {
    AffirmationSchedule schedule(12);
    ASSERT_EQ(schedule.next(cue(4, 5, 1.0), false)->clip, 8u);
    schedule.reset();
    EXPECT_EQ(schedule.next(cue(0, 5, 0.1), false)->clip, 0u);
}

TEST(AffirmationSchedule, MissingClipsAndEmptyTablesStartNothing) {
    AffirmationSchedule noClips(0);
    EXPECT_FALSE(noClips.next(cue(0, 5, 1.0), false));
    AffirmationSchedule fiveClips(5);
    EXPECT_EQ(fiveClips.next(cue(1, 5, 1.0), false)->clip, 4u);
    EXPECT_FALSE(fiveClips.next(cue(1, 5, 1.0), false));
    EXPECT_FALSE(fiveClips.next(cue(4, 5, 1.0), false));
    AffirmationSchedule schedule(12);
    EXPECT_FALSE(schedule.next(cue(0, 0, 1.0), false));
}

}  // namespace
}  // namespace quellwave
