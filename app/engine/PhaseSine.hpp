#pragma once

#include <cmath>
#include <numbers>

namespace quellwave {

// Sine of x in [-pi/2, pi/2], accurate to about 1e-13: x + x^3 P(x^2) with a least-squares
// fitted P of degree 5.
inline double sineNearZero(double x) {
    const double x2 = x * x;
    double p = 1.5390441233583397494e-10;
    p = p * x2 - 2.5028697435211998063e-8;
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

// Sine of an oscillator phase at a fraction of the cost of a general sine call:
// sin(phase) = sin(pi - phase), folded into [-pi/2, pi/2].
inline double sineOfPhase(double phase) {
    constexpr double kPi = std::numbers::pi;
    double x = kPi - wrapPhase(phase);  // in (-pi, pi]
    const double folded = std::copysign(kPi, x) - x;
    x = std::fabs(x) > kPi / 2 ? folded : x;
    return sineNearZero(x);
}

// Cosine of an oscillator phase: cos(phase) = sin(pi/2 - phase), folded into [-pi/2, pi/2].
inline double cosineOfPhase(double phase) {
    constexpr double kPi = std::numbers::pi;
    const double x = kPi / 2 - wrapPhase(phase);  // in (-3 pi/2, pi/2]
    return sineNearZero(x < -kPi / 2 ? -kPi - x : x);
}

}  // namespace quellwave
