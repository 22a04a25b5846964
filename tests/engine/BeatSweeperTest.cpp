#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "app/engine/BeatSweeper.hpp"

namespace quellwave {
namespace {

constexpr std::uint32_t kRate = 10;

// An armed sweeper: one settled frame in the named stage arms it, the next starts the sweep.
BeatSweeper armed(std::vector<BeatSweep> records, std::int32_t minutes, bool carry = false) {
    BeatSweeper sweeper(std::move(records), minutes, carry, kRate);
    EXPECT_EQ(sweeper.offset(1, 0.0, 4.0, 4.0), 0.0);
    return sweeper;
}

TEST(BeatSweeper, StepLengthFollowsTheSessionUpToThirtySeconds) {
    EXPECT_DOUBLE_EQ(BeatSweeper({}, 30, false, kRate).stepSeconds(), 24.0);
    EXPECT_DOUBLE_EQ(BeatSweeper({}, 40, false, kRate).stepSeconds(), 30.0);
}

TEST(BeatSweeper, ClimbsInTenthsThenHoldsAnEmptyRangeAtItsTop) {
    auto sweeper = armed({{1, 1.61803, 1.61803, 30.0}}, 30);   // 24 s per step
    EXPECT_DOUBLE_EQ(sweeper.offset(1, 10.0, 4.0, 4.0), 0.0);  // the sweep starts at 10 s
    EXPECT_DOUBLE_EQ(sweeper.offset(1, 10.0 + 24.0, 4.0, 4.0), 0.1);
    EXPECT_NEAR(sweeper.offset(1, 10.0 + 5 * 24.0 + 1, 4.0, 4.0), 0.5, 1e-12);
    EXPECT_NEAR(sweeper.offset(1, 10.0 + 16 * 24.0 + 1, 4.0, 4.0), 1.6, 1e-12);
    // Past 16.18 steps the range of one value holds at its upper bound, with no modulo by zero.
    EXPECT_DOUBLE_EQ(sweeper.offset(1, 10.0 + 17 * 24.0, 4.0, 4.0), 1.61803);
    EXPECT_DOUBLE_EQ(sweeper.offset(1, 10.0 + 90 * 24.0, 4.0, 4.0), 1.61803);
}

TEST(BeatSweeper, WalksDownAndUpBetweenItsBounds) {
    auto sweeper = armed({{1, 0.0, 0.2, 8.0}}, 30);
    EXPECT_EQ(sweeper.offset(1, 4.0, 10.0, 10.0), 0.0);  // the sweep starts at 4 s
    // Read in the middle of each 24 s step: up to 0.2 in two steps, then a triangle 0.2..0.0.
    const std::vector<double> expected = {0.0, 0.1, 0.2, 0.1, 0.0, 0.1, 0.2, 0.1, 0.0, 0.1};
    for (std::size_t step = 0; step < expected.size(); ++step)
        EXPECT_NEAR(sweeper.offset(1, 4.0 + 24.0 * step + 12.0, 10.0, 10.0), expected[step], 1e-12) << step;
}

TEST(BeatSweeper, FallsBackOutsideTheStageAndRearmsOnceSettled) {
    auto sweeper = armed({{1, 0.0, 0.2, 8.0}}, 30);
    sweeper.offset(1, 0.0, 10.0, 10.0);
    EXPECT_NEAR(sweeper.offset(1, 49.0, 10.0, 10.0), 0.2, 1e-12);
    // Stage 2: 0.1 / (24 / 3 x 10) per frame, so 0.2 takes 160 frames.
    double offset = 0.0;
    for (int frame = 0; frame < 159; ++frame) offset = sweeper.offset(2, 1.0, 12.0, 12.0);
    EXPECT_GT(offset, 0.0);
    EXPECT_NEAR(offset, 0.2 - 159 * 0.1 / 80.0, 1e-9);
    for (int frame = 0; frame < 3; ++frame) offset = sweeper.offset(2, 1.0, 12.0, 12.0);
    EXPECT_EQ(offset, 0.0);
}

TEST(BeatSweeper, WaitsForTheBeatToSettleBeforeArming) {
    BeatSweeper sweeper({{1, 0.0, 0.2, 8.0}}, 30, false, kRate);
    EXPECT_EQ(sweeper.offset(1, 0.0, 9.0, 10.0), 0.0);  // still gliding: not armed
    EXPECT_EQ(sweeper.offset(1, 30.0, 9.0, 10.0), 0.0);
    EXPECT_EQ(sweeper.offset(1, 30.0, 10.00005, 10.0), 0.0);  // settled: armed now
    EXPECT_EQ(sweeper.offset(1, 31.0, 10.0, 10.0), 0.0);      // sweep starts at 31 s
    EXPECT_NEAR(sweeper.offset(1, 31.0 + 24.0, 10.0, 10.0), 0.1, 1e-12);
}

TEST(BeatSweeper, CarriedOffsetIsHandedOverWhole) {
    auto sweeper = armed({{1, 1.61803, 1.61803, 30.0}}, 30, true);
    sweeper.offset(1, 0.0, 4.0, 4.0);
    EXPECT_NEAR(sweeper.offset(1, 3 * 24.0 + 1.0, 4.0, 4.0), 0.3, 1e-12);
    EXPECT_NEAR(sweeper.takeOffset(), 0.3, 1e-12);
    EXPECT_EQ(sweeper.offset(2, 0.0, 5.6, 5.6), 0.0);
}

TEST(BeatSweeper, WithoutAStepLengthNothingSweeps) {
    BeatSweeper unset({{1, 0.0, 0.2, 8.0}}, 0, false, kRate);
    for (double e = 0.0; e < 100.0; e += 1.0) {
        const double offset = unset.offset(1, e, 10.0, 10.0);
        ASSERT_TRUE(std::isfinite(offset));
        ASSERT_EQ(offset, 0.0);
    }
    BeatSweeper empty;
    EXPECT_EQ(empty.offset(1, 5.0, 10.0, 10.0), 0.0);
}

TEST(BeatSweeper, InvertedRangeHoldsAtItsUpperBound) {
    auto sweeper = armed({{1, 0.3, 0.2, 8.0}}, 30);
    sweeper.offset(1, 0.0, 10.0, 10.0);
    for (double e = 48.0; e < 500.0; e += 7.0) {
        const double offset = sweeper.offset(1, e, 10.0, 10.0);
        ASSERT_TRUE(std::isfinite(offset));
        ASSERT_DOUBLE_EQ(offset, 0.2);
    }
}

}  // namespace
}  // namespace quellwave
