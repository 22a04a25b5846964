#pragma once
// The heap handle that keeps one host subscription alive: the subscriber itself and the gate
// of its deliveries. The event bus holds the subscriber weakly, so freeing the handle ends the
// subscription. The Dravik processing parameters are kept by a handle of the same shape, as
// its subscriber; the registry tells the two kinds apart.

#include <memory>

#include "sdk/api/DeliveryGate.hpp"
#include "sdk/api/HandleRegistry.hpp"
#include "sdk/api/include/ambrelkit2.h"

struct CallbackHandle {
    VexaDevice::Api::GatedSubscriber subscription;
};

namespace VexaDevice::Api {

// Allocates a handle of that kind that owns the subscription, registered as live.
CallbackHandle* makeCallbackHandle(GatedSubscriber subscription, HandleKind kind = HandleKind::Callback);

// A copy of what a live handle of that kind holds; null for any other pointer.
std::shared_ptr<void> liveSubscriber(const CallbackHandle* handle, HandleKind kind);

// Ends the subscription and frees the handle when it is a live CallbackHandle of either kind;
// anything else (null, a handle already freed, a DualCallbackHandle) is left alone. A delivery
// running on another thread is waited for; one running on the calling thread (a host function
// removing its own callback) finishes after this returns.
void freeCallbackHandle(CallbackHandle* handle);

}  // namespace VexaDevice::Api
