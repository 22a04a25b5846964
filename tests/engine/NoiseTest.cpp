#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <vector>

#include "app/engine/Noise.hpp"
#include "tests/engine/SignalAnalysis.hpp"

namespace quellwave {
namespace {

TEST(MersenneTwister32, GivesTheStandardSequence) {
    for (const std::uint32_t seed : {0u, 1u, 5489u, 0xdeadbeefu}) {
        std::mt19937 reference(seed);
        MersenneTwister32 twister(seed);
        for (int i = 0; i < 5000; ++i) ASSERT_EQ(twister(), reference()) << seed << " " << i;
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
        const double y = nextBrownNoise(state, source);
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
    nextBrownNoise(high, again);
    EXPECT_EQ(high, w > 0 ? 1.0 : 1.0 + 0.02 * w);
}

}  // namespace
}  // namespace quellwave
