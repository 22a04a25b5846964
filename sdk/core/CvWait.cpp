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
    condition_.wait_for(held, bounded, [this] { return pending_; });
    pending_ = false;
}

void CvWait::notify() {
    {
        std::lock_guard held(mutex_);
        pending_ = true;
    }
    condition_.notify_one();
}

} // namespace VexaDevice::Utility
