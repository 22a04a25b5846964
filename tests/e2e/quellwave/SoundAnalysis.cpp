#include "tests/e2e/quellwave/SoundAnalysis.hpp"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace quellwave::e2e {
namespace {

constexpr double kFullScale = 32768.0;

// Magnitude of one frequency in a real signal, Hann-windowed, normalised so that a sine of
// amplitude A reads about A / 2.
double goertzel(std::span<const double> signal, double hz, unsigned rate) {
    const double w = 2.0 * std::numbers::pi * hz / rate;
    const double coefficient = 2.0 * std::cos(w);
    double s1 = 0.0;
    double s2 = 0.0;
    const std::size_t n = signal.size();
    for (std::size_t i = 0; i < n; ++i) {
        const double hann = 0.5 - 0.5 * std::cos(2.0 * std::numbers::pi * i / (n - 1));
        const double s0 = signal[i] * hann + coefficient * s1 - s2;
        s2 = s1;
        s1 = s0;
    }
    const double power = s1 * s1 + s2 * s2 - coefficient * s1 * s2;
    return std::sqrt(std::max(0.0, power)) / (n / 2.0);
}

}  // namespace

StereoRecording::StereoRecording(std::vector<std::int16_t> interleaved, unsigned rate)
    : samples_(std::move(interleaved)), rate_(rate) {
    samples_.resize(samples_.size() / 2 * 2);
}

std::size_t StereoRecording::frameAt(double seconds) const {
    if (seconds <= 0.0) return 0;
    return std::min(frames(), static_cast<std::size_t>(seconds * rate_));
}

double StereoRecording::rms(double from, double to) const {
    const std::size_t begin = frameAt(from);
    const std::size_t end = frameAt(to);
    if (end <= begin) return 0.0;
    double sum = 0.0;
    for (std::size_t i = 2 * begin; i < 2 * end; ++i) {
        const double x = samples_[i] / kFullScale;
        sum += x * x;
    }
    return std::sqrt(sum / (2.0 * (end - begin)));
}

std::optional<double> StereoRecording::onset(double threshold, double window) const {
    for (double t = 0.0; t + window <= seconds(); t += window) {
        if (rms(t, t + window) > threshold) return t;
    }
    return std::nullopt;
}

double StereoRecording::beatBetweenChannels(double from, double to, double lowHz, double highHz, double stepHz) const {
    // The product of the channels holds the difference of their tones (the beat) and their sum;
    // averaging blocks of a millisecond keeps the beat and brings the work down a thousandfold.
    const std::size_t begin = frameAt(from);
    const std::size_t end = frameAt(to);
    const std::size_t block = std::max<std::size_t>(1, rate_ / 1000);
    std::vector<double> product;
    for (std::size_t start = begin; start + block <= end; start += block) {
        double sum = 0.0;
        for (std::size_t i = start; i < start + block; ++i) {
            sum += samples_[2 * i] / kFullScale * (samples_[2 * i + 1] / kFullScale);
        }
        product.push_back(sum / block);
    }
    if (product.size() < 2) return 0.0;
    const unsigned productRate = rate_ / static_cast<unsigned>(block);
    double bestHz = lowHz;
    double bestLevel = -1.0;
    for (double hz = lowHz; hz <= highHz; hz += stepHz) {
        const double level = goertzel(product, hz, productRate);
        if (level > bestLevel) {
            bestLevel = level;
            bestHz = hz;
        }
    }
    return bestHz;
}

double StereoRecording::toneLevel(int channel, double hz, double from, double to) const {
    const std::size_t begin = frameAt(from);
    const std::size_t end = frameAt(to);
    std::vector<double> signal;
    for (std::size_t i = begin; i < end; ++i) signal.push_back(samples_[2 * i + channel] / kFullScale);
    if (signal.size() < 2) return 0.0;
    return goertzel(signal, hz, rate_);
}

StereoRecording::ToneWindow StereoRecording::loudestToneWindow(int channel, double hz, double from, double to,
                                                               double length) const {
    ToneWindow best{from, 0.0};
    for (double start = from; start + length <= to; start += length / 4.0) {
        const double level = toneLevel(channel, hz, start, start + length);
        if (level > best.level) best = {start, level};
    }
    return best;
}

}  // namespace quellwave::e2e
