#pragma once
// Wire format of the photo-stimulation ("PTS") GATT service: its UUIDs, the 20-byte status
// packs, the 128-byte configure packet that carries up to 16 stimulation programs, and the
// command frames. Everything on the wire is little-endian.
//
// Stimulator time is counted in ticks of 16 microseconds (62500 per second).

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "sdk/core/OperationResult.hpp"
#include "sdk/core/Uuid.hpp"
#include "sdk/devices/photostim/PhotoStimRecords.hpp"

namespace VexaDevice::PhotoStim {

inline const Utility::UUID PtsServiceUuid = Utility::parseUuid("6E400001-B534-F393-78A9-E50E24DCCA9E");
// Read and notify: status packs.
inline const Utility::UUID PtsStatusUuid = Utility::parseUuid("6E400002-B534-F393-78A9-E50E24DCCA9E");
// Read and write: the configure packet.
inline const Utility::UUID PtsConfigUuid = Utility::parseUuid("6E400003-B534-F393-78A9-E50E24DCCA9E");
// Write: command frames.
inline const Utility::UUID PtsCommandUuid = Utility::parseUuid("6E400004-B534-F393-78A9-E50E24DCCA9E");

inline constexpr uint32_t TicksPerSecond = 62500;
inline constexpr size_t MaxPrograms = 16;
inline constexpr size_t ConfigPacketSize = 128;
inline constexpr size_t ConfigEntrySize = 8;

// What the newest status pack said beside the state.
struct PtsStatus {
    uint8_t syncFlag = 0;         // 0 or 1
    uint16_t batteryVoltage = 0;  // as the device reports it
    uint32_t stimulatorTime = 0;  // ticks
    uint32_t word = 0;            // pack bytes 8..11, kept and not used
    uint32_t statusWord = 0;      // pack bytes 12..15
};

// One status pack: state code, sync flag, battery voltage, stimulator time, two words, 4 bytes
// ignored.
struct StatusPack {
    static constexpr size_t Size = 20;
    std::array<uint8_t, Size> bytes{};

    // Device codes 0..3 are Idle..Running; any other code is Unknown.
    DevStimulStatus state() const;
    PtsStatus status() const;
};

// Device state codes, as the status pack carries them.
namespace DeviceState {
inline constexpr uint8_t Idle = 0;
inline constexpr uint8_t SyncPrepared = 1;
inline constexpr uint8_t Synchronised = 2;
inline constexpr uint8_t Running = 3;
}  // namespace DeviceState

// One entry of the configure packet.
struct ConfigEntry {
    uint8_t intensity = 0;  // 255 = 100 %
    uint8_t pause = 0;
    uint16_t pulseCount = 0;
    uint16_t onTicks = 0;
    uint16_t offTicks = 0;

    bool operator==(const ConfigEntry&) const = default;
};

using ConfigPacket = std::array<uint8_t, ConfigPacketSize>;

// The program an entry stands for (an entry with no pulses and no on time stands for none).
StimProgram programOf(const ConfigEntry& entry);
// The programs of the first whole packet in `bytes`, nothing when there is no whole packet.
// Entries without pulse count and on time are unused.
std::optional<std::vector<StimProgram>> decodeConfigure(std::span<const uint8_t> bytes);

// A checked program list: the packet to write and the programs as the device will hold them
// (quantised to whole ticks and counts).
struct PackedPrograms {
    OperationResult result;
    ConfigPacket packet{};
    std::vector<StimProgram> programs;
};

// Checks and encodes at most MaxPrograms programs (more throws std::invalid_argument). An empty
// list becomes one default entry (31.25 Hz, about 50 %, 0.016 s pulses for 0.32 s, pause 1).
// The first entry that cannot be encoded fails the whole list with 517 and a text that names
// its parameter; a value that is not a number never passes.
PackedPrograms packPrograms(std::span<const StimProgram> programs);

namespace Command {
inline constexpr uint8_t Reset = 1;
inline constexpr uint8_t PrepareSync = 2;
inline constexpr uint8_t Sync = 3;
inline constexpr uint8_t Start = 4;
inline constexpr uint8_t Stop = 5;
}  // namespace Command

// [4, t0, t1, t2, t3]: start the program list at stimulator time `tick`.
std::vector<uint8_t> startFrame(uint32_t tick);

// The start deferral of a stimulator in ticks, from 0 to 10 seconds (truncated toward zero);
// 517 for anything else, a value that is not a number included.
OperationResult deferTicks(double seconds, int32_t& ticks);

}  // namespace VexaDevice::PhotoStim
