#pragma once

#include <cmath>
#include <cstddef>
#include <numbers>
#include <span>
#include <vector>

namespace quellwave::testing {

// Power of one frequency in a stretch of samples (Goertzel), normalised by the length.
inline double goertzelPower(std::span<const double> samples, double sampleRate, double frequency) {
    const double w = 2.0 * std::numbers::pi * frequency / sampleRate;
    const double coefficient = 2.0 * std::cos(w);
    double s1 = 0.0;
    double s2 = 0.0;
    for (const double x : samples) {
        const double s0 = x + coefficient * s1 - s2;
        s2 = s1;
        s1 = s0;
    }
    const double power = s1 * s1 + s2 * s2 - coefficient * s1 * s2;
    return power / static_cast<double>(samples.size() * samples.size());
}

// The frequency with the most power among from, from + step, ..., to.
inline double strongestFrequency(std::span<const double> samples, double sampleRate, double from, double to,
                                 double step) {
    double best = from;
    double bestPower = -1.0;
    for (double f = from; f <= to + step / 2; f += step) {
        const double power = goertzelPower(samples, sampleRate, f);
        if (power > bestPower) {
            bestPower = power;
            best = f;
        }
    }
    return best;
}

// Mean Goertzel power of a frequency over consecutive segments of the given length.
inline double averagedPower(std::span<const double> samples, double sampleRate, double frequency, std::size_t segment) {
    double sum = 0.0;
    std::size_t count = 0;
    for (std::size_t start = 0; start + segment <= samples.size(); start += segment, ++count)
        sum += goertzelPower(samples.subspan(start, segment), sampleRate, frequency);
    return sum / static_cast<double>(count);
}

}  // namespace quellwave::testing
