#pragma once
// Converters from the bytes of one notification to sample records. Each data channel owns one
// and calls it on the thread that delivers the notification; the protocols change its
// parameters from command threads. A conversion works on a copy of the parameters taken at
// its start, so a change never tears a notification in half.

#include <cstdint>
#include <vector>

#include "sdk/core/SpinGuarded.hpp"
#include "sdk/devices/kestrane/KestraneRecords.hpp"

namespace VexaDevice::Kestrane {

// The parameters of a converter, read and replaced whole.
template <class P>
class ConverterParams {
public:
    using Params = P;

    P params() const { return params_.get(); }
    void setParams(const P& params) { params_.set(params); }

protected:
    ConverterParams(const P& params, uint8_t littleEndian) : params_(params), littleEndian_(littleEndian != 0) {}

    Utility::SpinGuarded<P> params_;
    const bool littleEndian_;
};

// Signal packs: counter, then records of a marker byte and one signed value per channel,
// scaled to volts.
class SignalConverter : public ConverterParams<SignalParams> {
public:
    using Record = _SignalData;
    SignalConverter(const SignalParams& params, uint8_t littleEndian);
    ConversionResult toSignalData(const std::vector<uint8_t>& bytes, std::vector<_SignalData>& out) const;
};

// Resistance packs: counter, then records of one signed value per channel, in ohms; a value
// outside its channel's limits reads as +infinity.
class ResistConverter : public ConverterParams<ResistParams> {
public:
    using Record = _ResistData;
    ResistConverter(const ResistParams& params, uint8_t littleEndian, uint8_t hasMarker);
    ConversionResult toResistData(const std::vector<uint8_t>& bytes, std::vector<_ResistData>& out) const;

private:
    const bool hasMarker_;
};

// Motion packs: counter, then records of accelerometer x, y, z and gyroscope x, y, z, scaled
// by the sensitivity codes.
class IMUConverter : public ConverterParams<PackParams> {
public:
    using Record = _IMUData;
    IMUConverter(const PackParams& params, uint8_t littleEndian, uint8_t hasMarker);
    ConversionResult toIMUData(const std::vector<uint8_t>& bytes, std::vector<_IMUData>& out) const;

private:
    const bool hasMarker_;
};

// Photoplethysmogram packs: counter, then records of two unsigned raw values.
class FPGConverter : public ConverterParams<PackParams> {
public:
    using Record = _FPGData;
    FPGConverter(const PackParams& params, uint8_t littleEndian, uint8_t hasMarker);
    ConversionResult toFPGData(const std::vector<uint8_t>& bytes, std::vector<_FPGData>& out) const;

private:
    const bool hasMarker_;
};

}  // namespace VexaDevice::Kestrane
