#pragma once
// What a protocol's worker makes of the newest status: the battery level of every status, and
// the device mode whenever it differs from the mode published last. Worker only.

#include <cstdint>

#include "sdk/core/EventBus.hpp"

namespace VexaDevice::Devices {

template <class Mode>
class StatusPublisher {
public:
    // The mode published last; 0 before the first status.
    uint8_t mode() const { return mode_; }

    template <class Status>
    void publish(const Status& status, Utility::EventBus<int>& batteryBus, Utility::EventBus<Mode>& modeBus) {
        batteryBus.notify(status.battery());
        if (status.mode() != mode_) {
            mode_ = status.mode();
            modeBus.notify(static_cast<Mode>(mode_));
        }
    }

private:
    uint8_t mode_ = 0;
};

}  // namespace VexaDevice::Devices
