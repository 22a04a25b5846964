#pragma once

#include <cmath>
#include <numbers>

namespace quellwave {

// Sine of an oscillator phase, accurate to about 1e-13: the phase is folded into
// [-pi/2, pi/2], where x + x^3 P(x^2) with a least-squares fitted P of degree 5 stands for the
// sine. Oscillators keep their phases in [0, 2 pi), where this costs a fraction of a general
// sine call; other phases are reduced first.
inline double sineOfPhase(double phase) {
    constexpr double kPi = std::numbers::pi;
    constexpr double kTwoPi = 2.0 * std::numbers::pi;
    if (phase < 0.0 || phase >= kTwoPi) phase -= kTwoPi * std::floor(phase / kTwoPi);
    double x = kPi - phase;  // sin(phase) = sin(pi - phase), now in (-pi, pi]
    const double folded = std::copysign(kPi, x) - x;
    x = std::fabs(x) > kPi / 2 ? folded : x;
    const double x2 = x * x;
    double p = 1.5390441233583397494e-10;
    p = p * x2 - 2.5028697435211998063e-8;
    p = p * x2 + 2.7556908420187762892e-6;
    p = p * x2 - 0.00019841266107305218823;
    p = p * x2 + 0.0083333333171270150884;
    p = p * x2 - 0.16666666666415856169;
    return x + x * x2 * p;
}

// Cosine of an oscillator phase, with the accuracy of sineOfPhase.
inline double cosineOfPhase(double phase) {
    return sineOfPhase(phase + std::numbers::pi / 2);
}

}  // namespace quellwave
