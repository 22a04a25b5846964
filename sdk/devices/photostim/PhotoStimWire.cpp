#include "sdk/devices/photostim/PhotoStimWire.hpp"

#include <cmath>
#include <stdexcept>

#include <fmt/format.h>

#include "sdk/core/DeviceError.hpp"

namespace VexaDevice::PhotoStim {

namespace {

constexpr double MaxPower = 100;
constexpr double MaxFrequency = 62500;
constexpr double MaxPause = 255;
constexpr double MaxField = 65535;  // largest pulse count and tick count of an entry
constexpr double MicrosecondsPerTick = 16;

// The entry of an empty list.
constexpr ConfigEntry DefaultEntry{128, 1, 10, 1000, 1000};

uint16_t u16At(std::span<const uint8_t> bytes, size_t offset) {
    return static_cast<uint16_t>(bytes[offset] | (bytes[offset + 1] << 8));
}

uint32_t u32At(std::span<const uint8_t> bytes, size_t offset) {
    return static_cast<uint32_t>(bytes[offset]) | (static_cast<uint32_t>(bytes[offset + 1]) << 8) |
           (static_cast<uint32_t>(bytes[offset + 2]) << 16) | (static_cast<uint32_t>(bytes[offset + 3]) << 24);
}

void putU16(ConfigPacket& packet, size_t offset, uint16_t value) {
    packet[offset] = static_cast<uint8_t>(value);
    packet[offset + 1] = static_cast<uint8_t>(value >> 8);
}

ConfigEntry entryAt(std::span<const uint8_t> packet, size_t index) {
    const size_t at = index * ConfigEntrySize;
    return {packet[at], packet[at + 1], u16At(packet, at + 2), u16At(packet, at + 4), u16At(packet, at + 6)};
}

void putEntry(ConfigPacket& packet, size_t index, const ConfigEntry& entry) {
    const size_t at = index * ConfigEntrySize;
    packet[at] = entry.intensity;
    packet[at + 1] = entry.pause;
    putU16(packet, at + 2, entry.pulseCount);
    putU16(packet, at + 4, entry.onTicks);
    putU16(packet, at + 6, entry.offTicks);
}

// Within [low, high]; a value that is not a number is not.
bool within(double value, double low, double high) { return value >= low && value <= high; }

OperationResult wrongValue(const char* parameter) {
    return OperationResult::failed(Utility::kKspErrors.wrongParamValue,
                                   std::string("Incorrect ") + parameter + " parameter value");
}

// The entry of one program, or the failure that names the parameter it cannot carry.
OperationResult encode(const StimProgram& program, ConfigEntry& entry) {
    if (!within(program.power, 0, MaxPower)) return wrongValue("Power");
    if (!within(program.frequency, 0, MaxFrequency)) return wrongValue("Frequency");
    if (!within(program.pause, 0, MaxPause)) return wrongValue("Pause");
    const double pulses = program.frequency * program.stimulDuration;
    if (!within(pulses, 0, MaxField)) return wrongValue("StimulDuration");

    double on = 0;
    double off = 0;
    if (program.frequency > 0) {
        // A pulse must fit the 16-bit on time and the period; the rest of the period must fit
        // the 16-bit off time (below about 0.95 Hz it cannot).
        on = std::trunc(program.pulseWidth * 1000000 * 0.0625);
        if (!within(on, 0, MaxField)) return wrongValue("PulseWidth");
        off = std::trunc((1 / program.frequency - program.pulseWidth) * 1000000 * 0.0625);
        if (off < 0) return wrongValue("PulseWidth");
        if (off > MaxField) return wrongValue("Frequency");
    }
    entry.intensity = static_cast<uint8_t>(std::round(program.power * 255) * 0.01);
    entry.pause = static_cast<uint8_t>(program.pause);
    entry.pulseCount = static_cast<uint16_t>(pulses);
    entry.onTicks = static_cast<uint16_t>(on);
    entry.offTicks = static_cast<uint16_t>(off);
    return OperationResult::done();
}

}  // namespace

DevStimulStatus StatusPack::state() const {
    switch (bytes[0]) {
    case DeviceState::Idle: return DevStimulStatus::Idle;
    case DeviceState::SyncPrepared: return DevStimulStatus::SyncPrepared;
    case DeviceState::Synchronised: return DevStimulStatus::Synchronised;
    case DeviceState::Running: return DevStimulStatus::Running;
    default: return DevStimulStatus::Unknown;
    }
}

PtsStatus StatusPack::status() const {
    return {static_cast<uint8_t>(bytes[1] != 0 ? 1 : 0), u16At(bytes, 2), u32At(bytes, 4), u32At(bytes, 8),
            u32At(bytes, 12)};
}

StimProgram programOf(const ConfigEntry& entry) {
    const double period = static_cast<double>(entry.onTicks) + entry.offTicks;
    StimProgram program;
    program.frequency = entry.pulseCount != 0 && period > 0 ? TicksPerSecond / period : 0;
    program.power = entry.intensity / 255.0 * 100;
    program.pulseWidth = entry.onTicks * MicrosecondsPerTick * 1e-6;
    program.stimulDuration = entry.pulseCount * period / TicksPerSecond;
    program.pause = entry.pause;
    return program;
}

std::optional<std::vector<StimProgram>> decodeConfigure(std::span<const uint8_t> bytes) {
    if (bytes.size() < ConfigPacketSize) return std::nullopt;
    std::vector<StimProgram> programs;
    for (size_t i = 0; i < MaxPrograms; ++i) {
        const ConfigEntry entry = entryAt(bytes, i);
        if (entry.pulseCount != 0 || entry.onTicks != 0) programs.push_back(programOf(entry));
    }
    return programs;
}

PackedPrograms packPrograms(std::span<const StimProgram> programs) {
    if (programs.size() > MaxPrograms) throw std::invalid_argument("A configure packet holds at most 16 programs");
    PackedPrograms packed;
    if (programs.empty()) {
        putEntry(packed.packet, 0, DefaultEntry);
        packed.programs.push_back(programOf(DefaultEntry));
        return packed;
    }
    for (size_t i = 0; i < programs.size(); ++i) {
        ConfigEntry entry;
        packed.result = encode(programs[i], entry);
        if (!packed.result) {
            packed.packet = {};
            packed.programs.clear();
            return packed;
        }
        putEntry(packed.packet, i, entry);
        packed.programs.push_back(programOf(entry));
    }
    return packed;
}

std::vector<uint8_t> startFrame(uint32_t tick) {
    return {Command::Start, static_cast<uint8_t>(tick), static_cast<uint8_t>(tick >> 8),
            static_cast<uint8_t>(tick >> 16), static_cast<uint8_t>(tick >> 24)};
}

OperationResult deferTicks(double seconds, int32_t& ticks) {
    constexpr int MaxDeferSeconds = 10;
    if (!(seconds >= 0 && seconds <= MaxDeferSeconds))
        return OperationResult::failed(
            Utility::kKspErrors.wrongParamValue,
            fmt::format("The maximum time must not exceed {} seconds or be negative", MaxDeferSeconds));
    ticks = static_cast<int32_t>(std::trunc(TicksPerSecond * seconds));
    return OperationResult::done();
}

}  // namespace VexaDevice::PhotoStim
