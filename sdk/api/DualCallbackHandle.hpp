#pragma once
// The handle of the three registrations that serve device classes publishing different record
// types: one slot for the family's own records, one for the Kestrane records; exactly one is set.

#include <memory>

#include "sdk/api/include/ambrelkit2.h"

struct DualCallbackHandle {
    std::shared_ptr<void> family;
    std::shared_ptr<void> kestrane;
};

namespace VexaDevice::Api {

// Ends the subscription and frees the handle; null is accepted.
void freeDualCallbackHandle(DualCallbackHandle* handle);

}  // namespace VexaDevice::Api
