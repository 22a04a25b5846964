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

// Ends the subscription and frees the handle, as a single handle is freed; null is accepted.
void freeDualCallbackHandle(DualCallbackHandle* handle);

}  // namespace VexaDevice::Api
