#pragma once
// Subscribing host deliveries to a family's event bus. A delivery runs on the publishing
// thread (a protocol worker, a connection thread); whatever it throws is logged there and
// the publication goes on, so a failed allocation or a throwing host function never ends
// the process. Every delivery passes its subscription's gate: once the host's removal has
// closed it, the host function is not running and is not called again.

#include <exception>
#include <memory>
#include <stdexcept>
#include <type_traits>
#include <utility>
#include <vector>

#include "sdk/api/DeliveryGate.hpp"
#include "sdk/api/HostTarget.hpp"

namespace VexaDevice::Api {

// Logs a delivery that threw; never throws itself.
void logFailedDelivery(const char* what) noexcept;

template <typename Routine>
struct GuardedDelivery {
    std::shared_ptr<DeliveryGate> gate;
    Routine routine;

    template <typename... Payload>
    void operator()(Payload&&... payload) const noexcept {
        const auto pass = gate->enter();
        if (!pass) {
            return;
        }
        try {
            routine(std::forward<Payload>(payload)...);
        } catch (const std::exception& error) {
            logFailedDelivery(error.what());
        } catch (...) {
            logFailedDelivery(nullptr);
        }
    }
};

// Makes the gated subscriber around `routine` and appends it to `bus`, which keeps it weakly.
template <typename Bus, typename Routine>
GatedSubscriber subscribeGated(Bus& bus, Routine routine) {
    auto gate = std::make_shared<DeliveryGate>();
    auto subscriber = std::make_shared<typename Bus::Callback>(GuardedDelivery<Routine>{gate, std::move(routine)});
    bus.subscribe(subscriber);
    return {std::move(subscriber), std::move(gate)};
}

template <typename Bus, typename Routine>
GatedSubscriber subscribeDelivery(const std::weak_ptr<Bus>& weakBus, Routine routine) {
    const auto bus = weakBus.lock();
    if (!bus) {
        throw std::runtime_error("The sensor's event bus is gone");
    }
    return subscribeGated(*bus, std::move(routine));
}

// One call of a batch host function: a null array for an empty batch. `records` is any
// contiguous batch (a vector, a HostBatch).
template <typename Function, typename Batch>
void callWithBatch(const HostTarget<Function>& host, Batch& records) {
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
