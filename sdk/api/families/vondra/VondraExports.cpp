// The Vondra and Vondra2 exports: each generation's amplifier record and its signal and
// resistance deliveries. A sensor of another family answers as a family without the parameter or
// event (121, 122 or 124).

#include "sdk/api/CallbackExport.hpp"
#include "sdk/api/ControlExport.hpp"
#include "sdk/api/ReadExport.hpp"
#include "sdk/api/families/vondra/VondraAccess.hpp"
#include "sdk/api/families/vondra/VondraControl.hpp"
#include "sdk/api/include/ambrelkit2.h"

using namespace VexaDevice;
using namespace VexaDevice::Api;

extern "C" {

AK_API uint8_t readAmplifierParamVondra2(_Sensor* sensor, Vondra2AmplifierParam* param, CallStatus* status) {
    return readValue(sensor, param, status, viewRead(&Vondra2Access::readAmplifierVondra2));
}

AK_API uint8_t readAmplifierParamVondra(_Sensor* sensor, VondraAmplifierParam* param, CallStatus* status) {
    return readValue(sensor, param, status, viewRead(&VondraAccess::readAmplifierVondra));
}

AK_API uint8_t writeAmplifierParamVondra2(_Sensor* sensor, Vondra2AmplifierParam param, CallStatus* status) {
    return viewWrite<Vondra2Control>(sensor, status,
                                     [&](Vondra2Control& control) { return control.writeAmplifierVondra2(param); });
}

AK_API uint8_t writeAmplifierParamVondra(_Sensor* sensor, VondraAmplifierParam param, CallStatus* status) {
    return viewWrite<VondraControl>(sensor, status,
                                    [&](VondraControl& control) { return control.writeAmplifierVondra(param); });
}

AK_API uint8_t addSignalDataCallbackVondra2(_Sensor* sensor, MorvexSignalCallback callback, CallbackHandle** handle,
                                            void* userData, CallStatus* status) {
    return addSingle(sensor, callback, handle, userData, status, &Vondra2Access::addSignalVondra2);
}

AK_API uint8_t addResistCallbackVondra2(_Sensor* sensor, FourChannelResistArrayCallback callback,
                                        CallbackHandle** handle, void* userData, CallStatus* status) {
    return addSingle(sensor, callback, handle, userData, status, &Vondra2Access::addResistVondra2);
}

AK_API uint8_t addSignalDataCallbackVondra(_Sensor* sensor, VondraSignalCallback callback, CallbackHandle** handle,
                                           void* userData, CallStatus* status) {
    return addSingle(sensor, callback, handle, userData, status, &VondraAccess::addSignalVondra);
}

AK_API uint8_t addResistCallbackVondra(_Sensor* sensor, VondraResistCallback callback, CallbackHandle** handle,
                                       void* userData, CallStatus* status) {
    return addSingle(sensor, callback, handle, userData, status, &VondraAccess::addResistVondra);
}

}  // extern "C"
