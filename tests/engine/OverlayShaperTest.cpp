#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "app/engine/OverlayShaper.hpp"

namespace quellwave {
namespace {

constexpr double kSlow = 0.6283185307179586;
// The frame's slow swell |sin(0.6283185307179586 t)|.
constexpr double kSwellFull = 1.0;
constexpr double kSwellHalf = 0.5;

TEST(OverlayProfile, SpreadsValuesEvenlyAndInterpolates) {
    EXPECT_DOUBLE_EQ(readProfile({6, 4}, 0.0), 6.0);
    EXPECT_DOUBLE_EQ(readProfile({6, 4}, 0.5), 5.0);
    EXPECT_DOUBLE_EQ(readProfile({6, 4}, 1.0), 4.0);
    EXPECT_DOUBLE_EQ(readProfile({4, 26, 36}, 0.25), 15.0);
    EXPECT_DOUBLE_EQ(readProfile({4, 26, 36}, 0.75), 31.0);
    EXPECT_DOUBLE_EQ(readProfile({9}, 0.3), 9.0);
}

TEST(OverlayShaper, UnshapedRisesWithASlowSineUpToTheLastProfileValue) {
    OverlayShaper shaper({{10}, {8}, {8}, {10}}, false);
    EXPECT_NEAR(shaper.offset(0, 4, 0.1, 0.3), 40.0 * std::sin(kSlow * 0.1), 1e-12);
    EXPECT_DOUBLE_EQ(shaper.offset(1, 4, 0.5, 0.7), 8.0);
}

TEST(OverlayShaper, FirstStageSwellsLatchesAndDecays) {
    OverlayShaper shaper({{6, 4}, {4, 26, 36}, {36, 26}}, true);
    EXPECT_NEAR(shaper.offset(0, 3, 0.2, kSwellFull), 5.6 * 0.8, 1e-9);  // s T 4P
    EXPECT_NEAR(shaper.offset(0, 3, 0.4, kSwellHalf), 0.5 * 5.2, 1e-9);  // s T, too early to latch
    EXPECT_NEAR(shaper.offset(0, 3, 0.55, kSwellFull), 4.9, 1e-9);       // latches on s >= 0.99
    EXPECT_NEAR(shaper.offset(0, 3, 0.58, kSwellHalf), 4.84, 1e-9);      // stays on T
    EXPECT_NEAR(shaper.offset(0, 3, 0.7, kSwellHalf), 4.0, 1e-9);        // last value from 0.61803
    EXPECT_NEAR(shaper.offset(0, 3, 0.8, kSwellHalf), 4.0 * std::exp(-2.0 * 0.05), 1e-9);
    EXPECT_NEAR(shaper.offset(0, 3, 0.9, kSwellHalf), 4.0 * std::exp(-4.0 * 0.15), 1e-9);
    // Back at the start of a stage the latch is cleared.
    EXPECT_NEAR(shaper.offset(0, 3, 0.1, kSwellHalf), 0.5 * 5.8 * 0.4, 1e-9);
    EXPECT_NEAR(shaper.offset(0, 3, 0.45, kSwellHalf), 0.5 * 5.1, 1e-9);
}

TEST(OverlayShaper, LaterStagesHandOverToTheNextProfile) {
    OverlayShaper shaper({{6, 4}, {4, 26, 36}, {30, 20}, {26, 20}}, true);
    EXPECT_NEAR(shaper.offset(1, 4, 0.03, kSwellFull), readProfile({4, 26, 36}, 0.03) * 0.6, 1e-9);
    EXPECT_NEAR(shaper.offset(1, 4, 0.07, kSwellFull), readProfile({4, 26, 36}, 0.07), 1e-9);
    EXPECT_NEAR(shaper.offset(1, 4, 0.5, kSwellHalf), 26.0, 1e-9);
    // Stage 1 decays, then moves toward the next profile's first value (30), reaching it at 0.9.
    const double decayed = 32.0 * std::exp(-2.0 * 0.05);
    EXPECT_NEAR(shaper.offset(1, 4, 0.8, kSwellHalf), decayed + (30.0 - decayed) / 3.0, 1e-9);
    EXPECT_DOUBLE_EQ(shaper.offset(1, 4, 0.95, kSwellHalf), 30.0);
    // Middle stages of a table of more than three hold their first value for the first quarter.
    EXPECT_DOUBLE_EQ(shaper.offset(2, 4, 0.2, kSwellHalf), 30.0);
    // The last stage follows its last value with a slow sine.
    EXPECT_NEAR(shaper.offset(3, 4, 0.5, kSwellFull), 20.0 * std::sin(kSlow * 0.5), 1e-12);
}

TEST(OverlayShaper, RisingHandOverKeepsTheTargetWithoutDecay) {
    OverlayShaper shaper({{1}, {1}, {5, 8}, {20}}, true);
    shaper.offset(2, 4, 0.07, kSwellFull);  // latch
    const double target = 5.0 + 3.0 * 0.8;
    EXPECT_NEAR(shaper.offset(2, 4, 0.8, kSwellHalf), target + (20.0 - target) / 3.0, 1e-9);
    EXPECT_DOUBLE_EQ(shaper.offset(2, 4, 0.9, kSwellHalf), 20.0);
}

}  // namespace
}  // namespace quellwave
