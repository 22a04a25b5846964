#include "sim/radio/SimLink.hpp"

#include <algorithm>

namespace VexaSim {

bool SimLink::connected() const {
    std::lock_guard lock(mutex_);
    return connected_;
}

uint64_t SimLink::epoch() const {
    std::lock_guard lock(mutex_);
    return epoch_;
}

bool SimLink::reachable() const {
    std::lock_guard lock(mutex_);
    return reachable_;
}

void SimLink::setReachable(bool reachable) {
    std::lock_guard lock(mutex_);
    reachable_ = reachable;
}

void SimLink::setLingerAfterClose(bool linger) {
    std::lock_guard lock(mutex_);
    lingerAfterClose_ = linger;
}

void SimLink::connect() {
    std::lock_guard lock(mutex_);
    if (connected_) return;
    connected_ = true;
    ++epoch_;
    announceLocked();
}

void SimLink::drop() {
    std::lock_guard lock(mutex_);
    if (!connected_) return;
    connected_ = false;
    notificationsBeforeDrop_ = -1;
    announceLocked();
}

void SimLink::addHandle(const std::shared_ptr<StatusRegistry>& statusHandlers) {
    std::lock_guard lock(mutex_);
    ++openHandles_;
    std::erase_if(statusHandlers_, [](const auto& weak) { return weak.expired(); });
    statusHandlers_.push_back(statusHandlers);
}

void SimLink::closeHandle() {
    std::lock_guard lock(mutex_);
    if (openHandles_ > 0) --openHandles_;
    if (openHandles_ == 0 && connected_ && !lingerAfterClose_) {
        connected_ = false;
        announceLocked();
    }
}

size_t SimLink::statusHandlerCount() const {
    std::lock_guard lock(mutex_);
    size_t count = 0;
    for (const auto& weak : statusHandlers_) {
        if (auto handlers = weak.lock()) count += handlers->size();
    }
    return count;
}

bool SimLink::admitNotification() {
    std::lock_guard lock(mutex_);
    if (!connected_) return false;
    if (notificationsBeforeDrop_ < 0) return true;
    if (notificationsBeforeDrop_ > 0) {
        --notificationsBeforeDrop_;
        return true;
    }
    connected_ = false;
    notificationsBeforeDrop_ = -1;
    announceLocked();
    return false;
}

void SimLink::dropAfterNotifications(int count) {
    std::lock_guard lock(mutex_);
    notificationsBeforeDrop_ = count;
}

void SimLink::announceLocked() {
    for (const auto& weak : statusHandlers_) {
        dispatcher_.post([weak] {
            if (auto handlers = weak.lock()) handlers->invoke();
        });
    }
}

}  // namespace VexaSim
