// The Lorrel signal and resistance deliveries. A sensor of another family is refused as a family
// without the event (124).

#include "sdk/api/CallbackExport.hpp"
#include "sdk/api/families/lorrel/LorrelAccess.hpp"
#include "sdk/api/include/ambrelkit2.h"

using namespace VexaDevice;
using namespace VexaDevice::Api;

extern "C" {

AK_API uint8_t addSignalDataCallbackLorrel(_Sensor* sensor, MorvexSignalCallback callback, CallbackHandle** handle,
                                           void* userData, CallStatus* status) {
    return addSingle(sensor, callback, handle, userData, status, &LorrelAccess::addSignalLorrel);
}

AK_API uint8_t addResistCallbackLorrel(_Sensor* sensor, FourChannelResistCallback callback, CallbackHandle** handle,
                                       void* userData, CallStatus* status) {
    return addSingle(sensor, callback, handle, userData, status, &LorrelAccess::addResistLorrel);
}

}  // extern "C"
