#pragma once
// Records of the Tessel-class sensors (the Tessel device and its Quindle variant): what the
// protocol publishes and the event buses it publishes them on, the payloads of the device's replies and the
// capability list the device reports about itself.

#include <cstdint>
#include <set>
#include <variant>
#include <vector>

#include "sdk/core/EventBus.hpp"
#include "sdk/core/SensorEnums.hpp"
#include "sdk/devices/common/BatteryBus.hpp"
#include "sdk/devices/common/StreamCapabilities.hpp"

namespace VexaDevice::Tessel {

// Decoded data packs. Every record the protocol publishes has `valid` set.
struct _SignalData {
    uint32_t PackNum = 0;
    std::vector<double> Samples;  // volts, nine per pack in pack order
    bool valid = true;
};

struct _RespirationData {
    uint32_t PackNum = 0;
    std::vector<double> Samples;  // volts, one per pack
    bool valid = true;
};

struct _MEMSData {
    uint32_t PackNum = 0;
    double AccelerometerX = 0.0;  // g
    double AccelerometerY = 0.0;
    double AccelerometerZ = 0.0;
    double GyroscopeX = 0.0;  // degrees per second
    double GyroscopeY = 0.0;
    double GyroscopeZ = 0.0;
    bool valid = true;
};

// The four components in the order the device sends them.
struct _QuaternionData {
    uint32_t PackNum = 0;
    float W = 0.0f;
    float X = 0.0f;
    float Y = 0.0f;
    float Z = 0.0f;
    bool valid = true;
};

struct _EnvelopeData {
    uint32_t PackNum = 0;
    double Value = 0.0;  // volts
    bool valid = true;
};

// Contact of the electrodes, as the device reports it.
enum class ElectrodeState : uint8_t { Normal = 0, Detached = 2 };

// Version and running mode from the device's echo.
struct EchoInfo {
    int32_t major = 0;
    int32_t minor = 0;
    int32_t third = 0;
    int32_t fourth = 0;
    int32_t mode = 0;  // 1: application running, 0: boot loader
    int32_t last = 0;

    bool operator==(const EchoInfo&) const = default;
};

// Firmware version as the protocol compares it: (major, minor), lexicographically.
struct FirmwareVersion {
    int32_t major = 0;
    int32_t minor = 0;

    auto operator<=>(const FirmwareVersion&) const = default;
};

// Sampling-frequency, gain and sensitivity codes of a module the device lacks, or that it
// reported out of range.
inline constexpr uint8_t UnknownSetting = 255;

// What the device says it offers (features, commands, parameters with their access), and its
// current settings.
struct TesselCapabilities {
    Devices::Capabilities offered;
    std::set<uint8_t> filters;                   // current hardware filters (0..5)
    std::set<uint8_t> supportedFilters;          // filters the device can switch on
    uint8_t samplingFrequency = UnknownSetting;  // sampling-frequency index
    uint8_t gain = UnknownSetting;               // gain index
    uint8_t dataOffset = UnknownSetting;
    uint8_t adcInput = 0;
    uint8_t externalSwitch = 0;
    uint8_t accelSens = UnknownSetting;
    uint8_t gyroSens = UnknownSetting;
};

struct StimulationParams {
    uint8_t current = 0;  // amplitude
    uint16_t pulseWidth = 0;
    uint8_t frequency = 0;
    uint16_t stimulusDuration = 0;

    bool operator==(const StimulationParams&) const = default;
};

struct MotionAssistantParams {
    uint8_t gyroStart = 0;
    uint8_t gyroStop = 0;
    uint8_t limb = 0;
    // Travels in tens; read back it may exceed one byte.
    uint16_t minPause = 0;

    bool operator==(const MotionAssistantParams&) const = default;
};

struct MotionCounterParams {
    uint16_t counterParam1 = 0;
    uint16_t counterParam2 = 0;

    bool operator==(const MotionCounterParams&) const = default;
};

struct StimulatorAndMAState {
    uint8_t stimulatorState = 0;
    uint8_t motionAssistantState = 0;

    bool operator==(const StimulatorAndMAState&) const = default;
};

// The device's error code: 0 for a plain acknowledgement.
struct DeviceError {
    int32_t code = 0;

    bool operator==(const DeviceError&) const = default;
};

// A 24-bit serial number or the motion counter.
struct ReplyValue {
    int32_t value = 0;

    bool operator==(const ReplyValue&) const = default;
};

using ReplyPayload = std::variant<DeviceError, ReplyValue, EchoInfo, TesselCapabilities, MotionCounterParams, bool,
                                  StimulationParams, MotionAssistantParams, StimulatorAndMAState>;

// One reply of the device. An ERROR reply has command 0 and the device's code; it names no
// command, so it answers whichever command waits.
struct OpCmdRes {
    uint8_t ok = 0;
    uint8_t command = 0;
    ReplyPayload payload;
};

// The event buses the protocol publishes on.
struct TesselBuses {
    using ElectrodeBus = Utility::EventBus<ElectrodeState>;
    using SignalBus = Utility::EventBus<std::vector<_SignalData>>;
    using RespirationBus = Utility::EventBus<std::vector<_RespirationData>>;
    using MotionBus = Utility::EventBus<std::vector<_MEMSData>>;
    using EnvelopeBus = Utility::EventBus<std::vector<_EnvelopeData>>;
    using QuaternionBus = Utility::EventBus<std::vector<_QuaternionData>>;
};

}  // namespace VexaDevice::Tessel
