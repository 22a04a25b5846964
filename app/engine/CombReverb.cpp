#include "app/engine/CombReverb.hpp"

#include <algorithm>
#include <cmath>
#include <cstddef>

namespace quellwave {

namespace {

constexpr double kFullScale = 32767.0;

// A feedback comb: keeps its last `delay` outputs in a ring.
class FeedbackComb {
public:
    FeedbackComb(std::size_t delay, double gain) : line_(delay, 0.0), gain_(gain) {}

    double process(double input) {
        const double output = input + gain_ * line_[position_];
        line_[position_] = output;
        if (++position_ == line_.size()) position_ = 0;
        return output;
    }

private:
    std::vector<double> line_;
    std::size_t position_ = 0;
    double gain_;
};

// A delay shorter than one sample would feed a sample back into itself: one sample is the
// shortest line there is. An echo later than the signal's end is never heard, so no line needs
// to be longer than the signal (a damaged file may claim any sample rate).
std::size_t delayLineLength(unsigned sampleRate, double seconds, std::size_t signalLength) {
    const double samples = std::floor(sampleRate * seconds);
    if (samples >= static_cast<double>(signalLength)) return std::max<std::size_t>(1, signalLength);
    return std::max<std::size_t>(1, static_cast<std::size_t>(samples));
}

}  // namespace

std::vector<double> combFilterBank(std::span<const double> signal, unsigned sampleRate,
                                   std::span<const double> delays,
                                   std::span<const double> gains) {
    const std::size_t branchCount = std::min(delays.size(), gains.size());
    std::vector<double> output(signal.size(), 0.0);
    if (branchCount == 0) return output;
    for (std::size_t j = 0; j < branchCount; ++j) {
        FeedbackComb comb(delayLineLength(sampleRate, delays[j], signal.size()), gains[j]);
        for (std::size_t n = 0; n < signal.size(); ++n) output[n] += comb.process(signal[n]);
    }
    for (auto& value : output) value /= static_cast<double>(branchCount);
    return output;
}

std::vector<std::int16_t> reverbChannel(std::span<const std::int16_t> samples,
                                        unsigned sampleRate, std::span<const double> delays,
                                        std::span<const double> gains) {
    std::vector<double> signal(samples.size());
    std::transform(samples.begin(), samples.end(), signal.begin(),
                   [](std::int16_t sample) { return sample / kFullScale; });
    const std::vector<double> wet = combFilterBank(signal, sampleRate, delays, gains);
    std::vector<std::int16_t> output(wet.size());
    std::transform(wet.begin(), wet.end(), output.begin(), [](double value) {
        return static_cast<std::int16_t>(std::clamp(value, -1.0, 1.0) * kFullScale);
    });
    return output;
}

std::vector<std::int16_t> applyStereoReverb(std::span<const std::int16_t> samples,
                                            unsigned sampleRate, std::span<const double> delays,
                                            std::span<const double> gains) {
    std::vector<std::int16_t> left;
    std::vector<std::int16_t> right;
    left.reserve(samples.size() / 2 + 1);
    right.reserve(samples.size() / 2);
    for (std::size_t i = 0; i < samples.size(); ++i) (i % 2 == 0 ? left : right).push_back(samples[i]);

    const std::vector<std::int16_t> wetLeft = reverbChannel(left, sampleRate, delays, gains);
    const std::vector<std::int16_t> wetRight = reverbChannel(right, sampleRate, delays, gains);
    std::vector<std::int16_t> output(samples.size());
    for (std::size_t i = 0; i < output.size(); ++i) {
        output[i] = i % 2 == 0 ? wetLeft[i / 2] : wetRight[i / 2];
    }
    return output;
}

}  // namespace quellwave
