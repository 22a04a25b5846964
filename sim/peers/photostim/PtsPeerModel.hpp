#pragma once
// The wire behaviour of an emulated photo-stimulation service, without a radio: the state
// machine that the command frames drive, the 20-byte status packs it announces, its clock and
// its place on a sync link.
//
// Commands: [1] reset, [2] prepare synchronisation, [3] synchronise, [4, t0..t3] start the
// program list at tick t (little-endian), [5] stop. Device states on the wire: 0 idle,
// 1 synchronisation prepared, 2 synchronised, 3 running. Status pack: state, sync flag,
// battery voltage (16 bits), stimulator time (32 bits), two words (32 bits each), 4 zero bytes,
// all little-endian.

#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

#include "sim/peers/photostim/StimSyncLink.hpp"

namespace VexaSim {

struct PtsPeerSettings {
    // The link the stimulator synchronises on; a link of its own when empty.
    std::shared_ptr<StimSyncLink> link;
    // The source of the link's pulses (a stand-alone stimulator), or a member that follows them.
    bool syncSource = true;
    // What the free clock of the stimulator reads when the model is made.
    uint32_t ownClockStart = 5000000;
    uint16_t batteryVoltage = 3900;
    // A start is taken at once and the program runs from then (false), or it waits for its
    // tick and the stimulator reports Running only then (true); a stop before the tick cancels
    // the start.
    bool runningAtStartTick = false;
    uint32_t word = 0;
    uint32_t statusWord = 0;
};

class PtsPeerModel {
public:
    using Status = std::optional<std::vector<uint8_t>>;

    static constexpr uint8_t Idle = 0;
    static constexpr uint8_t SyncPrepared = 1;
    static constexpr uint8_t Synchronised = 2;
    static constexpr uint8_t Running = 3;

    explicit PtsPeerModel(PtsPeerSettings settings);

    // The member that stands for this model on its link (its peer); a source's pulses reach
    // every member but this one.
    void setMember(const SyncMember* member) { member_ = member; }

    // The status to announce after a command frame; nothing when the frame changes nothing.
    Status onCommand(const std::vector<uint8_t>& frame);
    Status onSyncPulse();
    Status onSyncLost();
    // The clock moved on: a start waiting for its tick runs once the tick is reached.
    Status onClock();

    // The status as a read gives it now.
    std::vector<uint8_t> statusValue() const;

    uint8_t state() const { return state_; }
    bool synchronised() const { return state_ == Synchronised || state_ == Running; }
    uint32_t now() const;
    uint32_t startTick() const { return startTick_; }
    const std::shared_ptr<StimSyncLink>& link() const { return link_; }

    // Commands taken without acting on them.
    void setIgnoring(bool ignoring) { ignoring_ = ignoring; }
    // A faulty device: every command it acts on leads to `state` instead (nothing: as it should).
    void setAnswerState(std::optional<uint8_t> state) { answerState_ = state; }
    void setBatteryVoltage(uint16_t voltage) { settings_.batteryVoltage = voltage; }
    void setRunningAtStartTick(bool atTick) { settings_.runningAtStartTick = atTick; }
    // A start was taken and waits for its tick.
    bool startPending() const { return startPending_; }

private:
    Status enter(uint8_t state);

    PtsPeerSettings settings_;
    const std::shared_ptr<StimSyncLink> link_;
    const StimulatorClock ownClock_;
    const SyncMember* member_ = nullptr;
    uint8_t state_ = Idle;
    uint32_t startTick_ = 0;
    bool startPending_ = false;
    bool ignoring_ = false;
    std::optional<uint8_t> answerState_;
};

}  // namespace VexaSim
