#include "sdk/core/CvWait.hpp"

#include <algorithm>
#include <stdexcept>

namespace VexaDevice::Utility {

CvWait::Lock CvWait::lock() { return Lock(mutex_); }

void CvWait::wait(Lock& held, std::chrono::milliseconds timeout) {
    if (held.mutex() != &mutex_ || !held.owns_lock()) {
        throw std::logic_error("CvWait::wait needs the wake-up object's own lock held");
    }
    constexpr std::chrono::milliseconds oneDay = std::chrono::hours(24);
    const auto bounded = std::clamp(timeout, std::chrono::milliseconds(0), oneDay);
    if (!pending_) {
        ++waiting_;
        condition_.wait_for(held, bounded, [this] { return pending_; });
        --waiting_;
    }
    pending_ = false;
}

void CvWait::notify() {
    bool signal = false;
    {
        std::lock_guard held(mutex_);
        signal = waiting_ > 0 && !pending_;  // a pending wake-up has been signalled already
        pending_ = true;
    }
    if (signal) {
        condition_.notify_one();
    }
}

}  // namespace VexaDevice::Utility
