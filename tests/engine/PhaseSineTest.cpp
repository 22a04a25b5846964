#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

#include "app/engine/PhaseSine.hpp"

namespace quellwave {
namespace {

TEST(PhaseSine, MatchesTheLibrarySineOverAndAroundOneTurn) {
    double worstSine = 0.0;
    double worstCosine = 0.0;
    for (double phase = -20.0; phase < 40.0; phase += 1e-4) {
        worstSine = std::max(worstSine, std::fabs(sineOfPhase(phase) - std::sin(phase)));
        worstCosine = std::max(worstCosine, std::fabs(cosineOfPhase(phase) - std::cos(phase)));
    }
    EXPECT_LT(worstSine, 2e-13);
    EXPECT_LT(worstCosine, 2e-13);
}

TEST(PhaseSine, HitsTheQuarterTurns) {
    constexpr double kPi = std::numbers::pi;
    EXPECT_EQ(sineOfPhase(0.0), 0.0);
    EXPECT_NEAR(sineOfPhase(kPi / 2), 1.0, 1e-13);
    EXPECT_NEAR(sineOfPhase(kPi), 0.0, 1e-13);
    EXPECT_NEAR(sineOfPhase(3 * kPi / 2), -1.0, 1e-13);
    EXPECT_NEAR(sineOfPhase(std::nextafter(2 * kPi, 0.0)), 0.0, 1e-13);
    EXPECT_NEAR(cosineOfPhase(kPi), -1.0, 1e-13);
}

}  // namespace
}  // namespace quellwave
