#pragma once
// What the signal-processing exports need of the Dravik family: the processing parameters made
// from an amplifier record, and the conversion of raw Dravik packs into signal and resistance
// records.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "sdk/api/DravikDevice.hpp"
#include "sdk/devices/dravik/DravikSignalProcess.hpp"
#include "sdk/devices/kestrane/KestraneRecords.hpp"

namespace VexaDevice::Api {

using SignalProcessParam = Dravik::SignalProcessParam;

// One resistance result of the raw-pack conversion.
struct DravikParsedResist {
    int32_t number = 0;
    std::vector<double> values;
    double value1 = 0;
    double value2 = 0;
    double value3 = 0;
};

// The resistance offset (ohms) with which the exports make their parameters.
inline constexpr double kSignalProcessScale = 1000.0;

// The device's amplifier record; channels beyond the given ones are left at 0.
Dravik::DravikAmplifierParam deviceAmplifier(const DravikAmplifier& amplifier);

std::shared_ptr<SignalProcessParam> makeSignalProcessParam(const DravikAmplifier& amplifier, double scale);

// Converts the whole packs of `raw`; returns the number of bytes used.
size_t parseRawSignal(std::shared_ptr<SignalProcessParam> param, const std::vector<uint8_t>& raw,
                      std::vector<Kestrane::_SignalData>& signal, std::vector<DravikParsedResist>& resist);

}  // namespace VexaDevice::Api
