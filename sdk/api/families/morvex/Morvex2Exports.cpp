// The Morvex2 deliveries of every channel's signal and resistance. A sensor of another family is
// refused as a family without the event (124).

#include "sdk/api/CallbackExport.hpp"
#include "sdk/api/families/morvex/Morvex2Access.hpp"
#include "sdk/api/include/ambrelkit2.h"

using namespace VexaDevice;
using namespace VexaDevice::Api;

extern "C" {

AK_API uint8_t addSignalCallbackMorvex2(_Sensor* sensor, SignalChannelsCallback callback, CallbackHandle** handle,
                                        void* userData, CallStatus* status) {
    return addSingle(sensor, callback, handle, userData, status, &Morvex2Access::addSignalMorvex2);
}

AK_API uint8_t addResistCallbackMorvex2(_Sensor* sensor, ResistChannelsCallback callback, CallbackHandle** handle,
                                        void* userData, CallStatus* status) {
    return addSingle(sensor, callback, handle, userData, status, &Morvex2Access::addResistMorvex2);
}

}  // extern "C"
