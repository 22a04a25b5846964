#pragma once

#include <array>
#include <cmath>
#include <cstddef>

#include "app/engine/PhaseSine.hpp"

namespace quellwave {

// Sines of the session time t at fixed angular frequencies, sin(w t), one value per frame.
// restart() sets them exactly at a block's first frame; within the block they advance by
// rotation, which costs a few multiplications per frame instead of one sine call per frequency
// and keeps them accurate to about 1e-12 over a block. Only the sines a block reads need to
// move: restart() is told which; the others may keep their first-frame value for the block. Two
// sines move at once, lane by lane with the same operations as one alone.
template <std::size_t N>
class TimeSines {
public:
    void restart(const std::array<double, N>& radiansPerSecond, double startSeconds, double sampleRate,
                 const std::array<bool, N>& used) {
        // The used sines take the first slots, two to a pair of lanes, so that a short loop over
        // the pairs moves them all.
        std::size_t next = 0;
        for (const bool moving : {true, false}) {
            for (std::size_t i = 0; i < N; ++i) {
                if (used[i] != moving) continue;
                const std::size_t k = next++;
                slot_[i] = k;
                sin_[k / 2][k % 2] = std::sin(radiansPerSecond[i] * startSeconds);
                cos_[k / 2][k % 2] = std::cos(radiansPerSecond[i] * startSeconds);
                stepSin_[k / 2][k % 2] = std::sin(radiansPerSecond[i] / sampleRate);
                stepCos_[k / 2][k % 2] = std::cos(radiansPerSecond[i] / sampleRate);
            }
            if (moving) movingPairs_ = (next + 1) / 2;
        }
    }

    double operator[](std::size_t i) const { return sin_[slot_[i] / 2][slot_[i] % 2]; }

    // Moves the used sines on by one frame.
    void advance() {
        for (std::size_t k = 0; k < movingPairs_; ++k) {
            const DoublePair s = sin_[k] * stepCos_[k] + cos_[k] * stepSin_[k];
            cos_[k] = cos_[k] * stepCos_[k] - sin_[k] * stepSin_[k];
            sin_[k] = s;
        }
    }

private:
    static constexpr std::size_t kPairs = (N + 1) / 2;

    std::array<std::size_t, N> slot_{};
    std::size_t movingPairs_ = 0;
    std::array<DoublePair, kPairs> sin_{};
    std::array<DoublePair, kPairs> cos_{};
    std::array<DoublePair, kPairs> stepSin_{};
    std::array<DoublePair, kPairs> stepCos_{};
};

}  // namespace quellwave
