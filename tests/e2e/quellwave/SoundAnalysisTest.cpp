#include "tests/e2e/quellwave/SoundAnalysis.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <random>

namespace quellwave::e2e {
namespace {

constexpr unsigned kRate = 48000;

// One second of silence, then a tone pair that fades in over a second and holds, with
// independent noise in each ear.
StereoRecording fadingTonePair(double leftHz, double rightHz, double seconds, double vibratoHz = 0.0) {
    std::mt19937 random(7);
    std::normal_distribution<double> noise(0.0, 0.03);
    std::vector<std::int16_t> samples;
    for (std::size_t i = 0; i < static_cast<std::size_t>(seconds * kRate); ++i) {
        const double t = static_cast<double>(i) / kRate;
        const double gain = std::clamp(t - 1.0, 0.0, 1.0) * 0.3;
        // a shared slow vibrato, as the engine applies to both tones
        const double wobble = vibratoHz * std::sin(2.0 * std::numbers::pi * 0.15 * t) / 0.15;
        const double left = gain * (std::sin(2.0 * std::numbers::pi * (leftHz * t + wobble)) + noise(random));
        const double right = gain * (std::sin(2.0 * std::numbers::pi * (rightHz * t + wobble)) + noise(random));
        samples.push_back(static_cast<std::int16_t>(left * 32767.0));
        samples.push_back(static_cast<std::int16_t>(right * 32767.0));
    }
    return StereoRecording(std::move(samples), kRate);
}

TEST(StereoRecording, FindsTheOnsetAndTheRisingLevel) {
    const StereoRecording recording = fadingTonePair(150.0, 167.3, 4.0);
    const auto onset = recording.onset(0.001);
    ASSERT_TRUE(onset.has_value());
    EXPECT_NEAR(*onset, 1.0, 0.03);
    EXPECT_LT(recording.rms(0.0, 0.9), 1e-6);
    EXPECT_LT(recording.rms(1.1, 1.3), recording.rms(1.7, 1.9));
    EXPECT_NEAR(recording.rms(2.5, 3.5), 0.3 / std::sqrt(2.0), 0.01);
}

TEST(StereoRecording, MeasuresTheBeatBetweenTheEarsDespiteASharedVibrato) {
    const StereoRecording recording = fadingTonePair(150.0, 167.3, 8.0, 0.5);
    EXPECT_NEAR(recording.beatBetweenChannels(2.0, 8.0, 5.0, 40.0), 17.3, 0.1);
}

TEST(StereoRecording, ToneLevelPicksOutOneFrequency) {
    const StereoRecording recording = fadingTonePair(440.0, 440.0, 3.0);
    EXPECT_GT(recording.toneLevel(0, 440.0, 2.0, 3.0), 0.1);
    EXPECT_LT(recording.toneLevel(0, 520.0, 2.0, 3.0), 0.01);
    EXPECT_LT(recording.toneLevel(1, 440.0, 0.0, 0.9), 1e-6);
    const auto loudest = recording.loudestToneWindow(1, 440.0, 0.0, 3.0, 0.2);
    EXPECT_GE(loudest.start, 2.0 - 0.05);  // the fade-in has ended
    EXPECT_GT(loudest.level, 0.1);
}

}  // namespace
}  // namespace quellwave::e2e
