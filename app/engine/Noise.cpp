#include "app/engine/Noise.hpp"

#include <algorithm>

namespace quellwave {
namespace {

constexpr std::uint32_t kUpperBit = 0x80000000u;
constexpr std::uint32_t kLowerBits = 0x7fffffffu;
constexpr std::uint32_t kTwistMatrix = 0x9908b0dfu;

std::uint32_t twist(std::uint32_t current, std::uint32_t next, std::uint32_t far) {
    const std::uint32_t y = (current & kUpperBit) | (next & kLowerBits);
    // The matrix where the low bit is set, as a mask rather than a branch: loops of this vectorise.
    return far ^ (y >> 1) ^ ((0u - (y & 1u)) & kTwistMatrix);
}

}  // namespace

MersenneTwister32::MersenneTwister32(std::uint32_t seed) {
    state_[0] = seed;
    for (std::uint32_t i = 1; i < kStateSize; ++i)
        state_[i] = 1812433253u * (state_[i - 1] ^ (state_[i - 1] >> 30)) + i;
}

void MersenneTwister32::refill() {
    constexpr std::size_t kWrap = kStateSize - kShift;
    // Whole groups of four words first, so the compiler can vectorise the loop.
    constexpr std::size_t kWrapGroups = kWrap - kWrap % 4;
    for (std::size_t i = 0; i < kWrapGroups; ++i)
        state_[i] = twist(state_[i], state_[i + 1], state_[i + kShift]);
    for (std::size_t i = kWrapGroups; i < kWrap; ++i)
        state_[i] = twist(state_[i], state_[i + 1], state_[i + kShift]);
    for (std::size_t i = kWrap; i < kStateSize - 1; ++i)
        state_[i] = twist(state_[i], state_[i + 1], state_[i - kWrap]);
    state_[kStateSize - 1] = twist(state_[kStateSize - 1], state_[0], state_[kShift - 1]);
    for (std::size_t i = 0; i < kStateSize; ++i) {
        std::uint32_t y = state_[i];
        y ^= y >> 11;
        y ^= (y << 7) & 0x9d2c5680u;
        y ^= (y << 15) & 0xefc60000u;
        y ^= y >> 18;
        outputs_[i] = y;
    }
    next_ = 0;
}

std::span<const std::uint32_t> MersenneTwister32::take(std::size_t count) {
    if (next_ == kStateSize) refill();
    const std::size_t start = next_;
    next_ += std::min(count, kStateSize - start);
    return std::span(outputs_).subspan(start, next_ - start);
}

void UniformSource::fillWhite(std::span<double> out) {
    // The engine only ever hands out pairs, and its buffer holds an even number of outputs, so
    // every span taken in pairs holds whole pairs.
    std::size_t done = 0;
    while (done < out.size()) {
        const std::span<const std::uint32_t> words = engine_.take(2 * (out.size() - done));
        for (std::size_t k = 0; k + 1 < words.size(); k += 2) out[done++] = 2.0 * unit(words[k], words[k + 1]) - 1.0;
    }
}

double nextBrownNoise(double& state, double white) {
    state = std::clamp(state + 0.02 * white, -1.0, 1.0);
    return state;
}

}  // namespace quellwave
