#include "sdk/devices/kestrane/KestraneConverters.hpp"

#include <cmath>
#include <limits>

#include "sdk/core/ByteReaders.hpp"
#include "sdk/core/ConversionTables.hpp"
#include "sdk/devices/kestrane/PackWalk.hpp"

namespace VexaDevice::Kestrane {

using Utility::decodeSigned;
using Utility::decodeUnsigned;

namespace {

constexpr uint32_t MotionAxes = 6;
constexpr uint32_t FpgValues = 2;

// The n-th value of a record.
const uint8_t* valueAt(const RecordSite& site, uint32_t index, uint32_t sampleSize) {
    return site.values + static_cast<size_t>(index) * sampleSize;
}

// Volts of one count: reference / ((2^(bits-1) - 1) * gain).
double voltsPerCount(const SignalParams& params, uint32_t channel) {
    const double fullScale = std::ldexp(1.0, static_cast<int>(params.resolutionBits) - 1) - 1.0;
    return params.referenceVoltage / (fullScale * params.gain[channel]);
}

// Appends the record that starts at `site`, numbered and marked; the caller fills its values.
template <class Record>
Record& newRecord(std::vector<Record>& out, const RecordSite& site) {
    Record& record = out.emplace_back();
    record.PackNum = site.packNum;
    record.Marker = site.marker;
    return record;
}

}  // namespace

SignalConverter::SignalConverter(const SignalParams& params, uint8_t littleEndian)
    : ConverterParams(params, littleEndian) {}

ConversionResult SignalConverter::toSignalData(const std::vector<uint8_t>& bytes, std::vector<_SignalData>& out) const {
    const SignalParams params = params_.get();
    const PackLayout layout{params.packSize, params.counterSize, params.sampleSize, params.channelCount, true};
    return walkPacks(bytes, layout, littleEndian_, "SignalConverter toSignalData", [&](const RecordSite& site) {
        auto& record = newRecord(out, site);
        record.Samples.reserve(params.channelCount);
        for (uint32_t ch = 0; ch < params.channelCount; ++ch) {
            const int32_t raw = decodeSigned(valueAt(site, ch, params.sampleSize), params.sampleSize, littleEndian_);
            record.Samples.push_back(raw * voltsPerCount(params, ch));
        }
    });
}

ResistConverter::ResistConverter(const ResistParams& params, uint8_t littleEndian, uint8_t hasMarker)
    : ConverterParams(params, littleEndian), hasMarker_(hasMarker != 0) {}

ConversionResult ResistConverter::toResistData(const std::vector<uint8_t>& bytes, std::vector<_ResistData>& out) const {
    const ResistParams params = params_.get();
    const PackLayout layout{params.packSize, params.counterSize, params.sampleSize, params.channelCount, hasMarker_};
    return walkPacks(bytes, layout, littleEndian_, "ResistConverter toResistData", [&](const RecordSite& site) {
        auto& record = newRecord(out, site);
        record.Samples.reserve(params.channelCount);
        for (uint32_t ch = 0; ch < params.channelCount; ++ch) {
            const double value = decodeSigned(valueAt(site, ch, params.sampleSize), params.sampleSize, littleEndian_);
            const bool outside = value > params.upperLimit[ch] || value < params.lowerLimit[ch];
            record.Samples.push_back(outside ? std::numeric_limits<double>::infinity() : value);
        }
    });
}

IMUConverter::IMUConverter(const PackParams& params, uint8_t littleEndian, uint8_t hasMarker)
    : ConverterParams(params, littleEndian), hasMarker_(hasMarker != 0) {}

ConversionResult IMUConverter::toIMUData(const std::vector<uint8_t>& bytes, std::vector<_IMUData>& out) const {
    const PackParams params = params_.get();
    const double fullScale = Utility::bitnessToFullScale(params.sampleSize);
    const double accelerometerScale = Utility::accelSensitivityToG(params.code1) / fullScale;
    const double gyroscopeScale = Utility::gyroSensitivityToDps(params.code2) / fullScale;
    const PackLayout layout{params.packSize, params.counterSize, params.sampleSize, MotionAxes, hasMarker_};
    return walkPacks(bytes, layout, littleEndian_, "IMUConverter toIMUData", [&](const RecordSite& site) {
        auto& record = newRecord(out, site);
        for (uint32_t axis = 0; axis < 3; ++axis) {
            record.Accelerometer[axis] =
                decodeSigned(valueAt(site, axis, params.sampleSize), params.sampleSize, littleEndian_) *
                accelerometerScale;
            record.Gyroscope[axis] =
                decodeSigned(valueAt(site, axis + 3, params.sampleSize), params.sampleSize, littleEndian_) *
                gyroscopeScale;
        }
    });
}

FPGConverter::FPGConverter(const PackParams& params, uint8_t littleEndian, uint8_t hasMarker)
    : ConverterParams(params, littleEndian), hasMarker_(hasMarker != 0) {}

ConversionResult FPGConverter::toFPGData(const std::vector<uint8_t>& bytes, std::vector<_FPGData>& out) const {
    const PackParams params = params_.get();
    const PackLayout layout{params.packSize, params.counterSize, params.sampleSize, FpgValues, hasMarker_};
    return walkPacks(bytes, layout, littleEndian_, "FPGConverter toFPGData", [&](const RecordSite& site) {
        auto& record = newRecord(out, site);
        record.Value1 = decodeUnsigned(valueAt(site, 0, params.sampleSize), params.sampleSize, littleEndian_);
        record.Value2 = decodeUnsigned(valueAt(site, 1, params.sampleSize), params.sampleSize, littleEndian_);
    });
}

}  // namespace VexaDevice::Kestrane
