#pragma once

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

namespace quellwave {

// The 32-bit Mersenne Twister: the same sequence as std::mt19937 for the same seed, refilled and
// tempered 624 outputs at a time in plain loops the compiler can vectorise.
class MersenneTwister32 {
public:
    explicit MersenneTwister32(std::uint32_t seed);

    std::uint32_t operator()() {
        if (next_ == kStateSize) refill();
        return outputs_[next_++];
    }

    // The next outputs in order, as many as are ready at once: at most count, at least one.
    std::span<const std::uint32_t> take(std::size_t count);

private:
    static constexpr std::size_t kStateSize = 624;
    static constexpr std::size_t kShift = 397;

    void refill();

    std::array<std::uint32_t, kStateSize> state_{};
    std::array<std::uint32_t, kStateSize> outputs_{};
    std::size_t next_ = kStateSize;
};

// Uniform numbers from one 32-bit Mersenne Twister: u in [0, 1) is built from two successive
// outputs a and b as (b * 2^21 + floor(a / 2^11)) * 2^-53, so the 53 bits of a double are all
// random and the sequence is the same on every platform for a given seed.
class UniformSource {
public:
    explicit UniformSource(std::uint32_t seed) : engine_(seed) {}

    double nextUnit() {
        const std::uint32_t a = engine_();
        return unit(a, engine_());
    }

    // White noise in [-1, 1).
    double nextWhite() { return 2.0 * nextUnit() - 1.0; }

    // As many white samples as out holds, the values that as many nextWhite() calls give.
    void fillWhite(std::span<double> out);

private:
    static double unit(std::uint64_t a, std::uint64_t b) {
        // Below 2^53, so the signed conversion is exact and needs no unsigned fix-up.
        return static_cast<double>(static_cast<std::int64_t>((b << 21) + (a >> 11))) * 0x1p-53;
    }

    MersenneTwister32 engine_;
};

// Five-pole pink noise filter (about -3 dB per octave). Value is double for one channel or
// DoublePair for both ears at once, each lane filtered as a double alone would be.
template <class Value>
class PinkFilter {
public:
    // The pink sample for one white sample.
    Value next(Value w) {
        auto& b = poles_;
        b[0] = 0.99886 * b[0] + 0.0555179 * w;
        b[1] = 0.99332 * b[1] + 0.0750759 * w;
        b[2] = 0.969 * b[2] + 0.153852 * w;
        b[3] = 0.8665 * b[3] + 0.3104856 * w;
        b[4] = 0.55 * b[4] + 0.5329522 * w;
        return 0.05 * (b[0] + b[1] + b[2] + b[3] + b[4] + 0.2685819 * w);
    }

private:
    std::array<Value, 5> poles_{};
};

using PinkNoiseState = PinkFilter<double>;

// One pink sample, one white draw.
inline double nextPinkNoise(PinkNoiseState& state, UniformSource& source) { return state.next(source.nextWhite()); }

// One brown (random-walk) sample, a step of the given white sample; the walk is clamped to [-1, 1].
inline double nextBrownNoise(double& state, double white) {
    state = std::clamp(state + 0.02 * white, -1.0, 1.0);
    return state;
}

// White noise minus its previous sample (a high-pass texture).
class WhiteDifferenceNoise {
public:
    double next(double white) {
        const double sample = white - previous_;
        previous_ = white;
        return sample;
    }

private:
    double previous_ = 0.0;
};

}  // namespace quellwave
