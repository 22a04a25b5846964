#pragma once
// Records that the first-generation Morvex protocol publishes on its event buses, and the
// identity its device class reads.

#include <cstdint>
#include <limits>
#include <vector>

namespace VexaDevice::Morvex {

// One sample of the four electrodes, in volts, in the order the records hand them out.
struct MorvexSample {
    double O1 = 0.0;
    double O2 = 0.0;
    double T3 = 0.0;
    double T4 = 0.0;

    bool operator==(const MorvexSample&) const = default;
};

// One decoded data pack: its 11-bit packet number, the marker bit and its samples.
struct _SignalData {
    uint32_t PackNum = 0;
    uint8_t Marker = 0;
    std::vector<MorvexSample> Samples;
};

// Electrode resistances in ohms; +infinity for an electrode not measured yet or saturated.
struct _ResistData {
    double O1 = std::numeric_limits<double>::infinity();
    double O2 = std::numeric_limits<double>::infinity();
    double T3 = std::numeric_limits<double>::infinity();
    double T4 = std::numeric_limits<double>::infinity();
};

// What the Device Information service says, as this family reads it.
struct MorvexVersion {
    int32_t firmware = 0;
    int32_t hardware = 0;
    int32_t model = 0;
};

// The device state byte of the status pack.
enum class MorvexStatus : uint8_t {
    Unknown = 0,
    Idle = 1,
    Signal = 2,
    Resist = 3,
    // In this state the device reports firmware mode 0.
    FirmwareMode0 = 4,
};

}  // namespace VexaDevice::Morvex
