#pragma once
// Sample records of the Kestrane data channels, the parameters their converters work from and
// the device modes the families report. Several families stream through these channels:
// Wrenlet, Morvex2, MorvexBlack and others.

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace VexaDevice::Kestrane {

// Device modes the status reports.
enum class DevAmpStatus : uint8_t {
    Invalid = 0,
    PowerDown = 1,
    Idle = 2,
    Signal = 3,
    Resist = 4,
    SignalResist = 5,
};

// Most channels a parameter record describes.
inline constexpr size_t MaxChannels = 32;

// PackNum: the counter at the head of the record's pack plus the record's index in the pack.
// Marker: the marker byte in front of the record, or 0 where the pack format has none.
struct _SignalData {
    uint32_t PackNum = 0;
    uint8_t Marker = 0;
    std::vector<double> Samples;  // one value per channel, volts
};

struct _ResistData {
    uint32_t PackNum = 0;
    uint8_t Marker = 0;
    std::vector<double> Samples;  // one value per channel, ohms (+infinity out of range)
};

struct _IMUData {
    uint32_t PackNum = 0;
    uint8_t Marker = 0;
    std::array<double, 3> Accelerometer{};  // x, y, z in g
    std::array<double, 3> Gyroscope{};      // x, y, z in degrees per second
};

struct _FPGData {
    uint32_t PackNum = 0;
    uint8_t Marker = 0;
    double Value1 = 0.0;  // raw photoplethysmogram counts, first value of the record
    double Value2 = 0.0;  // second value of the record
};

// Outcome of converting one notification; success is {true, 0, ""}.
struct ConversionResult {
    bool ok = true;
    int32_t code = 0;
    std::string message;
};

// Code of a notification that does not split into whole packs.
inline constexpr int32_t WrongPackSize = 546;

struct SignalParams {
    uint32_t channelCount = 0;
    double referenceVoltage = 0.0;
    std::array<double, MaxChannels> gain{};  // gain factor per channel
    std::array<uint8_t, MaxChannels> channelEnabled{};
    uint32_t resolutionBits = 0;
    uint32_t packSize = 0;
    uint32_t samplesPerPack = 0;
    uint32_t sampleSize = 0;   // bytes per value
    uint32_t counterSize = 0;  // bytes of the pack counter
};

struct ResistParams {
    uint32_t channelCount = 0;
    double referenceVoltage = 0.0;
    std::array<double, MaxChannels> gain{};
    std::array<uint8_t, MaxChannels> resistEnabled{};
    uint32_t resolutionBits = 0;
    double current = 0.0;  // probe current, amperes
    std::array<double, MaxChannels> upperLimit{};
    std::array<double, MaxChannels> lowerLimit{};
    uint32_t packSize = 0;
    uint32_t samplesPerPack = 0;
    uint32_t sampleSize = 0;
    uint32_t counterSize = 0;
};

// Motion packs: code1 accelerometer and code2 gyroscope sensitivity codes. Photoplethysmogram
// packs: code1 infrared and code2 red amplitude codes (the conversion does not use them).
struct PackParams {
    uint32_t packSize = 0;
    uint32_t sampleSize = 0;
    uint32_t counterSize = 0;
    uint8_t code1 = 0;
    uint8_t code2 = 0;
};

}  // namespace VexaDevice::Kestrane
