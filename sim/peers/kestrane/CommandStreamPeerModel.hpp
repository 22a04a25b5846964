#pragma once
// Wire behaviour of an emulated command-and-stream device (the Wrenlet sensors, the Morvex2
// devices), without any radio: the status it answers to each command frame, and the signal,
// resistance, motion and photoplethysmogram packs it streams. Not thread-safe; the peer
// serialises access.
//
// Every status answers the frame it replies to: battery, result (0 accepted, 1 wrong length or
// value, 2 unknown command), mode with the motion and photoplethysmogram states, and the frame's
// command code.

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "sim/peers/common/AnswerOrder.hpp"
#include "sim/peers/common/DeviceInformationPeer.hpp"
#include "sim/peers/common/FaultSwitches.hpp"

namespace VexaSim {

struct CommandStreamPeerSettings {
    std::string name = "Wrenlet";
    DeviceInformationTexts information{"WR-000042", "80.1", "1.0.0", "2.3.4"};
    std::string suffix = "95";  // last two digits of the GATT UUIDs
    uint32_t channels = 4;
    uint32_t samplesPerPack = 8;
    uint32_t maxSamplesPerPack = 8;
    uint32_t counterSize = 2;     // signal, motion and photoplethysmogram packs
    bool littleEndian = false;    // the same packs; resistance packs are always little-endian
    uint32_t amplifierSlots = 4;  // channel pairs of the amplifier frame
    // Codes of the commands whose code differs between the families speaking this protocol.
    uint8_t signalResistCode = 0x09;
    uint8_t amplifierCode = 0x0A;
    bool hasMotion = true;
    bool hasFpg = true;
    uint8_t battery = 77;
    uint8_t mode = 2;  // at power-on: 1 PowerDown, 2 Idle, 3 signal, 4 resistance, 5 both
    bool motionRunning = false;
    bool fpgRunning = false;
    // When the device answers a frame (the peer's order at attachment).
    AnswerOrder answerOrder = AnswerOrder::AsTaken;
    // Raw resistance value of each channel, ohms.
    std::array<int32_t, 8> resistanceOhms{50000, 100000, 150000, 5000000, 60000, 70000, 80000, 90000};
};

class CommandStreamPeerModel : public FaultSwitches {
public:
    static constexpr uint8_t Accepted = 0;
    static constexpr uint8_t WrongParameter = 1;
    static constexpr uint8_t NotSupported = 2;

    explicit CommandStreamPeerModel(CommandStreamPeerSettings settings);

    // The status that answers a frame; empty while silent and for the ping, which has no answer.
    std::optional<std::vector<uint8_t>> onCommand(const std::vector<uint8_t>& frame);
    std::vector<uint8_t> statusValue() const;

    // The next pack of each running stream (empty when the stream is off).
    struct Packs {
        std::vector<uint8_t> signal;
        std::vector<uint8_t> resist;
        std::vector<uint8_t> motion;
        std::vector<uint8_t> fpg;
    };
    Packs nextPacks();

    // The known streams, by the number of the record since power-on (its PackNum).
    static int32_t signalCount(uint32_t channel, uint32_t record);
    static uint8_t markerOf(uint32_t record);
    static int32_t motionCount(uint32_t axis, uint32_t record);
    static uint32_t fpgCount(uint32_t value, uint32_t record);

    uint8_t mode() const { return mode_; }
    bool motionRunning() const { return motionRunning_; }
    bool fpgRunning() const { return fpgRunning_; }
    uint32_t samplesPerPack() const { return samplesPerPack_; }
    const std::vector<uint8_t>& amplifierFrame() const { return amplifierFrame_; }
    const std::vector<std::vector<uint8_t>>& pings() const { return pings_; }
    const CommandStreamPeerSettings& settings() const { return settings_; }

    void setBattery(uint8_t level) { settings_.battery = level; }

private:
    uint8_t carryOut(const std::vector<uint8_t>& frame);
    std::vector<uint8_t> signalPack();
    std::vector<uint8_t> resistPack();
    std::vector<uint8_t> motionPack();
    std::vector<uint8_t> fpgPack();

    CommandStreamPeerSettings settings_;
    uint8_t mode_;
    uint8_t result_ = Accepted;
    uint8_t answered_ = 0;
    bool motionRunning_;
    bool fpgRunning_;
    uint32_t samplesPerPack_;
    std::vector<uint8_t> amplifierFrame_;
    std::vector<std::vector<uint8_t>> pings_;
    uint32_t signalRecords_ = 0;
    uint32_t resistPacks_ = 0;
    uint32_t motionRecords_ = 0;
    uint32_t fpgRecords_ = 0;
};

}  // namespace VexaSim
