#pragma once
// Wire behaviour of an emulated Tessel-class sensor, without any radio: the reply packs it
// answers to each 20-byte command frame, the settings it keeps (across reconnections too), and
// the data packs it streams. Not thread-safe; TesselPeer serialises access.

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace VexaSim {

// Byte 9 of an ERROR reply: the refused command's code, 0, or the code of another command.
enum class ErrorByte9 : uint8_t { RefusedCode, Zero, OtherCommand };

struct TesselPeerSettings {
    uint32_t serial = 0x123456;  // 24 bits
    // Echo: version words, and whether the device starts in its boot loader.
    uint8_t major = 42;
    uint16_t minor = 15;
    uint8_t third = 3;
    uint8_t fourth = 9;
    uint16_t last = 0xBEEF;
    bool bootLoader = false;
    // Module mask: 1 signal, 2 motion, 4 stimulation, 8 respiration.
    uint8_t modules = 0x0B;
    // Settings in the device's own codes.
    uint8_t rateCode = 1;    // 0..6
    uint8_t adcInput = 0;    // 0..3
    uint8_t filterMask = 0;  // bits 0..5
    uint8_t gainCode = 0;    // 0..6
    uint8_t dataOffset = 3;  // 0..8
    uint8_t externalSwitch = 1;
    uint8_t accelSens = 1;  // 0..3
    uint8_t gyroSens = 2;   // 0..3
    uint16_t batteryMillivolts = 3800;
    bool electrodesDetached = false;
    // Stimulator and motion assistant, as the device stores them (pulse width in tens).
    std::array<uint8_t, 6> stimulation{1, 30, 10, 50, 0x10, 0x27};
    std::array<uint8_t, 4> motionAssistant{20, 15, 1, 30};
    uint16_t counterParam1 = 100;
    uint16_t counterParam2 = 200;
    int32_t motionCounter = 1234;
};

class TesselPeerModel {
public:
    // Device error codes it answers with.
    static constexpr uint8_t ErrNoCmd = 33;
    static constexpr uint8_t ErrChecksum = 35;
    static constexpr uint8_t ErrWrongParam = 37;
    static constexpr uint8_t ErrModuleMissing = 40;
    static constexpr uint8_t ErrStimParamNotSet = 48;

    explicit TesselPeerModel(TesselPeerSettings settings);

    // The packs that answer one frame (usually one; none while silent). A frame that is not
    // 20 bytes, lacks the DF FF mark or has a wrong checksum is refused with ErrChecksum.
    std::vector<std::vector<uint8_t>> onCommand(const std::vector<uint8_t>& frame);

    // The Rx characteristic's value before the first notification.
    std::vector<uint8_t> statusValue() const { return {}; }

    // The data packs of one streaming tick: one pack of each running stream.
    std::vector<std::vector<uint8_t>> nextPacks();
    bool streaming() const;
    // The link went down: the streams stop, the settings stay.
    void onLinkLost();

    const TesselPeerSettings& settings() const { return settings_; }
    TesselPeerSettings& settings() { return settings_; }
    // Streams currently running, by command code of their start.
    bool signalOn() const { return signal_; }
    uint8_t stimulatorState() const { return stimulatorState_; }
    uint8_t assistantState() const { return assistantState_; }

    // Fault switches: no answer at all; every command refused with `error` (0 = off); one
    // command refused with `error` (0 = off); what byte 9 of an ERROR reply holds, which the
    // reply leaves to the device.
    void setSilent(bool silent) { silent_ = silent; }
    void setRefusal(uint8_t error) { refusal_ = error; }
    void refuseCommand(uint8_t code, uint8_t error) { refusedCommands_[code] = error; }
    void setErrorByte9(ErrorByte9 kind) { errorByte9_ = kind; }

    // The known waveforms: count of sample `index` (0..8) of signal pack `packNum`, and the
    // 24-bit counts of respiration and envelope pack `packNum`; motion axes are big-endian
    // counts of motionCount(packNum, axis), quaternions quaternionComponent(packNum, i).
    static int16_t signalCount(uint32_t packNum, int index);
    static int32_t respirationCount(uint32_t packNum);
    static int32_t envelopeCount(uint32_t packNum);
    static int16_t motionCount(uint32_t packNum, int axis);
    static float quaternionComponent(uint32_t packNum, int index);

    static constexpr uint32_t MaxSignalPackNum = 65500;

private:
    std::vector<uint8_t> reply(uint8_t code, std::initializer_list<std::pair<size_t, uint8_t>> bytes = {}) const;
    std::vector<uint8_t> error(uint8_t error, uint8_t refused) const;
    std::vector<uint8_t> handle(uint8_t code, const std::vector<uint8_t>& frame);
    std::vector<uint8_t> setByte(uint8_t code, uint8_t value, uint8_t highest, uint8_t module, uint8_t& setting);
    std::vector<uint8_t> stream(uint8_t code, uint8_t module, bool& flag, bool on);
    bool has(uint8_t module) const { return (settings_.modules & module) != 0; }

    TesselPeerSettings settings_;
    bool signal_ = false;
    bool motion_ = false;
    bool respiration_ = false;
    bool quaternion_ = false;
    bool envelope_ = false;
    uint8_t stimulatorState_ = 0;
    uint8_t assistantState_ = 0;
    bool calibrated_ = false;
    uint32_t signalPackNum_ = 0;
    uint32_t otherPackNum_ = 0;
    bool silent_ = false;
    uint8_t refusal_ = 0;
    std::array<uint8_t, 256> refusedCommands_{};
    ErrorByte9 errorByte9_ = ErrorByte9::RefusedCode;
};

}  // namespace VexaSim
