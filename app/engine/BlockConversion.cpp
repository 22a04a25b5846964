#include "app/engine/BlockConversion.hpp"

#include <algorithm>
#include <cmath>

namespace quellwave {

void normaliseToPcm16(std::span<double> block, std::span<std::int16_t> out) {
    double peak = 0.0;
    for (const double sample : block) peak = std::max(peak, std::fabs(sample));
    if (peak > 1.0)
        for (double& sample : block) sample /= peak;
    const std::size_t count = std::min(block.size(), out.size());
    for (std::size_t i = 0; i < count; ++i) {
        const double sample = std::isnan(block[i]) ? 0.0 : std::clamp(block[i], -1.0, 1.0);
        out[i] = static_cast<std::int16_t>(sample * 32767.0);
    }
}

}  // namespace quellwave
