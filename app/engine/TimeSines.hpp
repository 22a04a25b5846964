#pragma once

#include <array>
#include <cmath>
#include <cstddef>

namespace quellwave {

// Sines of the session time t at fixed angular frequencies, sin(w t), one value per frame.
// restart() sets them exactly at a block's first frame; within the block they advance by
// rotation, which costs a few multiplications per frame instead of one sine call per frequency
// and keeps them accurate to about 1e-12 over a block.
template <std::size_t N>
class TimeSines {
public:
    void restart(const std::array<double, N>& radiansPerSecond, double startSeconds, double sampleRate) {
        for (std::size_t i = 0; i < N; ++i) {
            sin_[i] = std::sin(radiansPerSecond[i] * startSeconds);
            cos_[i] = std::cos(radiansPerSecond[i] * startSeconds);
            stepSin_[i] = std::sin(radiansPerSecond[i] / sampleRate);
            stepCos_[i] = std::cos(radiansPerSecond[i] / sampleRate);
        }
    }

    double operator[](std::size_t i) const { return sin_[i]; }

    // Moves every sine on by one frame.
    void advance() {
        for (std::size_t i = 0; i < N; ++i) {
            const double s = sin_[i] * stepCos_[i] + cos_[i] * stepSin_[i];
            cos_[i] = cos_[i] * stepCos_[i] - sin_[i] * stepSin_[i];
            sin_[i] = s;
        }
    }

private:
    std::array<double, N> sin_{};
    std::array<double, N> cos_{};
    std::array<double, N> stepSin_{};
    std::array<double, N> stepCos_{};
};

}  // namespace quellwave
