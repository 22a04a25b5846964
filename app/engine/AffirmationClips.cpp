#include "app/engine/AffirmationClips.hpp"

#include <algorithm>
#include <cmath>

namespace quellwave {

std::span<const std::int16_t> cutClip(std::span<const std::int16_t> samples, unsigned sampleRate, unsigned channelCount,
                                      double startSeconds, double durationSeconds) {
    const auto samplesAt = [&](double seconds) {
        return static_cast<std::uint64_t>(std::floor(sampleRate * seconds)) * channelCount;
    };
    const std::uint64_t first = samplesAt(startSeconds);
    if (first >= samples.size()) return {};
    const std::uint64_t count = std::min<std::uint64_t>(samplesAt(durationSeconds), samples.size() - first);
    return samples.subspan(static_cast<std::size_t>(first), static_cast<std::size_t>(count));
}

}  // namespace quellwave
