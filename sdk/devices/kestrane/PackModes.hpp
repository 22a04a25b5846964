#pragma once
// Which measurement each signal pack of an older four-channel headband belongs to. Status and
// data arrive in the order the device sent them, so a status that reports a new mode marks
// where in the signal ring that mode's packs begin; the gain a signal measurement runs at is the
// one it was started with. A switch whose answer is lost leaves the device in a mode unknown
// until the next status: packs that may have been sent after the device took the frame mean
// nothing until then. The worker asks for the measurement of each pack it takes, in order, and
// none while a switch is under way.
//
// Threads: statusArrived runs wherever the status is taken in (the thread delivering the
// notification, or the command thread reading the status), setGain and the switches under the
// protocol's command lock, measurementAt on the worker.

#include <cstddef>
#include <cstdint>
#include <deque>
#include <mutex>

#include "sdk/devices/kestrane/HeadbandWire.hpp"

namespace VexaDevice::Kestrane::Headband {

class PackModes {
public:
    struct Measurement {
        // 0: unknown.
        uint8_t mode = 0;
        uint8_t gainIndex = DefaultGainIndex;
        // Counts the measurements: a new number starts a new one, even in the same mode.
        uint64_t number = 0;
    };

    // The gain the device amplifies its signal with from its next start on.
    void setGain(uint8_t gainIndex);
    uint8_t gain() const;

    // A status reported `mode` while the signal ring held `dataPosition` packs.
    void statusArrived(size_t dataPosition, uint8_t mode);

    // Where a mode switch began: the data position, and how many statuses had arrived.
    struct Switch {
        size_t dataPosition = 0;
        uint64_t statuses = 0;
    };
    Switch switchBegins(size_t dataPosition) const;
    // No status answered the switch: the packs from its beginning, or from the last status
    // since, on have no meaning until the next status.
    void switchUnanswered(const Switch& begun);

    // The measurement of the pack at `dataPosition`; positions asked for never go back.
    Measurement measurementAt(size_t dataPosition);

private:
    // Under the lock: from `dataPosition` on, the packs belong to a new measurement in `mode`.
    void change(size_t dataPosition, uint8_t mode);

    struct Change {
        size_t from;
        Measurement measurement;
    };

    mutable std::mutex mutex_;
    uint8_t gainIndex_ = DefaultGainIndex;
    // The measurement of the packs before the first change; changes in ascending position.
    Measurement current_;
    std::deque<Change> changes_;
    uint64_t count_ = 0;
    uint64_t statuses_ = 0;
    size_t lastStatusAt_ = 0;
};

}  // namespace VexaDevice::Kestrane::Headband
