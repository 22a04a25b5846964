#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <span>
#include <vector>

#include "app/engine/FrameNoise.hpp"
#include "app/engine/Noise.hpp"
#include "tests/engine/KeptLanes.hpp"
#include "tests/engine/SignalAnalysis.hpp"

namespace quellwave {
namespace {

using testing::KeptLanes;
using testing::kLaneWidths;
using testing::LaneWidth;

TEST(MersenneTwister32, GivesTheStandardSequence) {
    for (const LaneWidth& width : kLaneWidths) {
        SCOPED_TRACE(width.name);
        const KeptLanes kept(width);
        for (const std::uint32_t seed : {0u, 1u, 5489u, 0xdeadbeefu}) {
            std::mt19937 reference(seed);
            MersenneTwister32 twister(seed);
            for (int i = 0; i < 5000; ++i) ASSERT_EQ(twister(), reference()) << seed << " " << i;
        }
    }
}

TEST(UniformSource, BuildsFiftyThreeBitsFromTwoEngineOutputsLowWordFirst) {
    std::mt19937 reference(1234);
    UniformSource source(1234);
    for (int i = 0; i < 1000; ++i) {
        const double a = reference();
        const double b = reference();
        const double expected = (b * 2097152.0 + std::floor(a / 2048.0)) / 9007199254740992.0;
        const double u = source.nextUnit();
        ASSERT_EQ(u, expected);
        ASSERT_GE(u, 0.0);
        ASSERT_LT(u, 1.0);
    }
}

// Bulk white noise crosses the engine's refills as the draws one by one do, on every lane width.
TEST(UniformSource, FillsWhiteAsTheDrawsOneByOne) {
    for (const LaneWidth& width : kLaneWidths) {
        SCOPED_TRACE(width.name);
        const KeptLanes kept(width);
        UniformSource reference(99);
        UniformSource bulk(99);
        std::vector<double> whites(1000);
        for (const std::size_t count :
             {std::size_t{1}, std::size_t{311}, std::size_t{1000}, std::size_t{7}, std::size_t{15}, std::size_t{17}}) {
            bulk.fillWhite(std::span(whites).first(count));
            for (std::size_t i = 0; i < count; ++i) ASSERT_EQ(whites[i], reference.nextWhite()) << count << " " << i;
            ASSERT_EQ(bulk.nextWhite(), reference.nextWhite()) << count;
        }
    }
}

TEST(PinkNoise, PowerFallsByAboutThreeDecibelsPerOctave) {
    UniformSource source(2024);
    PinkNoiseState state;
    std::vector<double> samples(1 << 18);
    for (double& s : samples) s = nextPinkNoise(state, source);

    const double rate = 48000.0;
    double slopeSum = 0.0;
    int octaves = 0;
    double previous = testing::averagedPower(samples, rate, 150.0, 4096);
    for (double f = 300.0; f <= 4800.0; f *= 2.0) {
        const double power = testing::averagedPower(samples, rate, f, 4096);
        slopeSum += 10.0 * std::log10(power / previous);
        previous = power;
        ++octaves;
    }
    const double decibelsPerOctave = slopeSum / octaves;
    EXPECT_NEAR(decibelsPerOctave, -3.0, 0.6);
}

TEST(PinkNoise, LeftAndRightStatesDecorrelate) {
    UniformSource source(5);
    PinkNoiseState left;
    PinkNoiseState right;
    double lr = 0.0, ll = 0.0, rr = 0.0;
    for (int i = 0; i < 100000; ++i) {
        const double l = nextPinkNoise(left, source);
        const double r = nextPinkNoise(right, source);
        lr += l * r;
        ll += l * l;
        rr += r * r;
    }
    EXPECT_LT(std::fabs(lr / std::sqrt(ll * rr)), 0.1);
}

TEST(BrownNoise, WalksInSmallStepsAndSaturatesAtExactlyOne) {
    UniformSource source(11);
    double state = 0.99;
    bool reachedTop = false;
    for (int i = 0; i < 100000 && !reachedTop; ++i) {
        const double before = state;
        const double y = nextBrownNoise(state, source.nextWhite());
        ASSERT_EQ(y, state);
        ASSERT_LE(std::fabs(y - before), 0.02);
        ASSERT_LE(std::fabs(y), 1.0);
        reachedTop = y == 1.0 || y == -1.0;
    }
    EXPECT_TRUE(reachedTop);

    double high = 1.0;
    UniformSource reference(3);
    UniformSource again(3);
    const double w = reference.nextWhite();
    nextBrownNoise(high, again.nextWhite());
    EXPECT_EQ(high, w > 0 ? 1.0 : 1.0 + 0.02 * w);
}

// A run's noise is what the frames would draw one by one from the same source: the jitter, the
// left and then the right pink sample, the brown step and the white difference; a burst's pinks
// drawn between two runs move the ears' filters as a frame's would.
TEST(FrameNoise, DrawsWhatTheFramesWouldDrawOneByOne) {
    constexpr std::uint32_t kSeed = 77;
    UniformSource source(kSeed);
    PinkNoiseState left;
    PinkNoiseState right;
    double brown = 0.0;
    WhiteDifferenceNoise difference;
    FrameNoise noise(kSeed);
    for (const std::size_t run : {FrameNoise::kMaxFrames, std::size_t{1}, std::size_t{37}}) {
        noise.draw(run);
        for (std::size_t slot = 0; slot < run; ++slot) {
            ASSERT_EQ(noise.jitters()[slot], source.nextWhite()) << run << " " << slot;
            const double pinkLeft = nextPinkNoise(left, source);
            const double pinkRight = nextPinkNoise(right, source);
            ASSERT_EQ(noise.pink(slot)[0], pinkLeft) << run << " " << slot;
            ASSERT_EQ(noise.pink(slot)[1], pinkRight) << run << " " << slot;
            const double brownStep = nextBrownNoise(brown, source.nextWhite());
            const double texture = brownStep + difference.next(source.nextWhite());
            ASSERT_EQ(noise.textures()[slot], texture) << run << " " << slot;
        }
        const DoublePair burst = noise.pinkPair();
        const double burstLeft = nextPinkNoise(left, source);
        EXPECT_EQ(burst[0], burstLeft);
        EXPECT_EQ(burst[1], nextPinkNoise(right, source));
    }
}

}  // namespace
}  // namespace quellwave
