#include "app/engine/CombReverb.hpp"

#include <algorithm>
#include <array>
#include <bit>
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

// One branch of the bank: a ring of its last channels * D outputs that starts silent, or no
// ring at all when the echo falls beyond the signal.
class CombBranch {
public:
    CombBranch(std::size_t lineLength, double gain) : line_(lineLength, 0.0), gain_(gain) {}

    // y[i] = x[i] + gain * y[i - line length] for the next x.size() samples, each added to sum[i].
    void addEchoes(std::span<const double> x, std::span<double> sum) {
        if (line_.empty()) {
            for (std::size_t i = 0; i < x.size(); ++i) sum[i] += x[i] + gain_ * 0.0;
            return;
        }
        // In stretches that end where the ring wraps, so that each is one straight loop.
        for (std::size_t done = 0; done < x.size();) {
            const std::size_t length = std::min(x.size() - done, line_.size() - at_);
            echoStretch(x.data() + done, line_.data() + at_, sum.data() + done, length);
            done += length;
            at_ += length;
            if (at_ == line_.size()) at_ = 0;
        }
    }

private:
    // Two samples at a time, lane by lane with the same operations, then the odd one left.
    void echoStretch(const double* __restrict x, double* __restrict line, double* __restrict sum,
                     std::size_t length) const {
        std::size_t i = 0;
        for (; i + 2 <= length; i += 2) {
            const double first = x[i] + gain_ * line[i];
            const double second = x[i + 1] + gain_ * line[i + 1];
            line[i] = first;
            line[i + 1] = second;
            sum[i] += first;
            sum[i + 1] += second;
        }
        if (i < length) {
            const double y = x[i] + gain_ * line[i];
            line[i] = y;
            sum[i] += y;
        }
    }

    std::vector<double> line_;
    std::size_t at_ = 0;
    double gain_;
};

// Every 16-bit sample as a fraction of full scale, exactly as sample / 32767.0 gives it, so that
// a clip's samples are looked up rather than divided.
class FullScaleFractions {
public:
    FullScaleFractions() {
        for (int sample = -32768; sample <= 32767; ++sample) fractions_[index(sample)] = sample / kFullScale;
    }
    double operator()(std::int16_t sample) const { return fractions_[index(sample)]; }

    static const FullScaleFractions& table() {
        static const FullScaleFractions fractions;
        return fractions;
    }

private:
    static std::size_t index(int sample) { return static_cast<std::size_t>(sample + 32768); }
    std::array<double, 65536> fractions_;
};

// The comb bank over `channels` interleaved channels in one pass: for each branch
// y[i] = x[i] + gain * y[i - channels * D], with a line of the branch's last channels * D outputs
// that starts empty; the output is the branches added in order and divided by their count.
// `input(i)` gives x[i]; `output(start, block, length)` takes the results from `start` on, the
// first `length` values of the block (the rest are zeros). The signal goes through in
// blocks that stay in the cache, each branch over a whole block at a time; the division runs over
// whole blocks so that the compiler takes it in lanes, and is a multiplication by the exact
// reciprocal when the count is a power of two (the same result, bit for bit).
constexpr std::size_t kBlock = 1024;
using Block = std::array<double, kBlock>;

template <class Input, class Output>
void combBank(std::size_t count, std::size_t channels, unsigned sampleRate, std::span<const double> delays,
              std::span<const double> gains, Input input, Output output) {
    const std::size_t branchCount = std::min(delays.size(), gains.size());
    Block x;
    Block sum;
    if (branchCount == 0) {
        sum.fill(0.0);
        for (std::size_t start = 0; start < count; start += kBlock) output(start, sum, std::min(kBlock, count - start));
        return;
    }
    const std::size_t channelLength = (count + channels - 1) / channels;
    std::vector<CombBranch> branches;
    branches.reserve(branchCount);
    for (std::size_t j = 0; j < branchCount; ++j) {
        const std::size_t distance = echoDistance(sampleRate, delays[j], channelLength);
        branches.emplace_back(channels * distance, gains[j]);
    }
    const double divisor = static_cast<double>(branchCount);
    const bool exactReciprocal = std::has_single_bit(branchCount);
    const double reciprocal = 1.0 / divisor;
    for (std::size_t start = 0; start < count; start += kBlock) {
        const std::size_t length = std::min(kBlock, count - start);
        for (std::size_t i = 0; i < length; ++i) x[i] = input(start + i);
        sum.fill(0.0);
        for (CombBranch& branch : branches) branch.addEchoes(std::span(x).first(length), sum);
        if (exactReciprocal) {
            for (double& value : sum) value *= reciprocal;
        } else {
            for (double& value : sum) value /= divisor;
        }
        output(start, sum, length);
    }
}

std::vector<double> combBranches(std::span<const double> signal, std::size_t channels, unsigned sampleRate,
                                 std::span<const double> delays, std::span<const double> gains) {
    std::vector<double> wet(signal.size());
    combBank(
        signal.size(), channels, sampleRate, delays, gains, [&](std::size_t i) { return signal[i]; },
        [&](std::size_t start, const Block& block, std::size_t length) {
            std::copy_n(block.begin(), length, wet.begin() + static_cast<std::ptrdiff_t>(start));
        });
    return wet;
}

// 16-bit samples of `channels` interleaved channels through the comb bank, clamped to full scale.
std::vector<std::int16_t> reverbInterleaved(std::span<const std::int16_t> samples, std::size_t channels,
                                            unsigned sampleRate, std::span<const double> delays,
                                            std::span<const double> gains) {
    std::vector<std::int16_t> wet(samples.size());
    const FullScaleFractions& fraction = FullScaleFractions::table();
    combBank(
        samples.size(), channels, sampleRate, delays, gains, [&](std::size_t i) { return fraction(samples[i]); },
        [&](std::size_t start, const Block& block, std::size_t length) {
            // Clamped and truncated over the whole block, so that it goes in lanes; the values
            // lie within 16 bits, so going through 32 bits truncates them alike.
            std::array<std::int32_t, kBlock> truncated;
            for (std::size_t i = 0; i < kBlock; ++i) {
                const double above = block[i] < -1.0 ? -1.0 : block[i];
                const double within = above > 1.0 ? 1.0 : above;  // std::clamp(block[i], -1.0, 1.0)
                truncated[i] = static_cast<std::int32_t>(within * kFullScale);
            }
            std::copy_n(truncated.begin(), length, wet.begin() + static_cast<std::ptrdiff_t>(start));
        });
    return wet;
}

}  // namespace

std::vector<double> combFilterBank(std::span<const double> signal, unsigned sampleRate, std::span<const double> delays,
                                   std::span<const double> gains) {
    return combBranches(signal, 1, sampleRate, delays, gains);
}

std::vector<std::int16_t> reverbChannel(std::span<const std::int16_t> samples, unsigned sampleRate,
                                        std::span<const double> delays, std::span<const double> gains) {
    return reverbInterleaved(samples, 1, sampleRate, delays, gains);
}

std::vector<std::int16_t> applyStereoReverb(std::span<const std::int16_t> samples, unsigned sampleRate,
                                            std::span<const double> delays, std::span<const double> gains) {
    // Left and right lie at even and odd positions; each echoes only itself.
    return reverbInterleaved(samples, 2, sampleRate, delays, gains);
}

}  // namespace quellwave
