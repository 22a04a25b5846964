#pragma once
// Electrode resistance of the first-generation Morvex device, measured electrode by
// electrode from the signal while the device drives a test signal of alternating polarity.

#include <array>
#include <cstddef>
#include <optional>
#include <vector>

#include "sdk/devices/morvex/MorvexRecords.hpp"
#include "sdk/devices/morvex/MorvexWire.hpp"

namespace VexaDevice::Morvex {

struct ElectrodeSelection {
    Electrode electrode = Electrode::O1;
    Polarity polarity = Polarity::Positive;

    bool operator==(const ElectrodeSelection&) const = default;
};

class MorvexResistMeter {
public:
    // Values needed per polarity before an electrode is switched.
    static constexpr size_t ValuesPerPolarity = 25;
    // How many of the newest values form each polarity's mean.
    static constexpr size_t MeanWindow = 5;
    // Doubled values above this magnitude mean a saturated amplifier.
    static constexpr double SaturationVolts = 0.8;
    // Values at or below this magnitude count as zero (1e-8 in single precision).
    static constexpr double ZeroVolts = static_cast<double>(1e-8f);
    // Zero values tolerated before they are accepted anyway and the device is reset.
    static constexpr int ZeroLimit = 99;

    // What the caller has to do after one batch.
    struct Step {
        std::optional<_ResistData> completed;    // publish this record
        std::optional<ElectrodeSelection> next;  // select this electrode and polarity
        bool idleFirst = false;                  // send idle before selecting
    };

    MorvexResistMeter();

    // One batch decoded at the resistance gain, measured with `current` selected.
    Step feed(const std::vector<_SignalData>& batch, ElectrodeSelection current);

    // Starts a new measurement: every resistance unknown (+infinity), no values kept.
    void restart();

    // The device left the resistance state: the values gathered so far are useless.
    void dropValues();

private:
    std::vector<double>& valuesOf(Polarity polarity);
    static double meanOfNewest(const std::vector<double>& values);
    static bool saturated(const std::vector<double>& values);
    double resistance() const;

    std::vector<double> positive_;
    std::vector<double> negative_;
    std::array<double, ElectrodeCount> ohms_{};  // device order: O1, T3, T4, O2
    int zeroCount_ = 0;
    bool firstSample_ = true;
};

}  // namespace VexaDevice::Morvex
