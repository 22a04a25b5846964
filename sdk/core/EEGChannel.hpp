#pragma once
// One EEG channel of a device and the electrode positions it can sit on.

#include <cstdint>
#include <string>

namespace VexaDevice::Sensor {

// Electrode position; 0 and every value above 29 stand for any position.
enum class EEGChannelType : uint8_t {
    Any = 0,
    O1 = 1,
    P3,
    C3,
    F3,
    Fp1,
    T5,
    T3,
    F7,
    F8,
    T4,
    T6,
    Fp2,
    F4,
    C4,
    P4,
    O2,
    D1,
    D2,
    OZ,
    PZ,
    CZ,
    FZ,
    FpZ,
    D3,
    Ref,
    A1,
    A2,
    Gnd1,
    Gnd2,
};

// Electrode name of a position ("Any" for 0 and values above 29).
std::string electrodeName(EEGChannelType type);

struct EEGChannelInfo {
    // An empty name takes the electrode name of the type.
    EEGChannelInfo(const uint8_t& id, const EEGChannelType& type, const int32_t& dataIndex, std::string name);

    std::string name;
    uint8_t id;
    int32_t dataIndex;
    EEGChannelType type;
};

}  // namespace VexaDevice::Sensor
