#pragma once
// Several doubles worked on at once, lane by lane with the same operations as one double alone:
// two lanes on every x86-64 machine, four where it has AVX2, eight where it has AVX-512.

namespace quellwave {

using DoublePair = double __attribute__((vector_size(16)));
using DoubleQuad = double __attribute__((vector_size(32)));
using DoubleOctet = double __attribute__((vector_size(64)));

// These helpers are always inlined, so no vector wider than the caller's machine crosses a function
// boundary and the ABI note does not apply.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wpsabi"

// The doubles from `from` on, as many as Lanes holds, as one vector.
template <class Lanes>
[[gnu::always_inline]] inline Lanes loadLanes(const double* from) {
    Lanes value;
    __builtin_memcpy(&value, from, sizeof value);
    return value;
}

// Writes a vector's doubles from `to` on.
template <class Lanes>
[[gnu::always_inline]] inline void storeLanes(double* to, const Lanes& value) {
    __builtin_memcpy(to, &value, sizeof value);
}

// Whole-number lanes as wide as Lanes: bit masks and shuffle indices.
template <class Lanes>
struct LaneWords;
template <>
struct LaneWords<DoublePair> {
    using type = long long __attribute__((vector_size(16)));
};
template <>
struct LaneWords<DoubleQuad> {
    using type = long long __attribute__((vector_size(32)));
};
template <class Lanes>
using LaneBits = typename LaneWords<Lanes>::type;

// value in every lane.
template <class Lanes>
[[gnu::always_inline]] inline Lanes broadcast(double value) {
    return Lanes{} + value;
}

// Writes left[0], right[0], left[1], right[1], ... from `to` on: the two lanes of each frame of a
// run's lanes (see RunLanes), two or four frames at once.
template <class Lanes>
[[gnu::always_inline]] inline void storeFramePairs(double* to, const Lanes& left, const Lanes& right) {
    using Index = LaneBits<Lanes>;
    if constexpr (sizeof(Lanes) == sizeof(DoubleQuad)) {
        storeLanes(to, __builtin_shuffle(left, right, Index{0, 4, 1, 5}));
        storeLanes(to + 4, __builtin_shuffle(left, right, Index{2, 6, 3, 7}));
    } else {
        static_assert(sizeof(Lanes) == sizeof(DoublePair));
        storeLanes(to, __builtin_shuffle(left, right, Index{0, 2}));
        storeLanes(to + 2, __builtin_shuffle(left, right, Index{1, 3}));
    }
}

#pragma GCC diagnostic pop

}  // namespace quellwave
