#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <map>
#include <vector>

#include "app/engine/CombReverb.hpp"

namespace quellwave {
namespace {

// At 1000 Hz a delay of d seconds is 1000 d samples, so the taps are easy to name.
constexpr unsigned kRate = 1000;

std::vector<double> impulse(std::size_t length) {
    std::vector<double> signal(length, 0.0);
    signal[0] = 1.0;
    return signal;
}

// Expected response of the mean of two feedback combs to a unit impulse: branch j contributes
// g_j^m / 2 at every m-th multiple of its delay.
std::map<std::size_t, double> expectedTaps(const CombReverbSettings& settings, std::size_t length) {
    std::map<std::size_t, double> taps;
    for (std::size_t j = 0; j < 2; ++j) {
        const auto delay = static_cast<std::size_t>(std::floor(kRate * settings.delays[j]));
        double gain = 1.0;
        for (std::size_t n = 0; n < length; n += delay, gain *= settings.gains[j]) taps[n] += gain / 2.0;
    }
    return taps;
}

class PhaseImpulseResponse : public ::testing::TestWithParam<std::size_t> {};

TEST_P(PhaseImpulseResponse, HasTheTapsOfItsDelaysAndGains) {
    const CombReverbSettings& settings = kPhaseReverbs[GetParam()];
    const std::size_t length = 400;
    const std::vector<double> response = combFilterBank(impulse(length), kRate, settings.delays, settings.gains);
    ASSERT_EQ(response.size(), length);
    const std::map<std::size_t, double> taps = expectedTaps(settings, length);
    for (std::size_t n = 0; n < length; ++n) {
        const auto tap = taps.find(n);
        EXPECT_NEAR(response[n], tap == taps.end() ? 0.0 : tap->second, 1e-12) << "sample " << n;
    }
}

INSTANTIATE_TEST_SUITE_P(EveryPhase, PhaseImpulseResponse, ::testing::Values(0, 1, 2));

TEST(CombReverb, PhaseZeroFirstEchoesAreHandChecked) {
    const CombReverbSettings& settings = kPhaseReverbs[0];
    const std::vector<double> response = combFilterBank(impulse(200), kRate, settings.delays, settings.gains);
    EXPECT_DOUBLE_EQ(response[0], 1.0);
    EXPECT_DOUBLE_EQ(response[50], 0.35);         // 0.7 / 2
    EXPECT_DOUBLE_EQ(response[70], 0.3);          // 0.6 / 2
    EXPECT_DOUBLE_EQ(response[100], 0.49 / 2.0);  // 0.7^2 / 2
    EXPECT_DOUBLE_EQ(response[140], 0.36 / 2.0);  // 0.6^2 / 2
    EXPECT_DOUBLE_EQ(response[150], 0.343 / 2.0);
}

TEST(CombReverb, DelayBelowOneSampleStillEchoesInsteadOfFailing) {
    const std::vector<double> delays{0.0001, 0.0001};
    const std::vector<double> gains{0.5, 0.5};
    const std::vector<double> response = combFilterBank(impulse(3), kRate, delays, gains);
    EXPECT_DOUBLE_EQ(response[0], 1.0);
    EXPECT_DOUBLE_EQ(response[1], 0.5);
    EXPECT_DOUBLE_EQ(response[2], 0.25);
}

TEST(CombReverb, EchoLaterThanTheSignalLeavesItDry) {
    const std::vector<double> delays{1e6, 1e6};  // a claimed rate of a billion: no huge line
    const std::vector<double> gains{0.5, 0.5};
    const std::vector<double> signal{0.25, -0.5, 1.0};
    EXPECT_EQ(combFilterBank(signal, 1'000'000'000u, delays, gains), signal);
}

TEST(CombReverb, ChannelTruncatesTowardZeroAndClampsAtFullScale) {
    std::vector<std::int16_t> samples(120, 0);
    samples[0] = -19993;
    samples[60] = 32767;
    samples[110] = 32767;
    const std::vector<double> delays{0.05, 0.05};
    const std::vector<double> gains{0.9, 0.9};
    const std::vector<std::int16_t> out = reverbChannel(samples, kRate, delays, gains);
    EXPECT_EQ(out[0], -19993);
    EXPECT_EQ(out[50], -17993);  // 0.9 x -19993 = -17993.7, truncated toward zero
    EXPECT_EQ(out[60], 32767);
    EXPECT_EQ(out[110], 32767);  // 1.0 + 0.9 x 1.0 is clamped, never wrapped
    EXPECT_EQ(out[1], 0);
}

TEST(CombReverb, StereoKeepsTheChannelsApart) {
    std::vector<std::int16_t> interleaved(2 * 200, 0);
    interleaved[0] = 20000;  // left impulse only
    const CombReverbSettings& settings = kPhaseReverbs[1];
    const std::vector<std::int16_t> out = applyStereoReverb(interleaved, kRate, settings.delays, settings.gains);
    ASSERT_EQ(out.size(), interleaved.size());
    for (std::size_t frame = 0; frame < 200; ++frame) EXPECT_EQ(out[2 * frame + 1], 0) << frame;
    EXPECT_NEAR(out[0], 20000, 1);
    EXPECT_NEAR(out[2 * 30], 20000 * 0.6 / 2, 1);  // first echo of the 0.03 s comb
    EXPECT_NEAR(out[2 * 40], 20000 * 0.5 / 2, 1);  // first echo of the 0.04 s comb
}

// The reverb as its definition reads: the channels split apart, each branch a ring of its last
// D outputs, the branches added in order and divided by their count.
std::vector<std::int16_t> ringReverb(const std::vector<std::int16_t>& samples, unsigned rate,
                                     const CombReverbSettings& settings) {
    std::vector<std::int16_t> output(samples.size());
    for (std::size_t channel = 0; channel < 2; ++channel) {
        std::vector<double> x;
        for (std::size_t i = channel; i < samples.size(); i += 2) x.push_back(samples[i] / 32767.0);
        std::vector<double> sum(x.size(), 0.0);
        for (std::size_t j = 0; j < 2; ++j) {
            const double d = std::floor(rate * settings.delays[j]);
            const std::size_t length = d >= static_cast<double>(x.size())
                                           ? std::max<std::size_t>(1, x.size())
                                           : std::max<std::size_t>(1, static_cast<std::size_t>(d));
            std::vector<double> line(length, 0.0);
            std::size_t at = 0;
            for (std::size_t n = 0; n < x.size(); ++n) {
                const double y = x[n] + settings.gains[j] * line[at];
                line[at] = y;
                at = (at + 1) % length;
                sum[n] += y;
            }
        }
        for (std::size_t n = 0; n < x.size(); ++n)
            output[2 * n + channel] = static_cast<std::int16_t>(std::clamp(sum[n] / 2.0, -1.0, 1.0) * 32767.0);
    }
    return output;
}

// Speech-like material: loud, with runs that push the echoes past full scale.
std::vector<std::int16_t> material(std::size_t count, std::uint32_t seed) {
    std::vector<std::int16_t> samples(count);
    std::uint32_t state = seed;
    for (std::size_t i = 0; i < count; ++i) {
        state = state * 1664525u + 1013904223u;
        const double envelope = std::sin(static_cast<double>(i) * 0.0007) * 30000.0;
        samples[i] = static_cast<std::int16_t>(envelope * (static_cast<double>(state >> 8) / 16777216.0 * 2.0 - 1.0));
    }
    return samples;
}

TEST(CombReverb, StereoOutputIsBitForBitTheChannelByChannelRingForm) {
    for (const unsigned rate : {8000u, 22050u, 48000u}) {
        for (std::size_t phase = 0; phase < kPhaseReverbs.size(); ++phase) {
            // Whole clips, an odd sample count, and clips shorter than some echo distances.
            for (const std::size_t count : {std::size_t{2 * 22050}, std::size_t{2 * 901 + 1}, std::size_t{2 * 300}}) {
                const std::vector<std::int16_t> dry = material(count, rate + static_cast<std::uint32_t>(phase));
                const CombReverbSettings& settings = kPhaseReverbs[phase];
                EXPECT_EQ(applyStereoReverb(dry, rate, settings.delays, settings.gains),
                          ringReverb(dry, rate, settings))
                    << rate << " Hz, phase " << phase << ", " << count << " samples";
            }
        }
    }
}

}  // namespace
}  // namespace quellwave
