// Four- and eight-lane vectors in the narrower paths stay inside inlined code.
#pragma GCC diagnostic ignored "-Wpsabi"

#include "app/engine/BlockConversion.hpp"

#include <algorithm>
#include <cmath>

#include "app/engine/WideLanes.hpp"

namespace quellwave {
namespace {

template <std::size_t Lanes>
struct SampleLanes;
template <>
struct SampleLanes<2> {
    using Doubles = double __attribute__((vector_size(16)));
    using Words = std::int32_t __attribute__((vector_size(8)));
    using Halves = std::int16_t __attribute__((vector_size(4)));
};
template <>
struct SampleLanes<8> {
    using Doubles = double __attribute__((vector_size(64)));
    using Words = std::int32_t __attribute__((vector_size(32)));
    using Halves = std::int16_t __attribute__((vector_size(16)));
};
template <>
struct SampleLanes<4> {
    using Doubles = double __attribute__((vector_size(32)));
    using Words = std::int32_t __attribute__((vector_size(16)));
    using Halves = std::int16_t __attribute__((vector_size(8)));
};

// The largest magnitude of the samples, NaN left out, and every sample divided by it where it
// exceeds 1; then each sample clamped to [-1, 1], NaN made 0, scaled and truncated. Lanes take
// several samples at once; the order in which a maximum is taken cannot change it.
template <std::size_t Lanes>
[[gnu::always_inline]] inline void convertLanes(std::span<double> block, std::span<std::int16_t> out) {
    using Doubles = typename SampleLanes<Lanes>::Doubles;
    using Words = typename SampleLanes<Lanes>::Words;
    using Halves = typename SampleLanes<Lanes>::Halves;
    const std::size_t groups = block.size() / Lanes * Lanes;
    Doubles peaks{};
    for (std::size_t i = 0; i < groups; i += Lanes) {
        Doubles samples;
        __builtin_memcpy(&samples, &block[i], sizeof samples);
        const Doubles magnitudes = samples < 0.0 ? -samples : samples;
        peaks = magnitudes > peaks ? magnitudes : peaks;  // false for NaN
    }
    double peak = 0.0;
    for (std::size_t k = 0; k < Lanes; ++k) peak = std::max(peak, peaks[k]);
    for (std::size_t i = groups; i < block.size(); ++i) peak = std::max(peak, std::fabs(block[i]));  // NaN kept out

    const double divisor = peak;
    const bool divide = peak > 1.0;
    const std::size_t count = std::min(block.size(), out.size());
    const std::size_t countGroups = count / Lanes * Lanes;
    for (std::size_t i = 0; i < countGroups; i += Lanes) {
        Doubles sample;
        __builtin_memcpy(&sample, &block[i], sizeof sample);
        if (divide) {
            sample /= divisor;
            __builtin_memcpy(&block[i], &sample, sizeof sample);
        }
        sample = sample < -1.0 ? Doubles{} - 1.0 : sample;
        sample = sample > 1.0 ? Doubles{} + 1.0 : sample;
        sample = sample == sample ? sample : Doubles{};
        const Halves pcm = __builtin_convertvector(__builtin_convertvector(sample * 32767.0, Words), Halves);
        __builtin_memcpy(&out[i], &pcm, sizeof pcm);
    }
    for (std::size_t i = countGroups; i < block.size(); ++i) {
        if (divide) block[i] /= divisor;
        if (i >= count) continue;
        double sample = block[i];
        sample = sample < -1.0 ? -1.0 : sample;
        sample = sample > 1.0 ? 1.0 : sample;
        sample = sample == sample ? sample : 0.0;
        out[i] = static_cast<std::int16_t>(static_cast<std::int32_t>(sample * 32767.0));
    }
}

[[gnu::target("avx2")]] void convertWide(std::span<double> block, std::span<std::int16_t> out) {
    convertLanes<4>(block, out);
}

[[gnu::target("avx2,avx512f")]] void convertWidest(std::span<double> block, std::span<std::int16_t> out) {
    convertLanes<8>(block, out);
}

}  // namespace

void normaliseToPcm16(std::span<double> block, std::span<std::int16_t> out) {
    if (widestLanes())
        convertWidest(block, out);
    else if (wideLanes())
        convertWide(block, out);
    else
        convertLanes<2>(block, out);
}

}  // namespace quellwave
