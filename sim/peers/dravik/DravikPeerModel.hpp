#pragma once
// The wire behaviour of a Dravik device without a radio: the amplifier's mode frames and status,
// its ADC configuration, its data packets, and the file system (DravikFileStore).
//
// Amplifier: [0x01] stops (state 0), [0x03, survey id] starts the signal (state 2), [0x05, n]
// switches lead-off measurement (sub-mode n), [0x06, marker] marks the next sample set. While the
// signal runs, each packet carries the configured sets and channels: signal-only channels read
// their channel's voltage, lead-off channels (with measurement on) the excitation across their
// electrode.

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "sim/peers/common/DeviceInformationPeer.hpp"
#include "sim/peers/dravik/DravikFileStore.hpp"

namespace VexaSim {

struct DravikPeerSettings {
    std::string name = "Dravik";
    // Model "100.1": the family's character 'd'.
    DeviceInformationTexts information{"DRV000123", "100.1", "2.0.0", "1.4.0"};
    uint8_t battery = 87;
    uint8_t fsState = 0;
    bool hasStimulator = true;
    // The ADC configuration the device starts with; empty: dravikDefaultAdcConfig().
    std::vector<uint8_t> adcConfig;
    // Volts each signal-only channel reads.
    std::array<double, 24> channelVolts{};
    // Ohms of each electrode under lead-off measurement.
    std::array<double, 24> electrodeOhms{};
};

// Every channel signal-only at gain x24, 500 Hz, one referent.
std::vector<uint8_t> dravikDefaultAdcConfig();

class DravikPeerModel {
public:
    struct Packs {
        std::vector<uint8_t> data;
    };

    explicit DravikPeerModel(DravikPeerSettings settings);

    // The status a mode frame makes the device announce.
    std::optional<std::vector<uint8_t>> onCommand(const std::vector<uint8_t>& frame);
    // State (0 powered down, 2 measuring), sub-mode, survey id (uint32 at 4), zero to 20 bytes.
    std::vector<uint8_t> statusValue() const;
    // The status a read gives: while a mode change lags, the one from before it.
    std::vector<uint8_t> readStatus();
    // The next data packet while the amplifier measures.
    Packs nextPacks();

    void setAdcConfig(std::vector<uint8_t> config) { adcConfig_ = std::move(config); }
    const std::vector<uint8_t>& adcConfig() const { return adcConfig_; }

    const DravikPeerSettings& settings() const { return settings_; }
    DravikFileStore& store() { return store_; }
    uint8_t state() const { return state_; }
    uint8_t resistMode() const { return resistMode_; }
    uint32_t surveyId() const { return surveyId_; }
    const std::vector<uint8_t>& markers() const { return markers_; }
    uint32_t packetsSent() const { return packetsSent_; }
    void setElectrodeOhms(size_t channel, double ohms) { settings_.electrodeOhms.at(channel) = ohms; }

    void setBattery(uint8_t level) { settings_.battery = level; }
    // Mode frames go unanswered.
    void setSilent(bool silent) { silent_ = silent; }
    // Mode frames are acknowledged and not carried out.
    void setIgnoring(bool ignoring) { ignoring_ = ignoring; }
    void setRefusal(uint8_t) {}
    // A slow amplifier: after a mode frame the status (reads and notifications alike) shows the
    // mode from before it for this many reads, while the amplifier already streams in the new one.
    void setModeLag(int reads) { modeLag_ = reads; }

private:
    DravikPeerSettings settings_;
    DravikFileStore store_;
    std::vector<uint8_t> adcConfig_;
    uint8_t state_ = 0;
    uint8_t resistMode_ = 0;
    uint32_t surveyId_ = 0;
    uint32_t packNum_ = 0;
    uint32_t packetsSent_ = 0;
    bool silent_ = false;
    bool ignoring_ = false;
    std::vector<uint8_t> markers_;
    uint8_t pendingMarker_ = 0;
    int modeLag_ = 0;
    int lagLeft_ = 0;
    std::vector<uint8_t> lagging_;
};

}  // namespace VexaSim
