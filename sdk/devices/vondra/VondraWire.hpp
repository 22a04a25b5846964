#pragma once
// What goes over the air between the library and a Vondra-type headset (seven channels) or its
// second generation (four channels): the command codes, the amplifier setting and its frame,
// the layout of the signal and resistance packs (the records are in VondraRecords.hpp).
//
// Both generations share the GATT service 7E400001-B534-F393-68A9-E50E24DCCA96, the 4-byte
// status packs and the mode commands. Signal packs are a 4-byte counter, a marker byte and one
// 24-bit value per channel; resistance packs a 4-byte counter and one 32-bit value per channel;
// every number little-endian.

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

#include "sdk/core/OperationResult.hpp"
#include "sdk/devices/kestrane/StreamLayout.hpp"
#include "sdk/devices/vondra/VondraRecords.hpp"

namespace VexaDevice::Vondra {

enum class VondraGeneration : uint8_t { First, Second };

namespace Frame {
inline constexpr uint8_t PowerDown = 0x01;
inline constexpr uint8_t Idle = 0x02;
inline constexpr uint8_t Signal = 0x03;
inline constexpr uint8_t Resist = 0x04;
inline constexpr uint8_t Ping = 0x06;
inline constexpr uint8_t SignalResist = 0x07;
inline constexpr uint8_t Amplifier = 0x08;
}  // namespace Frame

// Last two digits of the GATT UUIDs of both generations.
inline constexpr const char* GattSuffix = "96";
// First number of the model number both generations report ('I').
inline constexpr uint8_t FamilyCode = 0x49;

uint32_t channelCount(VondraGeneration generation);

// The amplifier's code of a gain index, or nothing for an index it cannot take: the first
// generation takes 0, 1 and 3-6, the second 0-6.
std::optional<uint8_t> gainCode(VondraGeneration generation, uint8_t index);
// The amplifier's code of a probe-current index, or nothing: 0 -> 0, 1 -> 1, 4 -> 2, and for the
// first generation also 5 -> 3 and 6 -> 4.
std::optional<uint8_t> currentCode(VondraGeneration generation, uint8_t index);

// checkAmplifierRecord over all the record's entries, with this generation's gain and current
// tables: success when every byte of the setting has a meaning for the amplifier.
OperationResult checkAmplifier(VondraGeneration generation, const VondraAmplifierParam& param);

// The frame of a checked setting: 0x08, per channel its signal flag (0 or 1) and gain code,
// the current code, per channel its resistance flag (0 or 1).
std::vector<uint8_t> amplifierFrame(VondraGeneration generation, const VondraAmplifierParam& param);

// Signal and resistance on every channel of the generation at gain index 4, current index 1.
VondraAmplifierParam defaultAmplifier(VondraGeneration generation);

// Packs, converter parameters at the default setting (gain 6, 250 Hz signal, resistances
// between 0 and 4 MOhm), and what the generation offers.
Kestrane::StreamLayout vondraLayout(VondraGeneration generation);

// Hertz of the resistance stream.
inline constexpr int32_t ResistRate = 10;

// The sampling-frequency code of a rate in hertz: 10 -> 0, 100 -> 2, 125 -> 3, 250 -> 4 ... 8000 -> 9;
// 255 for any other rate.
uint8_t samplingFrequencyCode(int32_t hertz);

}  // namespace VexaDevice::Vondra
