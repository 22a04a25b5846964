#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <numbers>
#include <vector>

#include "app/engine/PhaseSine.hpp"
#include "app/engine/TimeSines.hpp"
#include "app/engine/WideLanes.hpp"

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

constexpr std::size_t kRunFrames = 256;

template <std::size_t N>
using RunSines = TimeSines<N, kRunFrames>;

// The used sines of count frames (frames[frame][i] is sine i), filled in runs of uneven lengths
// as the engine asks for them.
template <std::size_t N>
std::vector<std::array<double, N>> fillInRuns(RunSines<N>& sines, const std::array<bool, N>& used, std::size_t count) {
    std::vector<std::array<double, N>> frames(count);
    for (std::size_t done = 0, run = 1; done < count; done += run, run = run * 3 % kRunFrames + 1) {
        const std::size_t length = std::min(run, count - done);
        sines.fill(length);
        for (std::size_t i = 0; i < N; ++i) {
            if (!used[i]) continue;
            for (std::size_t slot = 0; slot < length; ++slot) frames[done + slot][i] = sines.of(i)[slot];
        }
    }
    return frames;
}

TEST(TimeSines, FollowTheTimeOverAWholeBlockFromAnyStart) {
    const std::array<double, 3> radiansPerSecond = {157.07963267948966, 0.3141592653589793, 2 * 3.0};
    for (const double rate : {1000.0, 192000.0}) {
        for (const double start : {0.0, 1799.5, 3600.25}) {
            RunSines<3> sines;
            sines.restart(radiansPerSecond, start, rate, {true, true, true});
            const auto frames = fillInRuns(sines, {true, true, true}, 4096);
            double worst = 0.0;
            for (std::size_t frame = 0; frame < frames.size(); ++frame) {
                const double t = start + static_cast<double>(frame) / rate;
                for (std::size_t i = 0; i < 3; ++i)
                    worst = std::max(worst, std::fabs(frames[frame][i] - std::sin(radiansPerSecond[i] * t)));
            }
            EXPECT_LT(worst, 1e-9) << rate << " " << start;
        }
    }
}

// All sines moving two lanes at a time against only the used ones moving on the lanes the machine
// picks (four where it has AVX2) and on two lanes.
TEST(TimeSines, TheUsedSinesMoveBitForBitAsWhenAllDoOnBothLaneWidths) {
    const std::array<double, 8> radiansPerSecond = {157.07963267948966, 0.3141592653589793, 6.0, 0.1,
                                                    0.6283185307179586, 37.69911184307752,  2.0, 0.05};
    for (const std::array<bool, 8> used : {std::array<bool, 8>{true, false, true, false, false, false, true, false},
                                           std::array<bool, 8>{true, true, true, true, true, false, true, true},
                                           std::array<bool, 8>{false, false, false, false, true, false, false, false},
                                           std::array<bool, 8>{true, false, true, true, false, true, true, false}}) {
        constexpr std::array<bool, 8> kAll{true, true, true, true, true, true, true, true};
        RunSines<8> all;
        all.restart(radiansPerSecond, 12.5, 48000.0, kAll);
        keepLanesNarrow(true);
        const auto allFrames = fillInRuns(all, kAll, 4096);
        for (const bool narrow : {false, true}) {
            keepLanesNarrow(narrow);
            RunSines<8> some;
            some.restart(radiansPerSecond, 12.5, 48000.0, used);
            const auto someFrames = fillInRuns(some, used, 4096);
            keepLanesNarrow(false);
            for (std::size_t frame = 0; frame < allFrames.size(); ++frame) {
                for (std::size_t i = 0; i < 8; ++i) {
                    if (used[i]) {
                        ASSERT_EQ(someFrames[frame][i], allFrames[frame][i])
                            << "sine " << i << " frame " << frame << (narrow ? " (two lanes)" : "");
                    }
                }
            }
        }
    }
}

}  // namespace
}  // namespace quellwave
