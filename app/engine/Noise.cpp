#pragma GCC diagnostic ignored "-Wpsabi"  // vectors of eight and sixteen words stay inside inlined code

#include "app/engine/Noise.hpp"

#include <algorithm>
#include <utility>

#include "app/engine/WideLanes.hpp"

namespace quellwave {
namespace {

constexpr std::uint32_t kUpperBit = 0x80000000u;
constexpr std::uint32_t kLowerBits = 0x7fffffffu;
constexpr std::uint32_t kTwistMatrix = 0x9908b0dfu;

// Sixteen words (eight doubles) at a time where the machine has AVX-512, eight (four) where it has
// AVX2, four (two) elsewhere.
using WidestWords = std::uint32_t __attribute__((vector_size(64)));
using WideWords = std::uint32_t __attribute__((vector_size(32)));
using NarrowWords = std::uint32_t __attribute__((vector_size(16)));

template <class Words>
[[gnu::always_inline]] inline Words loadWords(const std::uint32_t* from) {
    Words words;
    __builtin_memcpy(&words, from, sizeof words);
    return words;
}

// Value is one word or a vector of words, each lane twisted as one word alone.
template <class Value>
[[gnu::always_inline]] inline Value twist(const Value& current, const Value& next, const Value& far) {
    const Value y = (current & kUpperBit) | (next & kLowerBits);
    // The matrix where the low bit is set, as a mask rather than a branch.
    return far ^ (y >> 1) ^ ((0u - (y & 1u)) & kTwistMatrix);
}

template <class Value>
[[gnu::always_inline]] inline Value temper(const Value& word) {
    Value y = word;
    y ^= y >> 11;
    y ^= (y << 7) & 0x9d2c5680u;
    y ^= (y << 15) & 0xefc60000u;
    y ^= y >> 18;
    return y;
}

// The next 624 states and their outputs. A lane group reads states at and after its own, which
// are not yet new, and states a whole shift behind, which are.
template <class Words>
[[gnu::always_inline]] inline void refillLanes(std::uint32_t* state, std::uint32_t* outputs) {
    constexpr std::size_t kLanes = sizeof(Words) / sizeof(std::uint32_t);
    constexpr std::size_t kSize = 624;
    constexpr std::size_t kShift = 397;
    constexpr std::size_t kWrap = kSize - kShift;
    constexpr std::size_t kFirstGroupsEnd = kWrap / kLanes * kLanes;
    constexpr std::size_t kSecondGroupsEnd = kWrap + (kSize - 1 - kWrap) / kLanes * kLanes;
    for (std::size_t i = 0; i < kFirstGroupsEnd; i += kLanes) {
        const Words next =
            twist(loadWords<Words>(state + i), loadWords<Words>(state + i + 1), loadWords<Words>(state + i + kShift));
        __builtin_memcpy(state + i, &next, sizeof next);
    }
    for (std::size_t i = kFirstGroupsEnd; i < kWrap; ++i) state[i] = twist(state[i], state[i + 1], state[i + kShift]);
    for (std::size_t i = kWrap; i < kSecondGroupsEnd; i += kLanes) {
        const Words next =
            twist(loadWords<Words>(state + i), loadWords<Words>(state + i + 1), loadWords<Words>(state + i - kWrap));
        __builtin_memcpy(state + i, &next, sizeof next);
    }
    if constexpr (kSecondGroupsEnd < kSize - 1) {
        for (std::size_t i = kSecondGroupsEnd; i < kSize - 1; ++i)
            state[i] = twist(state[i], state[i + 1], state[i - kWrap]);
    }
    state[kSize - 1] = twist(state[kSize - 1], state[0], state[kShift - 1]);
    static_assert(kSize % kLanes == 0);
    for (std::size_t i = 0; i < kSize; i += kLanes) {
        const Words tempered = temper(loadWords<Words>(state + i));
        __builtin_memcpy(outputs + i, &tempered, sizeof tempered);
    }
}

[[gnu::target("avx2")]] void refillWide(std::uint32_t* state, std::uint32_t* outputs) {
    refillLanes<WideWords>(state, outputs);
}

[[gnu::target("avx2,avx512f")]] void refillWidest(std::uint32_t* state, std::uint32_t* outputs) {
    refillLanes<WidestWords>(state, outputs);
}

// White samples 2 u - 1 from the first whole lane groups of pairs of words, u as UniformSource
// builds it; returns how many pairs it took. The 53-bit integer b 2^21 + floor(a / 2^11) is put
// together in doubles: b as a signed word plus 2^31, times 2^21, plus the low part; every step is
// exact, so the double is the integer's own.
template <std::size_t Lanes>
struct WhiteLanes;
template <>
struct WhiteLanes<8> {
    using Half = std::uint32_t __attribute__((vector_size(32)));
    using Signed = std::int32_t __attribute__((vector_size(32)));
    using Doubles = double __attribute__((vector_size(64)));
};
template <>
struct WhiteLanes<4> {
    using Half = std::uint32_t __attribute__((vector_size(16)));
    using Signed = std::int32_t __attribute__((vector_size(16)));
    using Doubles = double __attribute__((vector_size(32)));
};
template <>
struct WhiteLanes<2> {
    using Half = std::uint32_t __attribute__((vector_size(8)));
    using Signed = std::int32_t __attribute__((vector_size(8)));
    using Doubles = double __attribute__((vector_size(16)));
};

// The words at First, First + 2, First + 4, ... of words.
template <class Half, std::size_t First, class Words, std::size_t... I>
[[gnu::always_inline]] inline Half everyOtherWord(const Words& words, std::index_sequence<I...>) {
    return __builtin_shufflevector(words, words, (First + 2 * I)...);
}

template <class Words>
[[gnu::always_inline]] inline std::size_t whitesFromWords(const std::uint32_t* words, std::size_t pairs, double* out) {
    constexpr std::size_t kLanes = sizeof(Words) / sizeof(std::uint32_t) / 2;
    using Half = typename WhiteLanes<kLanes>::Half;
    using Signed = typename WhiteLanes<kLanes>::Signed;
    using Doubles = typename WhiteLanes<kLanes>::Doubles;
    std::size_t k = 0;
    for (; k + kLanes <= pairs; k += kLanes) {
        const Words both = loadWords<Words>(words + 2 * k);
        const Half low = everyOtherWord<Half, 0>(both, std::make_index_sequence<kLanes>());
        const Half high = everyOtherWord<Half, 1>(both, std::make_index_sequence<kLanes>());
        const Doubles a = __builtin_convertvector(reinterpret_cast<Signed>(low >> 11), Doubles);
        const Doubles b = __builtin_convertvector(reinterpret_cast<Signed>(high ^ kUpperBit), Doubles) + 2147483648.0;
        const Doubles unit = (b * 2097152.0 + a) * 0x1p-53;
        const Doubles white = 2.0 * unit - 1.0;
        __builtin_memcpy(out + k, &white, sizeof white);
    }
    return k;
}

[[gnu::target("avx2")]] std::size_t whitesWide(const std::uint32_t* words, std::size_t pairs, double* out) {
    return whitesFromWords<WideWords>(words, pairs, out);
}

[[gnu::target("avx2,avx512f")]] std::size_t whitesWidest(const std::uint32_t* words, std::size_t pairs, double* out) {
    return whitesFromWords<WidestWords>(words, pairs, out);
}

// The first whole lane groups of whitesFromWords on the widest lanes the machine offers; returns
// how many pairs it took.
std::size_t whitesInLanes(const std::uint32_t* words, std::size_t pairs, double* out) {
    if (widestLanes()) return whitesWidest(words, pairs, out);
    if (wideLanes()) return whitesWide(words, pairs, out);
    return whitesFromWords<NarrowWords>(words, pairs, out);
}

}  // namespace

MersenneTwister32::MersenneTwister32(std::uint32_t seed) {
    state_[0] = seed;
    for (std::uint32_t i = 1; i < kStateSize; ++i)
        state_[i] = 1812433253u * (state_[i - 1] ^ (state_[i - 1] >> 30)) + i;
}

void MersenneTwister32::refill() {
    if (widestLanes())
        refillWidest(state_.data(), outputs_.data());
    else if (wideLanes())
        refillWide(state_.data(), outputs_.data());
    else
        refillLanes<NarrowWords>(state_.data(), outputs_.data());
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
        const std::size_t pairs = words.size() / 2;
        std::size_t k = whitesInLanes(words.data(), pairs, &out[done]);
        for (; k < pairs; ++k) out[done + k] = 2.0 * unit(words[2 * k], words[2 * k + 1]) - 1.0;
        done += pairs;
    }
}

}  // namespace quellwave
