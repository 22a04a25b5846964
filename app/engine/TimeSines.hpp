#pragma once

#include <array>
#include <cmath>
#include <cstddef>
#include <span>
#include <utility>

#include "app/engine/PhaseSine.hpp"
#include "app/engine/WideLanes.hpp"

namespace quellwave {

// Sines of the session time t at fixed angular frequencies, sin(w t), one value per frame.
// restart() sets them exactly at a block's first frame; within the block they advance by
// rotation, which costs a few multiplications per frame instead of one sine call per frequency
// and keeps them accurate to about 1e-12 over a block. Only the sines a block reads need to
// move: restart() is told which; the others may keep their first-frame value for the block. Two
// sines move at once, or four where the machine has AVX2, lane by lane with the same operations as
// one alone.
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

    // Every sine of one frame, in the order that restart() put them in.
    using Frame = std::array<DoublePair, (N + 1) / 2>;

    // Sine i of a frame that fill() wrote.
    double of(const Frame& frame, std::size_t i) const { return frame[slot_[i] / 2][slot_[i] % 2]; }

    // The sines of the next frames.size() frames, one frame after another, moving them on as
    // often.
    void fill(std::span<Frame> frames) {
        if (movingPairs_ > 0 && wideLanes()) return fillWide(frames);
        switch (movingPairs_) {
            case 0: return fillMoving<0>(frames);
            case 1: return fillMoving<1>(frames);
            case 2: return fillMoving<2>(frames);
            case 3: return fillMoving<3>(frames);
            default: return fillMoving<kPairs>(frames);
        }
    }

private:
    static constexpr std::size_t kPairs = (N + 1) / 2;
    static_assert(kPairs <= 4);
    static constexpr std::size_t kQuads = kPairs / 2;
    static_assert(kPairs % 2 == 0, "four lanes hold two whole pairs");

    // fill() four lanes at a time: two pairs move as one vector, so a pair that need not move may
    // move along with one that must.
    [[gnu::target("avx2")]] void fillWide(std::span<Frame> frames) {
        if (movingPairs_ <= 2) return fillQuads(frames, std::make_index_sequence<1>{});
        return fillQuads(frames, std::make_index_sequence<kQuads>{});
    }

    // Moves quads Q... and writes every quad of every frame; the quads are kept in registers.
    template <std::size_t... Q>
    [[gnu::target("avx2"), gnu::always_inline]] void fillQuads(std::span<Frame> frames, std::index_sequence<Q...>) {
        std::array<DoubleQuad, kQuads> sin;
        std::array<DoubleQuad, kQuads> cos;
        std::array<DoubleQuad, kQuads> stepSin;
        std::array<DoubleQuad, kQuads> stepCos;
        for (std::size_t q = 0; q < kQuads; ++q) {
            sin[q] = quadOf(sin_, q);
            cos[q] = quadOf(cos_, q);
            stepSin[q] = quadOf(stepSin_, q);
            stepCos[q] = quadOf(stepCos_, q);
        }
        for (Frame& frame : frames) {
            for (std::size_t q = 0; q < kQuads; ++q) setQuad(frame, q, sin[q]);
            (rotate(sin[Q], cos[Q], stepSin[Q], stepCos[Q]), ...);
        }
        for (std::size_t q = 0; q < kQuads; ++q) {
            setQuad(sin_, q, sin[q]);
            setQuad(cos_, q, cos[q]);
        }
    }

    // Pairs 2 q and 2 q + 1 as one vector. Taken by value, not copied through their addresses, so
    // that the quads stay in registers.
    [[gnu::target("avx2"), gnu::always_inline]] static DoubleQuad quadOf(const Frame& pairs, std::size_t q) {
        DoubleQuad quad;
        __builtin_memcpy(&quad, &pairs[2 * q], sizeof quad);
        return quad;
    }

    [[gnu::target("avx2"), gnu::always_inline]] static void setQuad(Frame& pairs, std::size_t q, DoubleQuad quad) {
        __builtin_memcpy(&pairs[2 * q], &quad, sizeof quad);
    }

    // fill() with the count of moving pairs fixed, so that the sines stay in registers.
    template <std::size_t Moving>
    void fillMoving(std::span<Frame> frames) {
        fillPairs(frames, std::make_index_sequence<Moving>{});
    }

    template <std::size_t... K>
    void fillPairs(std::span<Frame> frames, std::index_sequence<K...>) {
        Frame sin = sin_;
        Frame cos = cos_;
        for (Frame& frame : frames) {
            frame = sin;
            (rotate(sin[K], cos[K], stepSin_[K], stepCos_[K]), ...);
        }
        sin_ = sin;
        cos_ = cos;
    }

    // One frame on for a pair or a quad of sines.
    template <class Lanes>
    [[gnu::always_inline]] static void rotate(Lanes& sin, Lanes& cos, const Lanes& stepSin, const Lanes& stepCos) {
        const Lanes s = sin * stepCos + cos * stepSin;
        cos = cos * stepCos - sin * stepSin;
        sin = s;
    }

    std::array<std::size_t, N> slot_{};
    std::size_t movingPairs_ = 0;
    std::array<DoublePair, kPairs> sin_{};
    std::array<DoublePair, kPairs> cos_{};
    std::array<DoublePair, kPairs> stepSin_{};
    std::array<DoublePair, kPairs> stepCos_{};
};

}  // namespace quellwave
