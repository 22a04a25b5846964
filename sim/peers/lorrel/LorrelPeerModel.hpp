#pragma once
// Wire behaviour of an emulated Lorrel headband of the first models, without any radio: the
// status that answers each command frame, and the packs of the older four-channel headbands it
// streams (HeadbandDevice). Not thread-safe; the peer serialises access.
//
// Every frame but the ping is answered by one status [battery, error of the frame (0 accepted,
// 1 wrong length or value, 2 unknown command), device mode, the frame's command code].

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "sim/peers/common/DeviceInformationPeer.hpp"
#include "sim/peers/common/FaultSwitches.hpp"
#include "sim/peers/kestrane/HeadbandDevice.hpp"

namespace VexaSim {

struct LorrelPeerSettings {
    std::string name = "Lorrel";
    // Model number "80.1": family code 'P'.
    DeviceInformationTexts information{"LR-000011", "80.1", "1.0.0", "1.4.2"};
    bool hasMotion = true;
    bool hasFpg = true;
    uint8_t battery = 76;
    uint8_t mode = 2;  // at power-on: 1 PowerDown, 2 Idle, 3 signal, 4 resistance
    // Electrode resistance of each channel, ohms.
    std::array<double, HeadbandPacks::Channels> resistanceOhms{12000, 30000, 60000, 150000};
};

class LorrelPeerModel : public FaultSwitches {
public:
    explicit LorrelPeerModel(LorrelPeerSettings settings);

    // The status that answers a frame; none while silent and for the ping.
    std::optional<std::vector<uint8_t>> onCommand(const std::vector<uint8_t>& frame);
    std::vector<uint8_t> statusValue() const;

    using Packs = HeadbandDevice::Packs;
    Packs nextPacks() { return device_.nextPacks(); }

    uint8_t mode() const { return device_.mode(); }
    bool motionRunning() const { return device_.motionRunning(); }
    bool fpgRunning() const { return device_.fpgRunning(); }
    const std::vector<uint8_t>& gainCodes() const { return device_.gainCodes(); }
    const std::vector<std::vector<uint8_t>>& pings() const { return pings_; }
    const LorrelPeerSettings& settings() const { return settings_; }

    void setBattery(uint8_t level) { settings_.battery = level; }

private:
    uint8_t carryOut(const std::vector<uint8_t>& frame);

    LorrelPeerSettings settings_;
    HeadbandDevice device_;
    uint8_t error_ = HeadbandDevice::Accepted;
    uint8_t answered_ = 0;
    std::vector<std::vector<uint8_t>> pings_;
};

}  // namespace VexaSim
