#include "app/ui/GainEnvelope.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <vector>

namespace quellwave::ui {
namespace {

constexpr double kTarget = 48.0;  // volume 80 %

// Drives the envelope the way the loop does: each frame the fade clock has run `frameSeconds`
// since the last step, and a new gain becomes the current one.
struct EnvelopeDriver {
    GainEnvelope envelope;
    double gain = 0.0;
    double sinceStep = 0.0;
    double elapsed = 0.0;
    double sessionSeconds = 1e9;
    std::vector<double> sent;
    bool over = false;

    void frame(double frameSeconds, double target = kTarget) {
        sinceStep += frameSeconds;
        elapsed += frameSeconds;
        const auto outcome = envelope.advance({sinceStep, gain, target, sessionSeconds, elapsed});
        if (outcome.gain) {
            gain = *outcome.gain;
            sent.push_back(gain);
        }
        if (outcome.restartClock) sinceStep = 0.0;
        over = over || outcome.sessionOver;
    }
    void runUntil(GainEnvelope::State state, double frameSeconds = 0.05) {
        for (int i = 0; i < 100000 && envelope.state() != state; ++i) frame(frameSeconds);
        ASSERT_EQ(envelope.state(), state);
    }
};

TEST(GainEnvelope, RiseClimbsFromSilenceToAFifthOfTheTargetInTwentySteps) {
    EnvelopeDriver driver;
    driver.envelope.start();
    driver.runUntil(GainEnvelope::State::Wobble);
    ASSERT_EQ(driver.sent.size(), 20u);
    EXPECT_DOUBLE_EQ(driver.sent.front(), 0.0);
    EXPECT_NEAR(driver.sent[1], kTarget * 0.2 / 19.0, 1e-12);
    EXPECT_NEAR(driver.sent.back(), kTarget * 0.2, 1e-12);
    EXPECT_EQ(driver.envelope.step(), 0);
}

TEST(GainEnvelope, NoStepBeforeTheIntervalAndAtMostOnePerFrame) {
    EnvelopeDriver driver;
    driver.envelope.start();
    driver.frame(0.049);
    EXPECT_TRUE(driver.sent.empty());
    driver.frame(0.001);
    EXPECT_EQ(driver.sent.size(), 1u);
    // A long stall (a modal box) still moves the envelope by one step only.
    driver.frame(5.0);
    EXPECT_EQ(driver.sent.size(), 2u);
    EXPECT_EQ(driver.envelope.step(), 2);
}

TEST(GainEnvelope, WobbleCentresOnAFifthOfTheTarget) {
    EnvelopeDriver driver;
    driver.envelope.start();
    driver.runUntil(GainEnvelope::State::Wobble);
    driver.sent.clear();
    driver.runUntil(GainEnvelope::State::Dip);
    ASSERT_EQ(driver.sent.size(), 100u);
    EXPECT_NEAR(driver.sent[0], kTarget * 0.2, 1e-12);
    // step 5 is a quarter of the first wobble period: the crest
    EXPECT_NEAR(driver.sent[5], kTarget * 0.24, 1e-12);
    EXPECT_NEAR(driver.sent[15], kTarget * 0.16, 1e-12);
}

TEST(GainEnvelope, DipAndSwellEaseFromTheCurrentGain) {
    EnvelopeDriver driver;
    driver.envelope.start();
    driver.runUntil(GainEnvelope::State::Dip);
    const double before = driver.gain;
    driver.sent.clear();
    driver.frame(0.05);
    EXPECT_DOUBLE_EQ(driver.sent[0], before);  // step 0 keeps the gain
    driver.runUntil(GainEnvelope::State::Swell);
    EXPECT_EQ(driver.sent.size(), 20u);
    EXPECT_NEAR(driver.gain, 0.16 * kTarget, 1e-9);
    driver.sent.clear();
    driver.runUntil(GainEnvelope::State::Hold);
    EXPECT_EQ(driver.sent.size(), 100u);
    EXPECT_DOUBLE_EQ(driver.gain, kTarget);
    for (std::size_t i = 1; i < driver.sent.size(); ++i) EXPECT_GE(driver.sent[i], driver.sent[i - 1]);
}

TEST(GainEnvelope, HoldFollowsTheVolumeEveryFrameUntilTheSessionEnds) {
    EnvelopeDriver driver;
    driver.envelope.start();
    driver.runUntil(GainEnvelope::State::Hold);
    EXPECT_TRUE(driver.envelope.followsVolumeDirectly());
    driver.frame(0.001, 30.0);
    EXPECT_DOUBLE_EQ(driver.gain, 30.0);
    driver.sessionSeconds = driver.elapsed;
    driver.frame(0.001);
    EXPECT_EQ(driver.envelope.state(), GainEnvelope::State::FadeOut);
    EXPECT_EQ(driver.envelope.step(), 100);
    EXPECT_FALSE(driver.envelope.followsVolumeDirectly());
}

TEST(GainEnvelope, FadeOutTakes101StepsATenthOfASecondApartThenEndsTheSession) {
    EnvelopeDriver driver;
    driver.envelope.start();
    driver.runUntil(GainEnvelope::State::Hold);
    driver.sessionSeconds = 0.0;
    driver.frame(0.0);
    driver.sent.clear();
    driver.frame(0.05);
    EXPECT_TRUE(driver.sent.empty()) << "fade-out steps wait a tenth of a second";
    double seconds = 0.05;
    while (!driver.over && seconds < 60.0) {
        driver.frame(0.05);
        seconds += 0.05;
    }
    ASSERT_TRUE(driver.over);
    ASSERT_EQ(driver.sent.size(), 101u);
    EXPECT_DOUBLE_EQ(driver.sent.front(), kTarget);
    EXPECT_DOUBLE_EQ(driver.sent[50], kTarget * 0.5);
    EXPECT_DOUBLE_EQ(driver.sent.back(), 0.0);
    EXPECT_NEAR(seconds, 10.1, 0.11);
    EXPECT_EQ(driver.envelope.state(), GainEnvelope::State::Idle);
}

TEST(GainEnvelope, ShrunkTimingRunsTheSameCurveFaster) {
    EnvelopeDriver driver;
    driver.envelope = GainEnvelope({0.001, 0.002});
    driver.envelope.start();
    driver.runUntil(GainEnvelope::State::Hold, 0.001);
    EXPECT_EQ(driver.sent.size(), 240u);
}

TEST(GainEnvelope, ResetAbandonsTheSession) {
    EnvelopeDriver driver;
    driver.envelope.start();
    driver.frame(0.05);
    driver.envelope.reset();
    driver.frame(1.0);
    EXPECT_EQ(driver.sent.size(), 1u);
    EXPECT_EQ(driver.envelope.state(), GainEnvelope::State::Idle);
}

}  // namespace
}  // namespace quellwave::ui
