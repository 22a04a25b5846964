#pragma once

#include <cmath>
#include <numbers>

#include "app/engine/LaneVectors.hpp"

namespace quellwave {

// Sine of x in [-pi/2, pi/2], accurate to about 1e-13: x + x^3 P(x^2) with a least-squares
// fitted P of degree 5. Value is double or DoublePair; each lane is computed as a double would be.
template <class Value>
[[gnu::always_inline]] inline Value sineNearZero(const Value& x) {
    const Value x2 = x * x;
    Value p = x2 * 1.5390441233583397494e-10 - 2.5028697435211998063e-8;
    p = p * x2 + 2.7556908420187762892e-6;
    p = p * x2 - 0.00019841266107305218823;
    p = p * x2 + 0.0083333333171270150884;
    p = p * x2 - 0.16666666666415856169;
    return x + x * x2 * p;
}

// Brings a phase into [0, 2 pi); oscillators keep theirs there, so this rarely does anything.
inline double wrapPhase(double phase) {
    constexpr double kTwoPi = 2.0 * std::numbers::pi;
    if (phase < 0.0 || phase >= kTwoPi) phase -= kTwoPi * std::floor(phase / kTwoPi);
    return phase;
}

// The argument in [-pi/2, pi/2] whose sine is sin(phase): sin(phase) = sin(pi - phase), folded.
inline double sineArgument(double phase) {
    constexpr double kPi = std::numbers::pi;
    const double x = kPi - wrapPhase(phase);  // in (-pi, pi]
    const double folded = std::copysign(kPi, x) - x;
    return std::fabs(x) > kPi / 2 ? folded : x;
}

// The argument in [-pi/2, pi/2] whose sine is cos(phase): cos(phase) = sin(pi/2 - phase), folded.
inline double cosineArgument(double phase) {
    constexpr double kPi = std::numbers::pi;
    const double x = kPi / 2 - wrapPhase(phase);  // in (-3 pi/2, pi/2]
    return x < -kPi / 2 ? -kPi - x : x;
}

// Sine of an oscillator phase at a fraction of the cost of a general sine call.
inline double sineOfPhase(double phase) { return sineNearZero(sineArgument(phase)); }

// Cosine of an oscillator phase.
inline double cosineOfPhase(double phase) { return sineNearZero(cosineArgument(phase)); }

// Sines of two arguments from sineArgument or cosineArgument, the same values as one by one.
inline DoublePair sinePair(double x, double y) { return sineNearZero(DoublePair{x, y}); }

}  // namespace quellwave
