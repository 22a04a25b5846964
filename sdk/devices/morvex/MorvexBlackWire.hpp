#pragma once
// Wire format of the MorvexBlack device (first hardware variant): its 4-byte status units, the
// command frames and the converter parameters of its signal, motion and photoplethysmogram
// packs. Pure values, no state.

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "sdk/core/DeviceVersion.hpp"
#include "sdk/devices/kestrane/KestraneRecords.hpp"
#include "sdk/devices/kestrane/KestraneStatus.hpp"

namespace VexaDevice::MorvexBlack {

using Kestrane::DevAmpStatus;

// Last two digits of the device's GATT UUIDs (7E40000N-B534-F393-68A9-E50E24DCCA90).
inline constexpr const char* GattSuffix = "90";
// First model byte of the device-information record: 'G'.
inline constexpr uint8_t ModelCode = 71;
inline constexpr uint32_t ChannelCount = 4;
inline constexpr int32_t SamplingRateHz = 250;
// Gain index the amplifier starts with (factor 6).
inline constexpr uint8_t DefaultGainIndex = 4;
inline constexpr uint8_t MaxGainIndex = 6;
// A motion or photoplethysmogram code the device does not have.
inline constexpr uint8_t NoCode = 0xFF;

// One status unit: device mode, error code of the last command (0 none), battery level, and a
// byte the protocol does not use.
struct DevStatusPack {
    static constexpr size_t Size = 4;
    std::array<uint8_t, Size> bytes{};

    uint8_t mode() const { return bytes[0]; }
    uint8_t error() const { return bytes[1]; }
    uint8_t battery() const { return bytes[2]; }
};

// The device's answer to a command: the mode and error code of the status that answered.
struct OpCmdRes {
    uint8_t mode = 0;
    uint16_t error = 0;

    bool operator==(const OpCmdRes&) const = default;
};

// Modes that measure: signal, resistance, both.
bool isMeasuringMode(uint8_t mode);
// Modes in which the amplifier cannot be set: the measuring ones and the device's test mode 6.
bool amplifierBusy(uint8_t mode);

// Command frames.
std::vector<uint8_t> powerDownFrame();
std::vector<uint8_t> idleFrame();
// 03 and the gain code of `gainIndex` once per channel.
std::vector<uint8_t> startSignalFrame(uint8_t gainIndex);
// 04 and the probe gain code 30 once per channel.
std::vector<uint8_t> startResistFrame();
// 07 (motion) or 08 (photoplethysmogram) and one byte: bit 7 start, bits 5-3 code1, bits 2-0 code2.
std::vector<uint8_t> motionFrame(const Kestrane::PackParams& params, bool start);
std::vector<uint8_t> fpgFrame(const Kestrane::PackParams& params, bool start);
// 06 and the low byte of the value.
std::vector<uint8_t> pingFrame(int32_t value);

// Converter parameters of the device's packs.
Kestrane::SignalParams signalParams(uint8_t gainIndex);
// The signal as it is read while the device measures resistance (gain factor 3 on every channel).
Kestrane::SignalParams resistModeSignalParams();
Kestrane::ResistParams resistParams();
Kestrane::PackParams motionParams();
Kestrane::PackParams fpgParams();

// Sampling-frequency code of a rate: 125 Hz -> 3 ... 8000 Hz -> 9, 255 otherwise.
uint8_t samplingFrequencyCode(int32_t hertz);

// Throws rt_exception "Device unsupported. ..." for a device that is no MorvexBlack device of a
// known version.
void checkDeviceVersion(const DeviceVersion& version);

}  // namespace VexaDevice::MorvexBlack
