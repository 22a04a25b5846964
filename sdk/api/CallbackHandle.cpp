#include "sdk/api/CallbackHandle.hpp"

namespace VexaDevice::Api {

void freeCallbackHandle(CallbackHandle* handle) {
    if (handle == nullptr) {
        return;
    }
    handle->subscription.end();
    delete handle;
}

}  // namespace VexaDevice::Api
