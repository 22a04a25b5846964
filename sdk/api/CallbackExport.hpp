#pragma once
// The shape of every exported callback registration: the arguments are checked, the sensor's
// family adapter (or the view of it that has the records) makes the subscriber, and the host is
// handed a heap handle that keeps it alive. A family without the event is refused with 124.

#include <cstdint>
#include <utility>

#include "sdk/api/CallStatus.hpp"
#include "sdk/api/CallbackHandle.hpp"
#include "sdk/api/DualCallbackHandle.hpp"
#include "sdk/api/FamilyAccess.hpp"
#include "sdk/api/SensorWrap.hpp"

namespace VexaDevice::Api {

inline const ExportFailure kAddFailure{Errors::AddCallbackFailed};

// Checks the arguments, asks `subscribe(access, host)` for the subscription and stores the
// handle that `wrap(subscription)` makes from it.
template <typename Handle, typename Function, typename Subscribe, typename Wrap>
uint8_t registerCallback(_Sensor* sensor, Function function, Handle** handle, void* userData, CallStatus* status,
                         Subscribe subscribe, Wrap wrap) {
    if (sensor == nullptr || handle == nullptr) {
        return statusFail(Errors::AddCallbackFailed, status);
    }
    return guardedExport(status, kAddFailure, [&]() -> uint8_t {
        auto subscription = subscribe(sensor->access(), HostTarget<Function>{sensor, function, userData});
        if (!subscription.delivery.subscriber) {
            const auto result = withDefaultCode(subscription.result, Errors::AddCallbackFailed);
            return statusFromResult(&result, status);
        }
        // The family answers first; without a host function the handle would never deliver.
        if (function == nullptr) {
            return statusFail(Errors::AddCallbackFailed, status);
        }
        *handle = wrap(std::move(subscription));
        return statusOk(nullptr, status, 1);
    });
}

// The handle of a registration with one subscriber.
CallbackHandle* singleHandle(Subscription subscription);
// The handle of a registration whose subscriber takes the Kestrane or the family's slot.
DualCallbackHandle* dualHandle(Subscription subscription);

// A registration through the adapter's view `View`; a sensor whose adapter offers none is
// refused with 124.
template <class View, typename Function>
auto viewSubscription(Subscription (View::*add)(const HostTarget<Function>&)) {
    return [add](FamilyAccess& access, const HostTarget<Function>& host) {
        auto* view = access.view<View>();
        return view != nullptr ? (view->*add)(host) : Subscription::refused();
    };
}

// A registration with a CallbackHandle through one method of a view.
template <class View, typename Function>
uint8_t addSingle(_Sensor* sensor, Function function, CallbackHandle** handle, void* userData, CallStatus* status,
                  Subscription (View::*add)(const HostTarget<Function>&)) {
    return registerCallback(sensor, function, handle, userData, status, viewSubscription(add), singleHandle);
}

template <class View, typename Function>
uint8_t addDual(_Sensor* sensor, Function function, DualCallbackHandle** handle, void* userData, CallStatus* status,
                Subscription (View::*add)(const HostTarget<Function>&)) {
    return registerCallback(sensor, function, handle, userData, status, viewSubscription(add), dualHandle);
}

}  // namespace VexaDevice::Api
