#pragma once

#include <array>
#include <cmath>
#include <cstddef>

namespace quellwave {

// Sines of the session time t at fixed angular frequencies, sin(w t), one value per frame.
// restart() sets them exactly at a block's first frame; within the block they advance by
// rotation, which costs a few multiplications per frame instead of one sine call per frequency
// and keeps them accurate to about 1e-12 over a block. Only the sines a block reads need to
// move: restart() is told which; the others may keep their first-frame value for the block.
template <std::size_t N>
class TimeSines {
public:
    void restart(const std::array<double, N>& radiansPerSecond, double startSeconds, double sampleRate,
                 const std::array<bool, N>& used) {
        // The used sines take the first slots, so that one short fixed-length loop moves them all.
        std::size_t next = 0;
        for (const bool moving : {true, false}) {
            for (std::size_t i = 0; i < N; ++i) {
                if (used[i] != moving) continue;
                const std::size_t k = next++;
                slot_[i] = k;
                sin_[k] = std::sin(radiansPerSecond[i] * startSeconds);
                cos_[k] = std::cos(radiansPerSecond[i] * startSeconds);
                stepSin_[k] = std::sin(radiansPerSecond[i] / sampleRate);
                stepCos_[k] = std::cos(radiansPerSecond[i] / sampleRate);
            }
            if (moving) halfEnough_ = next <= N / 2;
        }
    }

    double operator[](std::size_t i) const { return sin_[slot_[i]]; }

    // Moves the used sines on by one frame.
    void advance() {
        if (halfEnough_)
            rotate<N / 2>();
        else
            rotate<N>();
    }

private:
    template <std::size_t Count>
    void rotate() {
        for (std::size_t k = 0; k < Count; ++k) {
            const double s = sin_[k] * stepCos_[k] + cos_[k] * stepSin_[k];
            cos_[k] = cos_[k] * stepCos_[k] - sin_[k] * stepSin_[k];
            sin_[k] = s;
        }
    }

    std::array<std::size_t, N> slot_{};
    bool halfEnough_ = false;
    std::array<double, N> sin_{};
    std::array<double, N> cos_{};
    std::array<double, N> stepSin_{};
    std::array<double, N> stepCos_{};
};

}  // namespace quellwave
