#pragma once
// Wire behaviour of an emulated first-generation Morvex device, without any radio: what it
// answers to each command frame, its status value, and the data packs it streams in the
// signal and resistance states. Not thread-safe; MorvexPeer serialises access.

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "sim/peers/common/DeviceInformationPeer.hpp"
#include "sim/peers/common/FaultSwitches.hpp"

namespace VexaSim {

// The Device Information texts first (serial number, model number, hardware and firmware
// revision).
struct MorvexPeerSettings : DeviceInformationTexts {
    MorvexPeerSettings() : DeviceInformationTexts{"MX1-000042", "1", "2", "7"} {}

    uint8_t battery = 87;
    uint8_t state = 1;  // device state at power-on
    // Skin-electrode resistance per electrode in device order (O1, T3, T4, O2), ohms.
    std::array<double, 4> resistanceOhms{50e3, 100e3, 150e3, 200e3};
};

class MorvexPeerModel : public FaultSwitches {
public:
    static constexpr uint8_t IdleState = 1;
    static constexpr uint8_t SignalState = 2;
    static constexpr uint8_t ResistState = 3;
    static constexpr uint8_t LengthError = 1;
    static constexpr uint8_t ModeError = 2;

    explicit MorvexPeerModel(MorvexPeerSettings settings);

    // The status notification that answers a command frame; empty while the device is
    // silent. A frame of the wrong length is refused with the length error, an unknown
    // command byte with the mode error; a refused frame leaves the state as it was.
    std::optional<std::vector<uint8_t>> onCommand(const std::vector<uint8_t>& frame);

    // The 4-byte status value: state, error of the last command, battery, 0.
    std::vector<uint8_t> statusValue() const;

    // The next data pack while streaming (signal or resistance state), else empty.
    std::optional<std::vector<uint8_t>> nextPack();

    uint8_t state() const { return state_; }
    uint8_t gainCode() const { return gainCode_; }
    uint8_t selectedElectrode() const { return electrode_; }
    uint8_t polarity() const { return polarity_; }
    const MorvexPeerSettings& settings() const { return settings_; }

    void setBattery(uint8_t level) { settings_.battery = level; }
    void setResistance(uint8_t electrode, double ohms) { settings_.resistanceOhms.at(electrode) = ohms; }

    // The known signal: count of `electrode` (device order) in sample `sample` (0 or 1) of
    // the pack numbered `packNum` (0..2047). A triangle wave of amplitude 1000000 counts,
    // different in slope and phase per electrode, so it crosses zero and covers both signs.
    static int32_t signalCount(uint8_t electrode, uint32_t packNum, int sample);
    // Count of the test signal that a resistance of `ohms` gives at gain 6 (positive polarity).
    static int32_t resistCount(double ohms);
    // Whether the pack numbered `packNum` (0..2047) carries the marker bit: every tenth number,
    // so that the marker, like the samples, follows the number on the wire.
    static bool markerOf(uint32_t packNum) { return packNum % 10 == 0; }

private:
    std::vector<uint8_t> signalPack();
    std::vector<uint8_t> resistPack();
    bool switchesElectrode(uint8_t command) const;
    void enter(uint8_t state);

    MorvexPeerSettings settings_;
    uint8_t state_;
    uint8_t error_ = 0;
    uint8_t gainCode_ = 0;
    uint8_t electrode_ = 0;
    uint8_t polarity_ = 0;
    uint32_t packIndex_ = 0;
};

}  // namespace VexaSim
