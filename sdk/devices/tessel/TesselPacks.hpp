#pragma once
// Data packs of the Tessel-class sensors: the 20-byte units of a notification, their kinds,
// and the decoders of signal, motion, respiration, quaternion, envelope, battery and electrode
// state. Pure functions, no I/O. Multi-byte fields are little-endian unless said otherwise.

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "sdk/devices/tessel/TesselRecords.hpp"

namespace VexaDevice::Tessel {

// One 20-byte unit of a notification.
struct TesselPack {
    static constexpr size_t Size = 20;
    std::array<uint8_t, Size> bytes{};

    uint16_t wordAt(size_t at) const { return static_cast<uint16_t>(bytes[at] | bytes[at + 1] << 8); }
    uint16_t lead() const { return wordAt(0); }
    uint8_t code() const { return bytes[3]; }
};

enum class PackKind { Signal, Motion, Respiration, Reply, Quaternion, Envelope, Ignored };

// By the leading word: 0..65500 signal, 0xFFDD motion, 0xFFDE respiration, 0xFFDF reply,
// 0xFFE1 quaternion, 0xFFE3 envelope; anything else is ignored.
PackKind packKind(const TesselPack& pack);

inline constexpr double VoltsPerCount = 2.42 / 8388607.0;
inline constexpr uint16_t MaxSignalPackNum = 65500;

uint16_t batteryMillivolts(const TesselPack& pack);
// Piecewise linear over the device's discharge curve, 3130 mV (0 %) to 4150 mV (100 %).
int32_t batteryPercentFromMillivolts(uint32_t millivolts);
ElectrodeState decodeElectrodeState(const TesselPack& pack);

// Nine samples: count x 2^offset x VoltsPerCount / gainFactor.
_SignalData decodeSignal(const TesselPack& pack, double gainFactor, uint8_t offset);
_RespirationData decodeRespiration(const TesselPack& pack);
_EnvelopeData decodeEnvelope(const TesselPack& pack);
// Axes are big-endian counts scaled by the ranges of the sensitivity codes.
_MEMSData decodeMotion(const TesselPack& pack, uint8_t accelSens, uint8_t gyroSens);
_QuaternionData decodeQuaternion(const TesselPack& pack);

// One worker batch sorted by kind, each list in arrival order.
struct PackLists {
    std::vector<TesselPack> battery;
    std::vector<TesselPack> electrode;
    std::vector<TesselPack> signal;
    std::vector<TesselPack> respiration;
    std::vector<TesselPack> motion;
    std::vector<TesselPack> quaternion;
    std::vector<TesselPack> envelope;
};
PackLists classifyPacks(std::span<const TesselPack> packs);

}  // namespace VexaDevice::Tessel
