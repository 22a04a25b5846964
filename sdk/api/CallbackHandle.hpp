#pragma once
// The heap handle that keeps one host subscription alive: the subscriber itself and the gate
// of its deliveries. The event bus holds the subscriber weakly, so freeing the handle ends the
// subscription.

#include <memory>

#include "sdk/api/DeliveryGate.hpp"
#include "sdk/api/include/ambrelkit2.h"

struct CallbackHandle {
    VexaDevice::Api::GatedSubscriber subscription;
};

namespace VexaDevice::Api {

// Allocates a handle that owns the subscription.
inline CallbackHandle* makeCallbackHandle(GatedSubscriber subscription) {
    return new CallbackHandle{std::move(subscription)};
}

// Ends the subscription and frees the handle; null is accepted. A delivery running on
// another thread is waited for; one running on the calling thread (a host function removing
// its own callback) finishes after this returns.
void freeCallbackHandle(CallbackHandle* handle);

}  // namespace VexaDevice::Api
