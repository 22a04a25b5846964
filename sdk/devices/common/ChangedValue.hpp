#pragma once
// A value a protocol worker publishes only when it changed since its last publication.

#include <cstddef>
#include <memory>

#include "sdk/core/EventBus.hpp"

namespace VexaDevice::Devices {

template <class T>
class ChangedValue {
public:
    using Bus = Utility::EventBus<T>;

    // `initial` counts as published.
    explicit ChangedValue(T initial, size_t busCapacity = 2048)
        : bus_(std::make_shared<Bus>(busCapacity)), last_(initial) {}

    // Publishes `value` synchronously when it differs from the last one. One thread only.
    void offer(T value) {
        if (value == last_) return;
        last_ = value;
        bus_->notify(value);
    }

    std::weak_ptr<Bus> event() const { return bus_; }

private:
    const std::shared_ptr<Bus> bus_;
    T last_;
};

}  // namespace VexaDevice::Devices
