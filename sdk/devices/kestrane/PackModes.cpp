#include "sdk/devices/kestrane/PackModes.hpp"

#include <algorithm>

namespace VexaDevice::Kestrane::Headband {

void PackModes::setGain(uint8_t gainIndex) {
    std::lock_guard lock(mutex_);
    gainIndex_ = gainIndex;
}

uint8_t PackModes::gain() const {
    std::lock_guard lock(mutex_);
    return gainIndex_;
}

void PackModes::statusArrived(size_t dataPosition, uint8_t mode) {
    std::lock_guard lock(mutex_);
    ++statuses_;
    lastStatusAt_ = dataPosition;
    const Measurement& last = changes_.empty() ? current_ : changes_.back().measurement;
    if (last.mode != mode || last.gainIndex != gainIndex_) change(dataPosition, mode);
}

PackModes::Switch PackModes::switchBegins(size_t dataPosition) const {
    std::lock_guard lock(mutex_);
    return Switch{dataPosition, statuses_};
}

void PackModes::switchUnanswered(const Switch& begun) {
    std::lock_guard lock(mutex_);
    change(begun.statuses == statuses_ ? begun.dataPosition : std::max(begun.dataPosition, lastStatusAt_), 0);
}

void PackModes::change(size_t dataPosition, uint8_t mode) {
    // A measurement that ended before any pack of it arrived measured nothing.
    while (!changes_.empty() && changes_.back().from >= dataPosition) changes_.pop_back();
    changes_.push_back(Change{dataPosition, Measurement{mode, gainIndex_, ++count_}});
}

PackModes::Measurement PackModes::measurementAt(size_t dataPosition) {
    std::lock_guard lock(mutex_);
    while (!changes_.empty() && changes_.front().from <= dataPosition) {
        current_ = changes_.front().measurement;
        changes_.pop_front();
    }
    return current_;
}

}  // namespace VexaDevice::Kestrane::Headband
