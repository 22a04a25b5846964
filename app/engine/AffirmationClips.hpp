#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

namespace quellwave {

// Where the twelve affirmation recordings lie in the decoded data file: one after the other,
// with one second of silence between them.
struct ClipTable {
    static constexpr std::size_t kClipCount = 12;
    static constexpr double kGapSeconds = 1.0;
    static constexpr std::array<double, kClipCount> kDurations{4.0, 3.5, 4.0, 4.0, 4.5, 4.0,
                                                               4.5, 3.5, 3.0, 4.0, 4.0, 4.0};

    // Start of clip k in seconds: 0.0, 5.0, 9.5, ... 54.0.
    static constexpr double start(std::size_t clip) {
        double seconds = 0.0;
        for (std::size_t k = 0; k < clip; ++k) seconds += kDurations[k] + kGapSeconds;
        return seconds;
    }
    static constexpr double duration(std::size_t clip) { return kDurations[clip]; }

    // Seconds of audio the file must hold for the last clip to be whole (58.0).
    static constexpr double totalSeconds() { return start(kClipCount - 1) + kDurations[kClipCount - 1]; }
};

// The interleaved samples of one clip, within `samples`: from frame floor(rate * start) on, for
// floor(rate * duration) frames, cut short at the end of the samples; a clip that would start at
// or beyond the end is empty.
std::span<const std::int16_t> cutClip(std::span<const std::int16_t> samples, unsigned sampleRate, unsigned channelCount,
                                      double startSeconds, double durationSeconds);

}  // namespace quellwave
