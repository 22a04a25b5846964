#pragma once
// Wire behaviour of an emulated MorvexBlack device (first hardware variant), without any radio:
// the statuses it announces for each command frame and the packs it streams. Not thread-safe;
// the peer serialises access.
//
// A status is [mode, error of the last command, battery, 0]; mode frames are answered with one,
// the motion, photoplethysmogram and ping frames with none. In signal mode the device streams
// 106-byte signal packs of a known sawtooth; in resistance mode the same packs carry its
// resistance windows: 64 records per channel, channel 0 first, the first record marked 0xAA, and
// in records 24-31 of its channel a level that the probe current makes across that electrode.

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "sim/peers/common/DeviceInformationPeer.hpp"

namespace VexaSim {

struct MorvexBlackPeerSettings {
    std::string name = "MorvexBlack";
    DeviceInformationTexts information{"MB-000013", "71.0", "1.0.0", "1.2.3"};
    bool hasMotion = true;
    bool hasFpg = true;
    uint8_t battery = 81;
    uint8_t mode = 2;  // at power-on: 1 PowerDown, 2 Idle, 3 signal, 4 resistance
    // Electrode resistance of each channel, ohms.
    std::array<double, 4> resistanceOhms{10000, 25000, 50000, 200000};
};

class MorvexBlackPeerModel {
public:
    static constexpr uint8_t Accepted = 0;
    static constexpr uint8_t WrongParameter = 1;
    static constexpr uint8_t NotSupported = 2;
    static constexpr uint32_t Channels = 4;
    static constexpr uint32_t RecordsPerPack = 8;
    static constexpr uint32_t WindowRecords = 64 * Channels;

    explicit MorvexBlackPeerModel(MorvexBlackPeerSettings settings);

    // The statuses a frame makes the device announce, in order (none while silent).
    std::vector<std::vector<uint8_t>> onCommand(const std::vector<uint8_t>& frame);
    std::vector<uint8_t> statusValue() const;

    // The next pack of each running stream (empty when the stream is off).
    struct Packs {
        std::vector<uint8_t> signal;
        std::vector<uint8_t> motion;
        std::vector<uint8_t> fpg;
    };
    Packs nextPacks();

    // Raw signal count of a resistance window's probe level across `ohms`.
    static int64_t probeCount(double ohms);

    uint8_t mode() const { return mode_; }
    bool motionRunning() const { return motionRunning_; }
    bool fpgRunning() const { return fpgRunning_; }
    uint8_t motionByte() const { return motionByte_; }
    uint8_t fpgByte() const { return fpgByte_; }
    const std::vector<uint8_t>& gainCodes() const { return gainCodes_; }
    const std::vector<std::vector<uint8_t>>& pings() const { return pings_; }
    const MorvexBlackPeerSettings& settings() const { return settings_; }

    void setBattery(uint8_t level) { settings_.battery = level; }
    // Fault switches: no answer at all; every mode frame refused with `error` (0 = off); mode
    // frames answered without being carried out; each answer preceded by the status the device
    // had before the frame (as a device announcing its battery at the wrong moment would).
    void setSilent(bool silent) { silent_ = silent; }
    void setRefusal(uint8_t error) { refusal_ = error; }
    void setIgnoring(bool ignoring) { ignoring_ = ignoring; }
    void setStaleFirst(bool staleFirst) { staleFirst_ = staleFirst; }

private:
    uint8_t carryOut(const std::vector<uint8_t>& frame);
    bool takeStreamFrame(const std::vector<uint8_t>& frame);
    std::vector<uint8_t> signalPack();
    std::vector<uint8_t> motionPack();
    std::vector<uint8_t> fpgPack();

    MorvexBlackPeerSettings settings_;
    uint8_t mode_;
    uint8_t error_ = Accepted;
    bool motionRunning_ = false;
    bool fpgRunning_ = false;
    uint8_t motionByte_ = 0;
    uint8_t fpgByte_ = 0;
    std::vector<uint8_t> gainCodes_;
    std::vector<std::vector<uint8_t>> pings_;
    uint32_t signalRecords_ = 0;
    uint32_t resistRecords_ = 0;
    uint32_t motionRecords_ = 0;
    uint32_t fpgRecords_ = 0;
    bool silent_ = false;
    uint8_t refusal_ = 0;
    bool ignoring_ = false;
    bool staleFirst_ = false;
};

}  // namespace VexaSim
