#pragma once
// A host function bound to the sensor handle it was registered for, and what a registration
// yields: the subscriber that the callback handle keeps alive, or the refusal.

#include <memory>

#include "sdk/api/DeliveryGate.hpp"
#include "sdk/api/include/ambrelkit2.h"
#include "sdk/core/OperationResult.hpp"

namespace VexaDevice::Api {

// The values captured at registration. The sensor handle is only passed back to the host,
// never read by a delivery.
template <typename Function>
struct HostTarget {
    _Sensor* sensor = nullptr;
    Function function = nullptr;
    void* userData = nullptr;
};

struct Subscription {
    // Which slot of a dual handle the subscriber goes to.
    enum class Records { Family, Kestrane };

    OperationResult result = OperationResult::done();
    GatedSubscriber delivery;
    Records records = Records::Family;

    // {failed, 124, "Failed add callback the sensor"}: the family has no such event.
    static Subscription refused();
    static Subscription failed(OperationResult result);
    static Subscription made(GatedSubscriber delivery, Records records = Records::Family);
};

}  // namespace VexaDevice::Api
