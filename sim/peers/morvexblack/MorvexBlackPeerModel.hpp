#pragma once
// Wire behaviour of an emulated MorvexBlack device (first hardware variant), without any radio:
// the statuses it announces for each command frame and the packs it streams. Not thread-safe;
// the peer serialises access.
//
// A status is [mode, error of the last command, battery, 0]; mode frames are answered with one,
// the motion, photoplethysmogram and ping frames with none. It streams the packs of the older
// four-channel headbands (HeadbandPacks): the signal in signal mode, the resistance windows in
// resistance mode.

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "sim/peers/common/DeviceInformationPeer.hpp"
#include "sim/peers/common/FaultSwitches.hpp"
#include "sim/peers/kestrane/HeadbandDevice.hpp"

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

class MorvexBlackPeerModel : public FaultSwitches {
public:
    static constexpr uint8_t Accepted = HeadbandDevice::Accepted;
    static constexpr uint8_t WrongParameter = HeadbandDevice::WrongParameter;
    static constexpr uint8_t NotSupported = HeadbandDevice::NotSupported;
    static constexpr uint32_t Channels = HeadbandPacks::Channels;
    static constexpr uint32_t WindowRecords = HeadbandPacks::WindowRecords;

    explicit MorvexBlackPeerModel(MorvexBlackPeerSettings settings);

    // The statuses a frame makes the device announce, in order (none while silent).
    std::vector<std::vector<uint8_t>> onCommand(const std::vector<uint8_t>& frame);
    std::vector<uint8_t> statusValue() const;

    // The next pack of each running stream (empty when the stream is off).
    using Packs = HeadbandDevice::Packs;
    Packs nextPacks() { return device_.nextPacks(); }

    // Raw signal count of a resistance window's probe level across `ohms`.
    static int64_t probeCount(double ohms) { return HeadbandPacks::probeCount(ohms); }

    uint8_t mode() const { return device_.mode(); }
    bool motionRunning() const { return device_.motionRunning(); }
    bool fpgRunning() const { return device_.fpgRunning(); }
    uint8_t motionByte() const { return device_.motionByte(); }
    uint8_t fpgByte() const { return device_.fpgByte(); }
    const std::vector<uint8_t>& gainCodes() const { return device_.gainCodes(); }
    const std::vector<std::vector<uint8_t>>& pings() const { return pings_; }
    const MorvexBlackPeerSettings& settings() const { return settings_; }

    void setBattery(uint8_t level) { settings_.battery = level; }
    // Besides the fault switches (a refusal applies to mode frames): each answer preceded by the
    // status the device had before the frame (as a device announcing its battery at the wrong
    // moment would).
    void setStaleFirst(bool staleFirst) { staleFirst_ = staleFirst; }

private:
    bool takeStreamFrame(const std::vector<uint8_t>& frame);

    MorvexBlackPeerSettings settings_;
    HeadbandDevice device_;
    uint8_t error_ = Accepted;
    std::vector<std::vector<uint8_t>> pings_;
    bool staleFirst_ = false;
};

}  // namespace VexaSim
