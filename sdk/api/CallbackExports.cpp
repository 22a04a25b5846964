// The exported callback registrations and removals. A registration asks the sensor's family
// adapter, or for a family's own records the view of the adapter that has them, for a
// subscriber on the family's event bus and hands the host a heap handle that
// keeps it alive; the removal frees the handle, which ends the subscription.

#include "sdk/api/CallStatus.hpp"
#include "sdk/api/CallbackHandle.hpp"
#include "sdk/api/DualCallbackHandle.hpp"
#include "sdk/api/SensorWrap.hpp"
#include "sdk/api/SharedViews.hpp"
#include "sdk/api/families/dravik/DravikAccess.hpp"
#include "sdk/api/families/lorrel/LorrelAccess.hpp"
#include "sdk/api/families/morvex/Morvex2Access.hpp"
#include "sdk/api/families/tessel/TesselAccess.hpp"
#include "sdk/api/families/vondra/VondraAccess.hpp"
#include "sdk/api/include/ambrelkit2.h"

using namespace VexaDevice;
using namespace VexaDevice::Api;

namespace VexaDevice::Api {

void freeDualCallbackHandle(DualCallbackHandle* handle) {
    if (handle == nullptr) {
        return;
    }
    handle->kestrane.end();
    handle->family.end();
    delete handle;
}

}  // namespace VexaDevice::Api

namespace {

// The feature a sensor must offer before motion data can be registered.
constexpr Sensor::SensorFeature kMotionFeature = 1;

const ExportFailure kAddFailure{Errors::AddCallbackFailed};

// Checks the arguments, asks `subscribe(access, host)` for the subscription and stores the
// handle that `wrap(subscription)` makes from it.
template <typename Handle, typename Function, typename Subscribe, typename Wrap>
uint8_t registerCallback(_Sensor* sensor, Function function, Handle** handle, void* userData, CallStatus* status,
                         Subscribe subscribe, Wrap wrap) {
    if (sensor == nullptr || handle == nullptr) {
        return statusFail(Errors::AddCallbackFailed, status);
    }
    return guardedExport(status, kAddFailure, [&]() -> uint8_t {
        auto subscription = subscribe(sensor->access(), HostTarget<Function>{sensor, function, userData});
        if (!subscription.delivery.subscriber) {
            const auto result = withDefaultCode(subscription.result, Errors::AddCallbackFailed);
            return statusFromResult(&result, status);
        }
        // The family answers first; without a host function the handle would never deliver.
        if (function == nullptr) {
            return statusFail(Errors::AddCallbackFailed, status);
        }
        *handle = wrap(std::move(subscription));
        return statusOk(nullptr, status, 1);
    });
}

CallbackHandle* singleHandle(Subscription subscription) { return makeCallbackHandle(std::move(subscription.delivery)); }

DualCallbackHandle* dualHandle(Subscription subscription) {
    auto* handle = new DualCallbackHandle{};
    if (subscription.records == Subscription::Records::Kestrane) {
        handle->kestrane = std::move(subscription.delivery);
    } else {
        handle->family = std::move(subscription.delivery);
    }
    return handle;
}

// A registration through the adapter's view `View`; a sensor whose adapter offers none is
// refused with 124.
template <class View, typename Function>
auto viewSubscription(Subscription (View::*add)(const HostTarget<Function>&)) {
    return [add](FamilyAccess& access, const HostTarget<Function>& host) {
        auto* view = access.view<View>();
        return view != nullptr ? (view->*add)(host) : Subscription::refused();
    };
}

// A registration with a CallbackHandle through one method of a view.
template <class View, typename Function>
uint8_t addSingle(_Sensor* sensor, Function function, CallbackHandle** handle, void* userData, CallStatus* status,
                  Subscription (View::*add)(const HostTarget<Function>&)) {
    return registerCallback(sensor, function, handle, userData, status, viewSubscription(add), singleHandle);
}

template <class View, typename Function>
uint8_t addDual(_Sensor* sensor, Function function, DualCallbackHandle** handle, void* userData, CallStatus* status,
                Subscription (View::*add)(const HostTarget<Function>&)) {
    return registerCallback(sensor, function, handle, userData, status, viewSubscription(add), dualHandle);
}

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

AK_API uint8_t addSignalDataCallbackMorvex(_Sensor* sensor, MorvexSignalCallback callback, DualCallbackHandle** handle,
                                           void* userData, CallStatus* status) {
    return addDual(sensor, callback, handle, userData, status, &MorvexRecordsView::addSignalDataMorvex);
}

AK_API uint8_t addResistCallbackMorvex(_Sensor* sensor, MorvexResistCallback callback, DualCallbackHandle** handle,
                                       void* userData, CallStatus* status) {
    return addDual(sensor, callback, handle, userData, status, &MorvexRecordsView::addResistMorvex);
}

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

AK_API uint8_t addSignalCallbackMorvex2(_Sensor* sensor, SignalChannelsCallback callback, CallbackHandle** handle,
                                        void* userData, CallStatus* status) {
    return addSingle(sensor, callback, handle, userData, status, &Morvex2Access::addSignalMorvex2);
}

AK_API uint8_t addResistCallbackMorvex2(_Sensor* sensor, ResistChannelsCallback callback, CallbackHandle** handle,
                                        void* userData, CallStatus* status) {
    return addSingle(sensor, callback, handle, userData, status, &Morvex2Access::addResistMorvex2);
}

AK_API uint8_t addSignalDataCallbackLorrel(_Sensor* sensor, MorvexSignalCallback callback, CallbackHandle** handle,
                                           void* userData, CallStatus* status) {
    return addSingle(sensor, callback, handle, userData, status, &LorrelAccess::addSignalLorrel);
}

AK_API uint8_t addResistCallbackLorrel(_Sensor* sensor, FourChannelResistCallback callback, CallbackHandle** handle,
                                       void* userData, CallStatus* status) {
    return addSingle(sensor, callback, handle, userData, status, &LorrelAccess::addResistLorrel);
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

AK_API uint8_t addFPGDataCallback(_Sensor* sensor, FPGDataCallback callback, CallbackHandle** handle, void* userData,
                                  CallStatus* status) {
    return registerCallback(
        sensor, callback, handle, userData, status,
        [](FamilyAccess& access, const HostTarget<FPGDataCallback>& host) { return access.addFPGData(host); },
        singleHandle);
}

AK_API uint8_t addQuaternionDataCallback(_Sensor* sensor, QuaternionDataCallback callback, CallbackHandle** handle,
                                         void* userData, CallStatus* status) {
    return addSingle(sensor, callback, handle, userData, status, &TesselAccess::addQuaternionData);
}

AK_API uint8_t addEnvelopeDataCallbackTessel(_Sensor* sensor, EnvelopeDataCallback callback, CallbackHandle** handle,
                                             void* userData, CallStatus* status) {
    return addSingle(sensor, callback, handle, userData, status, &TesselAccess::addEnvelopeTessel);
}

AK_API uint8_t addSignalCallbackTessel(_Sensor* sensor, TesselSamplesCallback callback, CallbackHandle** handle,
                                       void* userData, CallStatus* status) {
    return addSingle(sensor, callback, handle, userData, status, &TesselAccess::addSignalTessel);
}

AK_API uint8_t addRespirationCallbackTessel(_Sensor* sensor, TesselSamplesCallback callback, CallbackHandle** handle,
                                            void* userData, CallStatus* status) {
    return addSingle(sensor, callback, handle, userData, status, &TesselAccess::addRespirationTessel);
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
// and the signal-processing record's included): only the names differ.
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
