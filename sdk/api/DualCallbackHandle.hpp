#pragma once
// The handle of the three registrations that serve device classes publishing different record
// types: one slot for the family's own records, one for the Kestrane records; exactly one is set.

#include "sdk/api/DeliveryGate.hpp"

#include "sdk/api/include/ambrelkit2.h"

struct DualCallbackHandle {
    VexaDevice::Api::GatedSubscriber family;
    VexaDevice::Api::GatedSubscriber kestrane;
};

namespace VexaDevice::Api {

// Ends the subscription and frees the handle when it is live, as a single handle is freed;
// anything else (null, a handle already freed or of another kind) is left alone.
void freeDualCallbackHandle(DualCallbackHandle* handle);

}  // namespace VexaDevice::Api
