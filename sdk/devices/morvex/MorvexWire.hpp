#pragma once
// Wire format of the first-generation Morvex device: status packs, data packs, command
// frames and the device's error names. Pure functions, no I/O.

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "sdk/core/DeviceError.hpp"
#include "sdk/core/OperationResult.hpp"
#include "sdk/devices/morvex/MorvexRecords.hpp"

namespace VexaDevice::Morvex {

// Electrodes in the device's own numbering (the order of the fields in a data pack).
enum class Electrode : uint8_t { O1 = 0, T3 = 1, T4 = 2, O2 = 3 };
inline constexpr uint8_t ElectrodeCount = 4;

// Polarity of the test signal during a resistance measurement.
enum class Polarity : uint8_t { Positive = 0x00, Negative = 0xFF };

Polarity oppositePolarity(Polarity polarity);

// One 4-byte status unit: device state, error of the last command, battery level, unused.
struct DevStatusPack {
    static constexpr size_t Size = 4;
    std::array<uint8_t, Size> bytes{};

    uint8_t state() const { return bytes[0]; }
    uint8_t errorCode() const { return bytes[1]; }
    uint8_t battery() const { return bytes[2]; }
};

// One 20-byte data unit: packet number, marker, a 21-bit first sample per electrode and a
// 16-bit difference to the second sample per electrode (big-endian bit stream).
struct MorvexPack {
    static constexpr size_t Size = 20;
    std::array<uint8_t, Size> bytes{};
};

// The reply of one command exchange: the device state of the answering status pack and
// its error code. The exchange's own failure is {0, ErrDataSend}.
struct OpCmdRes {
    uint8_t command = 0;
    uint16_t error = 0;

    bool operator==(const OpCmdRes&) const = default;
};

// The device's error codes; the library's own are those of Utility::kSpacedErrors.
namespace ErrorCode {
inline constexpr uint16_t NoError = 0;
inline constexpr uint16_t Length = 1;
inline constexpr uint16_t Mode = 2;
}  // namespace ErrorCode

std::string morvexErrorName(uint16_t code);

// Success for error 0; otherwise {failed, error, "Device error: [" + name + "]"}.
OperationResult formatMorvexDeviceError(const OpCmdRes& reply);

// Raw counts of one data pack, electrodes in device order (O1, T3, T4, O2).
struct PackCounts {
    uint32_t packNum = 0;
    uint8_t marker = 0;
    std::array<int32_t, ElectrodeCount> first{};
    std::array<int16_t, ElectrodeCount> difference{};
};
PackCounts readPackCounts(const MorvexPack& pack);

// Volts of one count at the given amplifier gain factor.
double countToVolts(int32_t count, double gainFactor);

// Gain factor the device uses while measuring resistance.
inline constexpr double ResistGainFactor = 6.0;

// One record per pack: two samples, each the four electrodes in volts.
_SignalData decodePack(const MorvexPack& pack, double gainFactor);
std::vector<_SignalData> decodePacks(std::span<const MorvexPack> packs, double gainFactor);
// The same into a batch the caller keeps between calls: `records` ends up holding exactly one
// record per pack, and the sample storage of the records it held before is reused.
void decodePacksInto(std::span<const MorvexPack> packs, double gainFactor, std::vector<_SignalData>& records);

// Value of one electrode in a decoded sample.
double electrodeValue(const MorvexSample& sample, Electrode electrode);

// Command frames.
std::vector<uint8_t> idleFrame();
std::vector<uint8_t> startSignalFrame(uint8_t gainIndex);
std::vector<uint8_t> selectElectrodeFrame(Electrode electrode, Polarity polarity);

// Device state each frame asks for.
inline constexpr uint8_t IdleState = static_cast<uint8_t>(MorvexStatus::Idle);
inline constexpr uint8_t SignalState = static_cast<uint8_t>(MorvexStatus::Signal);
inline constexpr uint8_t ResistState = static_cast<uint8_t>(MorvexStatus::Resist);

}  // namespace VexaDevice::Morvex
