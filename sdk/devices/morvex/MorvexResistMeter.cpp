#include "sdk/devices/morvex/MorvexResistMeter.hpp"

#include <cmath>
#include <limits>

namespace VexaDevice::Morvex {

namespace {

constexpr double Infinity = std::numeric_limits<double>::infinity();
// Drive current of the test signal, in amperes.
constexpr double TestCurrent = 1.5e-7;

}  // namespace

MorvexResistMeter::MorvexResistMeter() { restart(); }

void MorvexResistMeter::restart() {
    dropValues();
    ohms_.fill(Infinity);
    zeroCount_ = 0;
    firstSample_ = true;
}

void MorvexResistMeter::dropValues() {
    positive_.clear();
    negative_.clear();
    positive_.reserve(ValuesPerPolarity);
    negative_.reserve(ValuesPerPolarity);
}

std::vector<double>& MorvexResistMeter::valuesOf(Polarity polarity) {
    return polarity == Polarity::Positive ? positive_ : negative_;
}

double MorvexResistMeter::meanOfNewest(const std::vector<double>& values) {
    double sum = 0.0;
    for (size_t i = values.size() - MeanWindow; i < values.size(); ++i) sum += values[i];
    return sum / MeanWindow;
}

bool MorvexResistMeter::saturated(const std::vector<double>& values) {
    for (size_t i = values.size() - MeanWindow; i < values.size(); ++i)
        if (std::fabs(values[i]) > SaturationVolts) return true;
    return false;
}

double MorvexResistMeter::resistance() const {
    if (saturated(positive_) || saturated(negative_)) return Infinity;
    const double a = meanOfNewest(positive_);
    const double b = meanOfNewest(negative_);
    if (std::fabs(a) < ZeroVolts && std::fabs(b) < ZeroVolts) return Infinity;
    return std::fabs(a - b) / TestCurrent * 0.25;
}

MorvexResistMeter::Step MorvexResistMeter::feed(const std::vector<_SignalData>& batch, ElectrodeSelection current) {
    std::vector<double>& values = valuesOf(current.polarity);
    for (const _SignalData& record : batch) {
        for (const MorvexSample& sample : record.Samples) {
            const double v = electrodeValue(sample, current.electrode);
            bool accept = std::fabs(v) > ZeroVolts || firstSample_;
            if (!accept) accept = zeroCount_++ > ZeroLimit;
            if (accept) {
                values.push_back(2.0 * v);
                firstSample_ = false;
            }
        }
    }
    const size_t gathered = values.size();

    Step step;
    Electrode electrode = current.electrode;
    if (positive_.size() >= ValuesPerPolarity && negative_.size() >= ValuesPerPolarity) {
        firstSample_ = false;
        ohms_[static_cast<size_t>(electrode)] = resistance();
        electrode = static_cast<Electrode>((static_cast<uint8_t>(electrode) + 1) % ElectrodeCount);
        dropValues();
        auto ohmsOf = [&](Electrode e) { return ohms_[static_cast<size_t>(e)]; };
        step.completed =
            _ResistData{ohmsOf(Electrode::O1), ohmsOf(Electrode::O2), ohmsOf(Electrode::T3), ohmsOf(Electrode::T4)};
    }
    if (gathered >= ValuesPerPolarity) {
        step.idleFirst = zeroCount_ > ZeroLimit;
        zeroCount_ = 0;
        step.next = ElectrodeSelection{electrode, oppositePolarity(current.polarity)};
    }
    return step;
}

}  // namespace VexaDevice::Morvex
