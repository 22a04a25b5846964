#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <vector>

namespace quellwave {

// Two parallel feedback comb filters: delays in seconds and their feedback gains.
struct CombReverbSettings {
    std::array<double, 2> delays;
    std::array<double, 2> gains;
};

// The reverb of each affirmation phase: longer and denser going in, shorter coming back.
inline constexpr std::array<CombReverbSettings, 3> kPhaseReverbs{{
    {{0.05, 0.07}, {0.7, 0.6}},
    {{0.03, 0.04}, {0.6, 0.5}},
    {{0.02, 0.03}, {0.5, 0.4}},
}};

// For each branch j with D_j = floor(rate * delay_j) samples (at least one):
// y_j[n] = x[n] + gain_j * y_j[n - D_j]; the output is the mean of the branches.
std::vector<double> combFilterBank(std::span<const double> signal, unsigned sampleRate, std::span<const double> delays,
                                   std::span<const double> gains);

// One channel of 16-bit samples through the comb bank, clamped to full scale.
std::vector<std::int16_t> reverbChannel(std::span<const std::int16_t> samples, unsigned sampleRate,
                                        std::span<const double> delays, std::span<const double> gains);

// Interleaved stereo (left, right, ...) in and out, each channel through its own comb bank.
std::vector<std::int16_t> applyStereoReverb(std::span<const std::int16_t> samples, unsigned sampleRate,
                                            std::span<const double> delays, std::span<const double> gains);

}  // namespace quellwave
