// The Dravik exports of its records and deliveries: the amplifier record, the survey identifier,
// the file-system status and disk, and the signal, resistance and file-stream deliveries. A
// sensor of another family answers as a family without the parameter or event (121, 122 or 124).

#include "sdk/api/CallbackExport.hpp"
#include "sdk/api/ControlExport.hpp"
#include "sdk/api/DravikDevice.hpp"
#include "sdk/api/ReadExport.hpp"
#include "sdk/api/families/dravik/DravikAccess.hpp"
#include "sdk/api/families/dravik/DravikControl.hpp"
#include "sdk/api/include/ambrelkit2.h"

using namespace VexaDevice;
using namespace VexaDevice::Api;

extern "C" {

AK_API uint8_t readAmplifierParamDravik(_Sensor* sensor, DravikAmplifierParam* param, CallStatus* status) {
    return readIntoCallersValue(sensor, param, status, viewRead(&DravikAccess::readAmplifierDravik));
}

AK_API uint8_t readFilesystemStatusDravik(_Sensor* sensor, DravikFSStatus* fsStatus, CallStatus* status) {
    return readValue(sensor, fsStatus, status, viewRead(&DravikAccess::readFilesystemStatus));
}

AK_API uint8_t readFileSystemDiskInfoDravik(_Sensor* sensor, DravikFSDiskInfo* info, CallStatus* status) {
    return readValue(sensor, info, status, viewRead(&DravikAccess::readFileSystemDiskInfo));
}

AK_API uint8_t writeAmplifierParamDravik(_Sensor* sensor, DravikAmplifierParam param, CallStatus* status) {
    return viewWrite<DravikDevice>(sensor, status,
                                   [&](DravikDevice& device) { return writeDravikAmplifier(device, param); });
}

AK_API uint8_t writeSurveyIdDravik(_Sensor* sensor, int32_t id, CallStatus* status) {
    return viewWrite<DravikDevice>(sensor, status, [&](DravikDevice& device) { return device.writeSurveyId(id); });
}

AK_API uint8_t addSignalCallbackDravik(_Sensor* sensor, SignalChannelsCallback callback, CallbackHandle** handle,
                                       void* userData, CallStatus* status) {
    return addSingle(sensor, callback, handle, userData, status, &DravikAccess::addSignalDravik);
}

AK_API uint8_t addResistCallbackDravik(_Sensor* sensor, DravikResistCallback callback, CallbackHandle** handle,
                                       void* userData, CallStatus* status) {
    return addSingle(sensor, callback, handle, userData, status, &DravikAccess::addResistDravik);
}

AK_API uint8_t addSignalResistCallbackDravik(_Sensor* sensor, DravikSignalResistCallback callback,
                                             CallbackHandle** handle, void* userData, CallStatus* status) {
    return addSingle(sensor, callback, handle, userData, status, &DravikAccess::addSignalResistDravik);
}

AK_API uint8_t addSignalRawCallbackDravik(_Sensor* sensor, RawSignalCallback callback, CallbackHandle** handle,
                                          void* userData, CallStatus* status) {
    return addSingle(sensor, callback, handle, userData, status, &DravikAccess::addSignalRawDravik);
}

AK_API uint8_t addFileStreamReadCallbackDravik(_Sensor* sensor, FileStreamCallback callback, CallbackHandle** handle,
                                               void* userData, CallStatus* status) {
    return addSingle(sensor, callback, handle, userData, status, &DravikAccess::addFileStreamDravik);
}

}  // extern "C"
