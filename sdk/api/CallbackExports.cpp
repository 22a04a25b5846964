// The exported callback registrations every family may answer (values, motion and
// photoplethysmogram data, the connection state) and every removal. A registration asks the
// sensor's family adapter for a subscriber on the family's event bus and hands the host a heap
// handle that keeps it alive (CallbackExport.hpp); the removal frees the handle, which ends the
// subscription. The registrations of a family's own deliveries are beside its adapter
// (families/<family>/<Family>Exports.cpp) or the shared view (SharedViewExports.cpp).

#include <memory>

#include "sdk/api/CallbackExport.hpp"
#include "sdk/api/HandleRegistry.hpp"
#include "sdk/api/include/ambrelkit2.h"

using namespace VexaDevice;
using namespace VexaDevice::Api;

namespace VexaDevice::Api {

void freeDualCallbackHandle(DualCallbackHandle* handle) {
    if (!takeForRemoval(handle, {HandleKind::DualCallback})) {
        return;
    }
    handle->kestrane.end();
    handle->family.end();
    delete handle;
}

CallbackHandle* singleHandle(Subscription subscription) { return makeCallbackHandle(std::move(subscription.delivery)); }

DualCallbackHandle* dualHandle(Subscription subscription) {
    auto handle = std::make_unique<DualCallbackHandle>();
    if (subscription.records == Subscription::Records::Kestrane) {
        handle->kestrane = std::move(subscription.delivery);
    } else {
        handle->family = std::move(subscription.delivery);
    }
    HandleRegistry::instance().add(handle.get(), HandleKind::DualCallback);
    return handle.release();
}

}  // namespace VexaDevice::Api

namespace {

// The feature a sensor must offer before motion data can be registered.
constexpr Sensor::SensorFeature kMotionFeature = 1;

uint8_t addIntValue(_Sensor* sensor, IntValueCallback function, CallbackHandle** handle, void* userData,
                    CallStatus* status, IntEvent event) {
    return registerCallback(
        sensor, function, handle, userData, status,
        [event](FamilyAccess& access, const HostTarget<IntValueCallback>& host) {
            return access.addIntValue(event, host);
        },
        singleHandle);
}

uint8_t addByteValue(_Sensor* sensor, ByteValueCallback function, CallbackHandle** handle, void* userData,
                     CallStatus* status, ByteEvent event) {
    return registerCallback(
        sensor, function, handle, userData, status,
        [event](FamilyAccess& access, const HostTarget<ByteValueCallback>& host) {
            return access.addByteValue(event, host);
        },
        singleHandle);
}

}  // namespace

extern "C" {

AK_API uint8_t addMEMSDataCallback(_Sensor* sensor, MEMSDataCallback callback, DualCallbackHandle** handle,
                                   void* userData, CallStatus* status) {
    return registerCallback(
        sensor, callback, handle, userData, status,
        [](FamilyAccess& access, const HostTarget<MEMSDataCallback>& host) {
            if (!access.sensor().isSupportedFeature(kMotionFeature)) {
                return Subscription::refused();
            }
            return access.addMEMSData(host);
        },
        dualHandle);
}

AK_API uint8_t addFPGDataCallback(_Sensor* sensor, FPGDataCallback callback, CallbackHandle** handle, void* userData,
                                  CallStatus* status) {
    return registerCallback(
        sensor, callback, handle, userData, status,
        [](FamilyAccess& access, const HostTarget<FPGDataCallback>& host) { return access.addFPGData(host); },
        singleHandle);
}

AK_API uint8_t addBatteryCallback(_Sensor* sensor, IntValueCallback callback, CallbackHandle** handle, void* userData,
                                  CallStatus* status) {
    return addIntValue(sensor, callback, handle, userData, status, IntEvent::Battery);
}

AK_API uint8_t addBatteryVoltageCallback(_Sensor* sensor, IntValueCallback callback, CallbackHandle** handle,
                                         void* userData, CallStatus* status) {
    return addIntValue(sensor, callback, handle, userData, status, IntEvent::BatteryVoltage);
}

AK_API uint8_t addAmpModeCallback(_Sensor* sensor, ByteValueCallback callback, CallbackHandle** handle, void* userData,
                                  CallStatus* status) {
    return addByteValue(sensor, callback, handle, userData, status, ByteEvent::AmpMode);
}

AK_API uint8_t addElectrodeStateCallbackTessel(_Sensor* sensor, ByteValueCallback callback, CallbackHandle** handle,
                                               void* userData, CallStatus* status) {
    return addByteValue(sensor, callback, handle, userData, status, ByteEvent::ElectrodeState);
}

AK_API uint8_t addStimModeCallback(_Sensor* sensor, ByteValueCallback callback, CallbackHandle** handle, void* userData,
                                   CallStatus* status) {
    return addByteValue(sensor, callback, handle, userData, status, ByteEvent::StimMode);
}

AK_API uint8_t addPhotoStimSyncStateCallback(_Sensor* sensor, ByteValueCallback callback, CallbackHandle** handle,
                                             void* userData, CallStatus* status) {
    return addByteValue(sensor, callback, handle, userData, status, ByteEvent::PhotoStimSyncState);
}

AK_API uint8_t addConnectionStateCallback(_Sensor* sensor, ConnectionStateCallback callback, CallbackHandle** handle,
                                          void* userData, CallStatus* status) {
    return registerCallback(
        sensor, callback, handle, userData, status,
        [](FamilyAccess& access, const HostTarget<ConnectionStateCallback>& host) {
            return access.addConnectionState(host);
        },
        singleHandle);
}

// One body for the dual-handle removals, one for the single-handle removals (the scanner's
// and the signal-processing record's included): only the names differ. Each frees only a live
// handle of its own shape.
AK_API void removeSignalDataCallbackMorvex(DualCallbackHandle* handle) { freeDualCallbackHandle(handle); }
#define AK_REMOVAL_NAME(name, Handle, body) AK_API void name(Handle* handle) __attribute__((alias(body)));
AK_REMOVAL_NAME(removeResistCallbackMorvex, DualCallbackHandle, "removeSignalDataCallbackMorvex")
AK_REMOVAL_NAME(removeMEMSDataCallback, DualCallbackHandle, "removeSignalDataCallbackMorvex")

AK_API void removeSignalCallbackMorvex2(CallbackHandle* handle) { freeCallbackHandle(handle); }
AK_REMOVAL_NAME(removeResistCallbackMorvex2, CallbackHandle, "removeSignalCallbackMorvex2")
AK_REMOVAL_NAME(removeSignalDataCallbackLorrel, CallbackHandle, "removeSignalCallbackMorvex2")
AK_REMOVAL_NAME(removeResistCallbackLorrel, CallbackHandle, "removeSignalCallbackMorvex2")
AK_REMOVAL_NAME(removeSignalDataCallbackVondra2, CallbackHandle, "removeSignalCallbackMorvex2")
AK_REMOVAL_NAME(removeResistCallbackVondra2, CallbackHandle, "removeSignalCallbackMorvex2")
AK_REMOVAL_NAME(removeSignalDataCallbackVondra, CallbackHandle, "removeSignalCallbackMorvex2")
AK_REMOVAL_NAME(removeResistCallbackVondra, CallbackHandle, "removeSignalCallbackMorvex2")
AK_REMOVAL_NAME(removeSignalCallbackDravik, CallbackHandle, "removeSignalCallbackMorvex2")
AK_REMOVAL_NAME(removeResistCallbackDravik, CallbackHandle, "removeSignalCallbackMorvex2")
AK_REMOVAL_NAME(removeSignalResistCallbackDravik, CallbackHandle, "removeSignalCallbackMorvex2")
AK_REMOVAL_NAME(removeSignalRawCallbackDravik, CallbackHandle, "removeSignalCallbackMorvex2")
AK_REMOVAL_NAME(removeFileStreamReadCallbackDravik, CallbackHandle, "removeSignalCallbackMorvex2")
AK_REMOVAL_NAME(removeFPGDataCallback, CallbackHandle, "removeSignalCallbackMorvex2")
AK_REMOVAL_NAME(removeQuaternionDataCallback, CallbackHandle, "removeSignalCallbackMorvex2")
AK_REMOVAL_NAME(removeEnvelopeDataCallbackTessel, CallbackHandle, "removeSignalCallbackMorvex2")
AK_REMOVAL_NAME(removeSignalCallbackTessel, CallbackHandle, "removeSignalCallbackMorvex2")
AK_REMOVAL_NAME(removeRespirationCallbackTessel, CallbackHandle, "removeSignalCallbackMorvex2")
AK_REMOVAL_NAME(removeBatteryCallback, CallbackHandle, "removeSignalCallbackMorvex2")
AK_REMOVAL_NAME(removeBatteryVoltageCallback, CallbackHandle, "removeSignalCallbackMorvex2")
AK_REMOVAL_NAME(removeAmpModeCallback, CallbackHandle, "removeSignalCallbackMorvex2")
AK_REMOVAL_NAME(removeElectrodeStateCallbackTessel, CallbackHandle, "removeSignalCallbackMorvex2")
AK_REMOVAL_NAME(removeStimModeCallback, CallbackHandle, "removeSignalCallbackMorvex2")
AK_REMOVAL_NAME(removePhotoStimSyncStateCallback, CallbackHandle, "removeSignalCallbackMorvex2")
AK_REMOVAL_NAME(removeConnectionStateCallback, CallbackHandle, "removeSignalCallbackMorvex2")
AK_REMOVAL_NAME(removeSensorsCallbackScanner, CallbackHandle, "removeSignalCallbackMorvex2")
AK_REMOVAL_NAME(removeSignalProcessParamDravik, CallbackHandle, "removeSignalCallbackMorvex2")
#undef AK_REMOVAL_NAME

}  // extern "C"
