#pragma once
// Status notifications and command replies of the command-and-stream protocols (Wrenlet,
// Morvex2): 4-byte status units of battery level, result of the last command, device mode with
// the motion and photoplethysmogram states, and the code of the command answered.

#include <array>
#include <cstddef>
#include <cstdint>

#include "sdk/devices/kestrane/KestraneRecords.hpp"

namespace VexaDevice::Kestrane {

constexpr uint8_t toByte(DevAmpStatus mode) { return static_cast<uint8_t>(mode); }

// Whether a reported mode measures anything, the signal, or the resistances.
constexpr bool isMeasuring(uint8_t mode) {
    return mode == toByte(DevAmpStatus::Signal) || mode == toByte(DevAmpStatus::Resist) ||
           mode == toByte(DevAmpStatus::SignalResist);
}

// Whether a device reporting mode `now` carried out a switch to `wanted`: a measurement is
// reached in its own mode, a stop once the device measures nothing (some models power down to
// Idle).
constexpr bool modeReached(uint8_t wanted, uint8_t now) {
    return isMeasuring(wanted) ? now == wanted : !isMeasuring(now);
}

constexpr bool passesSignal(uint8_t mode) {
    return mode == toByte(DevAmpStatus::Signal) || mode == toByte(DevAmpStatus::SignalResist);
}

constexpr bool passesResist(uint8_t mode) {
    return mode == toByte(DevAmpStatus::Resist) || mode == toByte(DevAmpStatus::SignalResist);
}

// Motion and photoplethysmogram state of a running stream.
inline constexpr uint8_t StreamRunning = 2;

struct DevStatusPack {
    static constexpr size_t Size = 4;
    std::array<uint8_t, Size> bytes{};

    uint8_t battery() const { return bytes[0]; }
    uint8_t result() const { return bytes[1]; }
    uint8_t mode() const { return bytes[2] & 0x07; }
    uint8_t motionState() const { return (bytes[2] >> 3) & 0x03; }
    uint8_t fpgState() const { return (bytes[2] >> 5) & 0x03; }
    uint8_t command() const { return bytes[3]; }
};

// The reply to one command: device mode, result code (0 accepted) and the command code that the
// status answered. The exchange's own failure carries code 513 and command 0.
struct OpCmdRes {
    uint8_t mode = 0;
    uint16_t code = 0;
    uint8_t command = 0;

    bool operator==(const OpCmdRes&) const = default;
};

}  // namespace VexaDevice::Kestrane
