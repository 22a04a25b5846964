#include "sdk/api/DeliveryGate.hpp"

#include <algorithm>

namespace VexaDevice::Api {

DeliveryGate::Pass::~Pass() {
    if (gate_ != nullptr) {
        gate_->leave();
    }
}

DeliveryGate::Pass DeliveryGate::enter() {
    std::lock_guard lock(mutex_);
    if (closed_) {
        return Pass();
    }
    inside_.push_back(std::this_thread::get_id());
    return Pass(this);
}

void DeliveryGate::leave() {
    // Notified under the lock: once the closer sees the gate empty, nothing here runs on.
    std::lock_guard lock(mutex_);
    inside_.erase(std::find(inside_.begin(), inside_.end(), std::this_thread::get_id()));
    left_.notify_all();
}

bool DeliveryGate::onlyCallerInside() const {
    const auto me = std::this_thread::get_id();
    return std::all_of(inside_.begin(), inside_.end(), [me](std::thread::id id) { return id == me; });
}

void DeliveryGate::closeAndWait() {
    std::unique_lock lock(mutex_);
    closed_ = true;
    left_.wait(lock, [this] { return onlyCallerInside(); });
}

void GatedSubscriber::end() {
    if (gate) {
        gate->closeAndWait();
    }
    subscriber.reset();
}

}  // namespace VexaDevice::Api
