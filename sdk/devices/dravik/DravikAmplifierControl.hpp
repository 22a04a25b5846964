#pragma once
// The Dravik amplifier: the mode it reports on ACS Status, the mode frames on ACS Command with
// the waits for the mode the device then reports, the settings on ACS Config, the survey
// identifier and the marker ping.
//
// Each mode change sends its frames and waits for the mode the device reports where its
// sequence says so; while it runs, the published mode is its target, so packs arriving
// meanwhile are read by the new mode. A failure leaves the published mode as the device's, and
// a link that is down fails every one of them. Commands run under the protocol's command lock.

#include <atomic>
#include <chrono>
#include <cstdint>
#include <memory>
#include <shared_mutex>
#include <vector>

#include "sdk/core/EEGChannel.hpp"
#include "sdk/core/OperationResult.hpp"
#include "sdk/devices/common/LinkLoss.hpp"
#include "sdk/devices/dravik/DravikChannels.hpp"
#include "sdk/devices/dravik/DravikFrames.hpp"
#include "sdk/devices/dravik/DravikRecords.hpp"
#include "sdk/devices/dravik/DravikSignalProcess.hpp"
#include "sdk/devices/dravik/DravikTiming.hpp"

namespace VexaDevice::Dravik {

class DravikAmplifierControl {
public:
    struct Links {
        Channel status;
        Channel config;
        Channel command;
        Channel data;
        // The file system's status notifications, switched off whenever the signal starts.
        Channel fsStatus;
        std::shared_mutex& commandLock;
        const Devices::LinkLoss& linkLoss;
    };
    DravikAmplifierControl(Links links, const DravikTiming& timing);
    DravikAmplifierControl(const DravikAmplifierControl&) = delete;
    DravikAmplifierControl& operator=(const DravikAmplifierControl&) = delete;

    // Reads ACS Config into the settings; throws rt_exception when it cannot.
    void readConfig();
    // Reads ACS Status; the device's mode becomes the reported one. Throws rt_exception when it
    // cannot.
    void readStatus();

    OperationResult powerDown();
    // Stops the amplifier from any mode but Idle, PowerDown included: the device then reports
    // PowerDown, and the command still succeeds.
    OperationResult setIdle();
    // From resistance alone, switching the measurement off is all it takes (no wait).
    OperationResult startSignal();
    // From signal, switching the measurement on is all it takes (no wait).
    OperationResult startResist();
    // Back to signal from signal and resistance, else PowerDown.
    OperationResult stopResist();
    OperationResult startSignalAndResist();

    // Settings taken only while the amplifier is stopped (PowerDown or Idle).
    OperationResult writeParam(const DravikAmplifierParam& param);
    DravikAmplifierParam param() const { return processing_->amplifier(); }
    OperationResult writeSurveyId(int32_t id);
    int32_t surveyId() const { return static_cast<int32_t>(surveyId_.load()); }
    // The 24 channels with their electrodes; the channel types follow the referent mode.
    std::vector<Sensor::EEGChannelInfo> supportedChannels() const;
    // Marks the next sample set while the amplifier measures; marker 0 sends nothing.
    OperationResult ping(uint8_t marker);

    // The target of a mode change while it runs, else the device's mode.
    uint8_t publishedMode() const { return publishedMode_; }
    // How the sample packets are read; it follows the settings.
    const std::shared_ptr<SignalProcessParam>& processing() const { return processing_; }

private:
    // Waits until ACS Status reports `expected`, reading it every poll step.
    OperationResult waitMode(uint8_t expected, std::chrono::milliseconds timeout);
    void applyStatus(const AcsStatus& status);
    // Writes a mode frame, at most three times; 513 with `failure` when none got through.
    OperationResult sendModeFrame(const std::vector<uint8_t>& frame, const char* failure);
    OperationResult resistOff();
    OperationResult resistOn();
    OperationResult signalOn();
    // Runs one mode change under the command lock; a link that is down fails it before
    // anything is skipped or sent.
    template <class Change>
    OperationResult modeChange(Change change);
    // Under the command lock: unless the amplifier is in `already`, the stop frame until the
    // device reports PowerDown.
    OperationResult stop(uint8_t already, const char* failure);
    OperationResult startSignalLocked();
    OperationResult startResistLocked();
    OperationResult startSignalAndResistLocked();

    const Links links_;
    const DravikTiming timing_;
    const std::shared_ptr<SignalProcessParam> processing_;
    std::atomic<uint8_t> mode_{AmpModeUnknown};
    std::atomic<uint8_t> publishedMode_{AmpModeUnknown};
    std::atomic<uint8_t> resistMode_{0};
    std::atomic<uint32_t> surveyId_{0};
};

}  // namespace VexaDevice::Dravik
