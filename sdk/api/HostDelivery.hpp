#pragma once
// Subscribing host deliveries to a family's event bus. A delivery runs on the publishing
// thread (a protocol worker, a connection thread); whatever it throws is logged there and
// the publication goes on, so a failed allocation or a throwing host function never ends
// the process.

#include <exception>
#include <memory>
#include <stdexcept>
#include <type_traits>
#include <utility>
#include <vector>

#include "sdk/api/HostTarget.hpp"

namespace VexaDevice::Api {

// Logs a delivery that threw; never throws itself.
void logFailedDelivery(const char* what) noexcept;

template <typename Routine>
struct GuardedDelivery {
    Routine routine;

    template <typename... Payload>
    void operator()(Payload&&... payload) const noexcept {
        try {
            routine(std::forward<Payload>(payload)...);
        } catch (const std::exception& error) {
            logFailedDelivery(error.what());
        } catch (...) {
            logFailedDelivery(nullptr);
        }
    }
};

// Makes the subscriber around `routine` and appends it to the bus; the bus keeps it weakly.
template <typename Bus, typename Routine>
std::shared_ptr<void> subscribeDelivery(const std::weak_ptr<Bus>& weakBus, Routine routine) {
    const auto bus = weakBus.lock();
    if (!bus) {
        throw std::runtime_error("The sensor's event bus is gone");
    }
    auto subscriber = std::make_shared<typename Bus::Callback>(GuardedDelivery<Routine>{std::move(routine)});
    bus->subscribe(subscriber);
    return subscriber;
}

// One call of a batch host function: a null array for an empty batch.
template <typename Function, typename Record>
void callWithBatch(const HostTarget<Function>& host, std::vector<Record>& records) {
    host.function(host.sensor, records.empty() ? nullptr : records.data(), static_cast<uint32_t>(records.size()),
                  host.userData);
}

// Single values (a battery level, a one-byte state) go to the host as they are.
template <typename Function>
struct ValueDelivery {
    HostTarget<Function> host;

    template <typename Value>
    void operator()(Value value) const {
        if (host.function == nullptr) {
            return;
        }
        if constexpr (std::is_enum_v<Value>) {
            host.function(host.sensor, static_cast<std::underlying_type_t<Value>>(value), host.userData);
        } else {
            host.function(host.sensor, value, host.userData);
        }
    }
};

}  // namespace VexaDevice::Api
