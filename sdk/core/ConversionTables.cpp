#include "sdk/core/ConversionTables.hpp"

#include <array>
#include <limits>
#include <stdexcept>

namespace VexaDevice::Utility {
namespace {

// Value of `table[index]`, or `fallback` when the index is past its end.
template <typename T, std::size_t N>
T lookup(const std::array<T, N>& table, std::size_t index, T fallback) {
    return index < N ? table[index] : fallback;
}

constexpr std::array<double, 11> kGainFactors{1, 2, 3, 4, 6, 8, 12, 24, 5, 0.5, 0.25};

constexpr std::array<double, 17> kSamplingFrequencies{10,   20,    100,   125,   250,   500,   1000,  2000, 4000,
                                                      8000, 10000, 12000, 16000, 24000, 32000, 48000, 64000};

constexpr std::array<double, 5> kFullScale{1, 127, 32767, 8388607, 2147483647};

constexpr std::array<double, 4> kAccelRangesG{2, 4, 8, 16};

constexpr std::array<double, 4> kGyroRangesDps{250, 500, 1000, 2000};

constexpr std::array<double, 7> kDriveCurrents{0, 6e-9, 1.2e-8, 1.8e-8, 2.4e-8, 6e-6, 2.4e-5};

constexpr std::array<uint8_t, 7> kGainDeviceCodes{0, 1, 6, 2, 3, 4, 5};

constexpr std::array<uint8_t, 5> kCurrentDeviceCodes{0, 1, 2, 3, 4};

constexpr double kResistanceLimitOhms = 4000000.0;

}  // namespace

double gainToFactor(const uint8_t& gain) {
    if (gain >= kGainFactors.size()) {
        throw std::runtime_error("Unsupported gain value");
    }
    return kGainFactors[gain];
}

double samplingFrequencyToHz(const uint8_t& frequency) { return lookup(kSamplingFrequencies, frequency, 0.0); }

double bitnessToFullScale(const uint32_t& bytes) { return lookup(kFullScale, bytes, 1.0); }

double accelSensitivityToG(const uint8_t& sensitivity) { return lookup(kAccelRangesG, sensitivity, 0.0); }

double gyroSensitivityToDps(const uint8_t& sensitivity) { return lookup(kGyroRangesDps, sensitivity, 0.0); }

double currentToAmperes(const uint8_t& current) { return lookup(kDriveCurrents, current, 0.0); }

double clampResistance(const double& ohms) {
    if (ohms >= 0.0 && ohms < kResistanceLimitOhms) {
        return ohms;
    }
    return std::numeric_limits<double>::infinity();
}

uint8_t gainToDeviceCode(const uint8_t& gain) { return lookup(kGainDeviceCodes, gain, uint8_t{0}); }

uint8_t currentToDeviceCode(const uint8_t& current) { return lookup(kCurrentDeviceCodes, current, uint8_t{0}); }

}  // namespace VexaDevice::Utility
