#include "sdk/api/CallbackHandle.hpp"

namespace VexaDevice::Api {

void freeCallbackHandle(CallbackHandle* handle) {
    delete handle;
}

}  // namespace VexaDevice::Api
