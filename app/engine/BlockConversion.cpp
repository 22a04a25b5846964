#include "app/engine/BlockConversion.hpp"

#include <algorithm>
#include <cmath>

#include "app/engine/PhaseSine.hpp"

namespace quellwave {
namespace {

// The largest magnitude of the samples, NaN left out. Two lanes look at once; the order in which
// a maximum is taken cannot change it.
double largestMagnitude(std::span<const double> block) {
    DoublePair peaks{0.0, 0.0};
    const std::size_t pairs = block.size() / 2;
    for (std::size_t i = 0; i < pairs; ++i) {
        const DoublePair samples{block[2 * i], block[2 * i + 1]};
        const DoublePair magnitudes = samples < 0.0 ? -samples : samples;
        peaks = magnitudes > peaks ? magnitudes : peaks;  // false for NaN
    }
    double peak = std::max(peaks[0], peaks[1]);
    if (block.size() % 2 != 0) peak = std::max(peak, std::fabs(block.back()));
    return peak;
}

}  // namespace

void normaliseToPcm16(std::span<double> block, std::span<std::int16_t> out) {
    const double peak = largestMagnitude(block);
    if (peak > 1.0)
        for (double& sample : block) sample /= peak;
    const std::size_t count = std::min(block.size(), out.size());
    for (std::size_t i = 0; i < count; ++i) {
        // Clamped to [-1, 1] and NaN made 0, without branches so that the loop vectorises.
        double sample = block[i];
        sample = sample < -1.0 ? -1.0 : sample;
        sample = sample > 1.0 ? 1.0 : sample;
        sample = sample == sample ? sample : 0.0;
        out[i] = static_cast<std::int16_t>(static_cast<std::int32_t>(sample * 32767.0));
    }
}

}  // namespace quellwave
