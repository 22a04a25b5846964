#pragma once
// Derives electrode resistance from the signal of a device that drives a test current through
// its electrodes in a fixed pattern. A record marked 0xAA starts a measurement window of 64
// records per channel, channel 0 first; each complete window gives one resistance value per
// channel, computed from the difference of two eight-record groups of its channel.
//
// Fed by one thread (its protocol's worker); not guarded.

#include <cstddef>
#include <vector>

#include "sdk/devices/kestrane/KestraneRecords.hpp"

namespace VexaDevice::Kestrane {

class SignalToResistConverter {
public:
    static constexpr uint8_t WindowMarker = 0xAA;
    static constexpr size_t RecordsPerChannel = 64;

    explicit SignalToResistConverter(const ResistParams& params);

    // Adds the records in order. Every window that a marker closes is evaluated, and a full one
    // appends one record to `out`; true when at least one was appended. Records before the first
    // marker belong to no window and are dropped, and so are records past a full window and
    // records with fewer values than channels. A window measures 64 consecutive records per
    // channel: one whose records stop following each other (packs lost on the way, or a
    // measurement resumed after another mode) is abandoned until the next marker.
    bool process(const _SignalData* records, const size_t& count, std::vector<_ResistData>& out);

    // Forgets the window being filled, e.g. when the device leaves the resistance mode.
    void reset();

    // One value per channel from a window opened by a marker: false, appending nothing, when the
    // window holds fewer than 64 records per channel.
    bool compute(const std::vector<_SignalData>& window, _ResistData& out) const;

private:
    size_t windowSize() const;
    size_t channelCount() const;
    // Whether `record` is the one the device sent right after the window's last.
    bool follows(const _SignalData& record) const;

    const ResistParams params_;
    std::vector<_SignalData> window_;
    bool windowOpen_ = false;
};

}  // namespace VexaDevice::Kestrane
