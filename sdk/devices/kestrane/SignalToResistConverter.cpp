#include "sdk/devices/kestrane/SignalToResistConverter.hpp"

#include <algorithm>
#include <cmath>
#include <limits>

namespace VexaDevice::Kestrane {

namespace {

// Records of a channel's block that each group covers.
constexpr size_t FirstGroupStart = 24;
constexpr size_t SecondGroupStart = 56;
constexpr size_t GroupLength = 8;

constexpr double Infinity = std::numeric_limits<double>::infinity();

}  // namespace

SignalToResistConverter::SignalToResistConverter(const ResistParams& params) : params_(params) {}

size_t SignalToResistConverter::channelCount() const { return std::min<size_t>(params_.channelCount, MaxChannels); }

size_t SignalToResistConverter::windowSize() const { return channelCount() * RecordsPerChannel; }

bool SignalToResistConverter::process(const _SignalData* records, const size_t& count, std::vector<_ResistData>& out) {
    bool evaluated = false;
    for (size_t i = 0; i < count; ++i) {
        const _SignalData& record = records[i];
        if (record.Samples.size() < channelCount()) continue;
        if (record.Marker == WindowMarker) {
            if (windowOpen_ && !window_.empty()) {
                _ResistData resist;
                if (compute(window_, resist)) {
                    out.push_back(std::move(resist));
                    evaluated = true;
                }
            }
            window_.clear();
            window_.reserve(windowSize());
            windowOpen_ = true;
        }
        if (!windowOpen_ || window_.size() >= windowSize()) continue;
        if (!window_.empty() && !follows(record)) {
            reset();
            continue;
        }
        window_.push_back(record);
    }
    return evaluated;
}

bool SignalToResistConverter::follows(const _SignalData& record) const {
    // Record numbers count modulo the pack counter's range.
    const uint32_t counterBits = params_.counterSize >= 1 && params_.counterSize < 4 ? 8 * params_.counterSize : 32;
    const uint32_t mask = counterBits == 32 ? 0xFFFFFFFFu : (uint32_t{1} << counterBits) - 1;
    return ((record.PackNum - window_.back().PackNum) & mask) == 1;
}

void SignalToResistConverter::reset() {
    window_.clear();
    windowOpen_ = false;
}

bool SignalToResistConverter::compute(const std::vector<_SignalData>& window, _ResistData& out) const {
    const size_t channels = channelCount();
    if (window.size() < windowSize()) return false;
    out.PackNum = window.empty() ? 0 : window.front().PackNum;
    for (size_t ch = 0; ch < channels; ++ch) {
        const size_t block = RecordsPerChannel * ch;
        double first = 0.0;
        double second = 0.0;
        bool saturated = false;
        for (size_t k = 0; k < GroupLength; ++k) {
            const double a = window[block + FirstGroupStart + k].Samples.at(ch);
            const double b = window[block + SecondGroupStart + k].Samples.at(ch);
            saturated = saturated || a >= params_.upperLimit[ch] || b <= params_.lowerLimit[ch];
            first += a;
            second += b;
        }
        const double resistance = saturated || std::isinf(first) || std::isinf(second)
                                      ? Infinity
                                      : std::fabs(first * 0.125 - second * 0.125) * 0.5 / params_.current * 0.5;
        out.Samples.push_back(resistance);
    }
    return true;
}

}  // namespace VexaDevice::Kestrane
