#pragma once

#include <algorithm>
#include <array>
#include <cmath>
#include <cstddef>
#include <span>
#include <utility>

#include "app/engine/LaneVectors.hpp"
#include "app/engine/PhaseSine.hpp"
#include "app/engine/WideLanes.hpp"

namespace quellwave {

// Sines of the session time t at fixed angular frequencies, sin(w t), one value per frame.
// restart() sets them exactly at a block's first frame; within the block they advance by
// rotation, which costs a few multiplications per frame instead of one sine call per frequency
// and keeps them accurate to about 1e-12 over a block. Only the sines a block reads need to
// move: restart() is told which, and only theirs are written. Two sines move at once, or four
// where the machine has AVX2, lane by lane with the same operations as one alone. The sines of a
// run of frames are kept one array per sine, so that a reader takes several frames at once.
template <std::size_t N, std::size_t MaxFrames>
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

    // The sines of the next count frames (at most MaxFrames), moving them on as often.
    void fill(std::size_t count) {
        if (movingPairs_ > 0 && wideLanes()) return fillWide(count);
        switch (movingPairs_) {
        case 0: return;
        case 1: return fillPairs(count, std::make_index_sequence<1>{});
        case 2: return fillPairs(count, std::make_index_sequence<std::min<std::size_t>(2, kPairs)>{});
        case 3: return fillPairs(count, std::make_index_sequence<std::min<std::size_t>(3, kPairs)>{});
        default: return fillPairs(count, std::make_index_sequence<kPairs>{});
        }
    }

    // Sine i of the frames that the last fill() wrote, slot 0 first: only a used sine's.
    const double* of(std::size_t i) const { return columns_[slot_[i]].data(); }

private:
    static constexpr std::size_t kPairs = (N + 1) / 2;
    static_assert(kPairs <= 4);
    static constexpr std::size_t kQuads = kPairs / 2;
    static_assert(kPairs % 2 == 0, "four lanes hold two whole pairs");
    using QuadIndex = long long __attribute__((vector_size(32)));

    // fill() four lanes at a time: two pairs move as one vector, so a pair that need not move may
    // move along with one that must.
    [[gnu::target("avx2")]] void fillWide(std::size_t count) {
        if (movingPairs_ <= 2) return fillQuads(count, std::make_index_sequence<1>{});
        return fillQuads(count, std::make_index_sequence<kQuads>{});
    }

    // Moves quads Q..., kept in registers, and writes their sines: four frames of a quad are
    // turned from four sines a frame into four frames a sine and written as such.
    template <std::size_t... Q>
    [[gnu::target("avx2"), gnu::always_inline]] void fillQuads(std::size_t count, std::index_sequence<Q...>) {
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
        std::size_t slot = 0;
        for (; slot + 4 <= count; slot += 4) {
            std::array<std::array<DoubleQuad, 4>, kQuads> frames;  // frames[q][f]: quad q at frame f
#pragma GCC unroll 4
            for (std::size_t f = 0; f < 4; ++f) {
                ((frames[Q][f] = sin[Q]), ...);
                (rotate(sin[Q], cos[Q], stepSin[Q], stepCos[Q]), ...);
            }
            (writeFourFrames(Q, slot, frames[Q]), ...);
        }
        for (; slot < count; ++slot) {
            (writeFrame(Q, slot, sin[Q]), ...);
            (rotate(sin[Q], cos[Q], stepSin[Q], stepCos[Q]), ...);
        }
        for (std::size_t q = 0; q < kQuads; ++q) {
            setQuad(sin_, q, sin[q]);
            setQuad(cos_, q, cos[q]);
        }
    }

    // The sines of quad q at four frames from slot on, each sine's four values in its array.
    [[gnu::target("avx2"), gnu::always_inline]] void writeFourFrames(std::size_t q, std::size_t slot,
                                                                     const std::array<DoubleQuad, 4>& frames) {
        const DoubleQuad evens01 = __builtin_shuffle(frames[0], frames[1], QuadIndex{0, 4, 2, 6});
        const DoubleQuad odds01 = __builtin_shuffle(frames[0], frames[1], QuadIndex{1, 5, 3, 7});
        const DoubleQuad evens23 = __builtin_shuffle(frames[2], frames[3], QuadIndex{0, 4, 2, 6});
        const DoubleQuad odds23 = __builtin_shuffle(frames[2], frames[3], QuadIndex{1, 5, 3, 7});
        storeLanes(&columns_[4 * q][slot], __builtin_shuffle(evens01, evens23, QuadIndex{0, 1, 4, 5}));
        storeLanes(&columns_[4 * q + 1][slot], __builtin_shuffle(odds01, odds23, QuadIndex{0, 1, 4, 5}));
        storeLanes(&columns_[4 * q + 2][slot], __builtin_shuffle(evens01, evens23, QuadIndex{2, 3, 6, 7}));
        storeLanes(&columns_[4 * q + 3][slot], __builtin_shuffle(odds01, odds23, QuadIndex{2, 3, 6, 7}));
    }

    // The sines of one frame, each in its array: lanes 0, 1, ... of quad or pair number group.
    template <class Lanes>
    [[gnu::always_inline]] void writeFrame(std::size_t group, std::size_t slot, const Lanes& sines) {
        constexpr std::size_t kLanes = sizeof(Lanes) / sizeof(double);
        for (std::size_t k = 0; k < kLanes; ++k) columns_[kLanes * group + k][slot] = sines[k];
    }

    // Pairs 2 q and 2 q + 1 as one vector. Taken by value, not copied through their addresses, so
    // that the quads stay in registers.
    using Pairs = std::array<DoublePair, kPairs>;
    [[gnu::target("avx2"), gnu::always_inline]] static DoubleQuad quadOf(const Pairs& pairs, std::size_t q) {
        return loadLanes<DoubleQuad>(&pairs[2 * q][0]);
    }

    [[gnu::target("avx2"), gnu::always_inline]] static void setQuad(Pairs& pairs, std::size_t q, DoubleQuad quad) {
        storeLanes(&pairs[2 * q][0], quad);
    }

    // fill() two lanes at a time with the count of moving pairs fixed, so that the sines stay in
    // registers.
    template <std::size_t... K>
    void fillPairs(std::size_t count, std::index_sequence<K...>) {
        Pairs sin = sin_;
        Pairs cos = cos_;
        for (std::size_t slot = 0; slot < count; ++slot) {
            (writeFrame(K, slot, sin[K]), ...);
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
    Pairs sin_{};
    Pairs cos_{};
    Pairs stepSin_{};
    Pairs stepCos_{};
    alignas(32) std::array<std::array<double, MaxFrames>, 2 * kPairs> columns_{};
};

}  // namespace quellwave
