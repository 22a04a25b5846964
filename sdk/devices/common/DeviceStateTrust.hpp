#pragma once
// What a protocol knows of its device's mode, and from which data pack on that knowledge
// holds. A command whose reply was lost or never came, and every disconnection, leave the
// device in a mode the protocol cannot know: it may have switched or not. Until the status
// characteristic has been read again, no command is skipped because the cached mode already
// matches, and no data pack is given a meaning. Packs that arrived before the device
// acknowledged a switch belong to the mode it left and are not taken for the new one.
//
// Positions count the packs written to the protocol's data ring. The status handler reports
// where the data stood when each status arrived; status and data arrive in the order the
// device sent them.

#include <algorithm>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "sdk/ble/BLEChannel.hpp"

namespace VexaDevice::Devices {

class DeviceStateTrust {
public:
    bool known() const { return known_; }

    // The mode may have changed unseen.
    void forget() { known_ = false; }

    // Status handler: a status arrived with the data ring at `dataPosition`.
    void statusArrived(size_t dataPosition) { lastStatusAt_ = dataPosition; }

    // A command saw the device reach the mode it asked for (its status just arrived), or a
    // status read at (re)connection: packs from the last status on have that mode.
    void confirmed() {
        meaningFrom_ = std::max<size_t>(meaningFrom_, lastStatusAt_);
        known_ = true;
    }

    // When the mode is unknown: reads the status characteristic once and hands the value to
    // `apply` (the protocol's status handler, which reports statusArrived). True when the mode
    // is known afterwards; packs that came before the read are never given a meaning.
    template <class Apply>
    bool relearn(BLE::IBLEChannel& status, Apply&& apply) {
        if (known_) return true;
        known_ = true;
        std::vector<uint8_t> value;
        if (!status.read(value) || value.empty()) {
            known_ = false;
            return false;
        }
        apply(value);
        meaningFrom_ = std::max<size_t>(meaningFrom_, lastStatusAt_);
        return known_;
    }

    // Runs `read`, a status read that leaves the mode as trusted as it was; when it throws, the
    // mode is unknown (the status may have changed unseen) and the exception propagates.
    template <class Read>
    void readOrForget(Read&& read) {
        try {
            read();
        } catch (...) {
            forget();
            throw;
        }
    }

    // Of `count` packs starting at position `first`, how many lead ones came before the mode
    // now known and are to be dropped.
    size_t stalePacks(size_t first, size_t count) const {
        const size_t from = meaningFrom_;
        return from > first ? std::min(from - first, count) : 0;
    }

private:
    std::atomic<bool> known_{true};
    std::atomic<size_t> lastStatusAt_{0};
    std::atomic<size_t> meaningFrom_{0};
};

}  // namespace VexaDevice::Devices
