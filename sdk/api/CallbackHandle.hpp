#pragma once
// The heap handle that keeps one host subscription alive: the subscriber itself. The event
// bus holds the subscriber weakly, so freeing the handle ends the subscription.

#include <memory>

#include "sdk/api/include/ambrelkit2.h"

struct CallbackHandle {
    std::shared_ptr<void> subscriber;
};

namespace VexaDevice::Api {

// Allocates a handle that owns the subscriber.
template <typename Subscriber>
CallbackHandle* makeCallbackHandle(std::shared_ptr<Subscriber> subscriber) {
    return new CallbackHandle{std::move(subscriber)};
}

// Ends the subscription and frees the handle; null is accepted. A delivery already running
// finishes with its own reference to the subscriber.
void freeCallbackHandle(CallbackHandle* handle);

}  // namespace VexaDevice::Api
