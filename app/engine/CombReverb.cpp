#include "app/engine/CombReverb.hpp"

#include <algorithm>
#include <cmath>
#include <cstddef>

namespace quellwave {

namespace {

constexpr double kFullScale = 32767.0;

// The echo distance of one branch in samples of one channel: a delay shorter than one sample
// would feed a sample back into itself, so one sample is the shortest there is. An echo later
// than the signal's end is never heard (a damaged file may claim any sample rate): 0 then.
std::size_t echoDistance(unsigned sampleRate, double seconds, std::size_t channelLength) {
    const double samples = std::floor(sampleRate * seconds);
    if (samples >= static_cast<double>(channelLength)) return 0;
    return std::max<std::size_t>(1, static_cast<std::size_t>(samples));
}

// The comb bank over `channels` interleaved channels in one pass: for each branch
// y[i] = x[i] + gain * y[i - channels * D], with a line of the branch's last channels * D outputs
// that starts empty; the output is the branches added in order and divided by their count.
// `input(i)` gives x[i] and `output(i, value)` takes the result.
template <class Input, class Output>
void combBank(std::size_t count, std::size_t channels, unsigned sampleRate, std::span<const double> delays,
              std::span<const double> gains, Input input, Output output) {
    struct Branch {
        std::vector<double> line;  // empty: the echo falls beyond the signal
        std::size_t at = 0;
        double gain = 0.0;
    };
    const std::size_t branchCount = std::min(delays.size(), gains.size());
    if (branchCount == 0) {
        for (std::size_t i = 0; i < count; ++i) output(i, 0.0);
        return;
    }
    const std::size_t channelLength = (count + channels - 1) / channels;
    std::vector<Branch> branches(branchCount);
    for (std::size_t j = 0; j < branchCount; ++j) {
        const std::size_t distance = echoDistance(sampleRate, delays[j], channelLength);
        branches[j].line.assign(distance == 0 ? 0 : channels * distance, 0.0);
        branches[j].gain = gains[j];
    }
    const double divisor = static_cast<double>(branchCount);
    for (std::size_t i = 0; i < count; ++i) {
        const double x = input(i);
        double sum = 0.0;
        for (Branch& branch : branches) {
            if (branch.line.empty()) {
                sum += x + branch.gain * 0.0;
                continue;
            }
            const double y = x + branch.gain * branch.line[branch.at];
            branch.line[branch.at] = y;
            if (++branch.at == branch.line.size()) branch.at = 0;
            sum += y;
        }
        output(i, sum / divisor);
    }
}

std::vector<double> combBranches(std::span<const double> signal, std::size_t channels, unsigned sampleRate,
                                 std::span<const double> delays, std::span<const double> gains) {
    std::vector<double> wet(signal.size());
    combBank(signal.size(), channels, sampleRate, delays, gains, [&](std::size_t i) { return signal[i]; },
             [&](std::size_t i, double value) { wet[i] = value; });
    return wet;
}

// 16-bit samples of `channels` interleaved channels through the comb bank, clamped to full scale.
std::vector<std::int16_t> reverbInterleaved(std::span<const std::int16_t> samples, std::size_t channels,
                                            unsigned sampleRate, std::span<const double> delays,
                                            std::span<const double> gains) {
    std::vector<std::int16_t> wet(samples.size());
    combBank(
        samples.size(), channels, sampleRate, delays, gains, [&](std::size_t i) { return samples[i] / kFullScale; },
        [&](std::size_t i, double value) {
            wet[i] = static_cast<std::int16_t>(std::clamp(value, -1.0, 1.0) * kFullScale);
        });
    return wet;
}

}  // namespace

std::vector<double> combFilterBank(std::span<const double> signal, unsigned sampleRate,
                                   std::span<const double> delays,
                                   std::span<const double> gains) {
    return combBranches(signal, 1, sampleRate, delays, gains);
}

std::vector<std::int16_t> reverbChannel(std::span<const std::int16_t> samples,
                                        unsigned sampleRate, std::span<const double> delays,
                                        std::span<const double> gains) {
    return reverbInterleaved(samples, 1, sampleRate, delays, gains);
}

std::vector<std::int16_t> applyStereoReverb(std::span<const std::int16_t> samples,
                                            unsigned sampleRate, std::span<const double> delays,
                                            std::span<const double> gains) {
    // Left and right lie at even and odd positions; each echoes only itself.
    return reverbInterleaved(samples, 2, sampleRate, delays, gains);
}

}  // namespace quellwave
