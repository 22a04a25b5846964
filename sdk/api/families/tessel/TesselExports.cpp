// The Tessel exports: the family's records, filters and signal settings, its deliveries, and the
// colour a found Tessel's record names. A sensor of another family answers as a family without
// the parameter or event (121, 122 or 124).

#include <algorithm>
#include <set>
#include <vector>

#include "sdk/api/CallbackExport.hpp"
#include "sdk/api/ControlExport.hpp"
#include "sdk/api/ReadExport.hpp"
#include "sdk/api/families/tessel/TesselAccess.hpp"
#include "sdk/api/families/tessel/TesselControl.hpp"
#include "sdk/api/include/ambrelkit2.h"

using namespace VexaDevice;
using namespace VexaDevice::Api;

namespace {

// The filters of the host's array as one-byte values, repeats dropped; none for a null array.
std::set<uint8_t> filterSet(const int16_t* filters, int32_t count) {
    std::set<uint8_t> set;
    for (int32_t index = 0; filters != nullptr && index < count; ++index) {
        set.insert(static_cast<uint8_t>(filters[index] & 0xFF));
    }
    return set;
}

}  // namespace

extern "C" {

AK_API uint8_t readMotionCounterParamTessel(_Sensor* sensor, TesselMotionCounterParam* param, CallStatus* status) {
    return readValue(sensor, param, status, viewRead(&TesselAccess::readMotionCounterParam));
}

AK_API uint8_t readMotionAssistantParamTessel(_Sensor* sensor, TesselMotionAssistantParam* param, CallStatus* status) {
    return readValue(sensor, param, status, viewRead(&TesselAccess::readMotionAssistantParam));
}

AK_API uint8_t readStimulatorParamTessel(_Sensor* sensor, TesselStimulatorParam* param, CallStatus* status) {
    return readValue(sensor, param, status, viewRead(&TesselAccess::readStimulatorParam));
}

AK_API uint8_t readStimulatorAndMAStateTessel(_Sensor* sensor, TesselStimulatorAndMAState* state, CallStatus* status) {
    return readValue(sensor, state, status, viewRead(&TesselAccess::readStimulatorAndMAState));
}

AK_API uint8_t readHardwareFiltersSensor(_Sensor* sensor, int16_t* filters, int32_t* count, CallStatus* status) {
    if (sensor == nullptr || filters == nullptr || count == nullptr || *count <= 0) {
        return statusFail(Errors::ReadParameterFailed, status);
    }
    return guardedExport(status, kReadFailure, [&]() -> uint8_t {
        std::vector<uint8_t> active;
        const auto result = withDefaultCode(viewRead(&TesselAccess::readHardwareFilters)(sensor->access(), active),
                                            Errors::ReadParameterFailed);
        if (result) {
            // Ascending filters are written from the back, so the array holds them descending.
            const auto written = std::min<size_t>(static_cast<size_t>(*count), active.size());
            for (size_t index = 0; index < written; ++index) {
                filters[written - 1 - index] = active[index];
            }
            *count = static_cast<int32_t>(written);
        }
        return statusFromResult(&result, status);
    });
}

AK_API void readColorInfo(const _SensorInfo* info, int32_t* colour) {
    if (info == nullptr || colour == nullptr) {
        return;
    }
    const bool tessel = info->SensFamily == SensorFamilyTessel || info->SensFamily == SensorFamilyTesselQuindle;
    *colour = tessel && info->SensModel <= 3 ? info->SensModel : 4;
}

AK_API uint8_t writeHardwareFiltersSensor(_Sensor* sensor, const int16_t* filters, int32_t count, CallStatus* status) {
    return viewWrite<TesselControl>(sensor, status, [&](TesselControl& control) {
        return control.writeHardwareFilters(filterSet(filters, count));
    });
}

AK_API uint8_t writeMotionAssistantParamTessel(_Sensor* sensor, TesselMotionAssistantParam param, CallStatus* status) {
    return viewWrite<TesselControl>(sensor, status,
                                    [&](TesselControl& control) { return control.writeMotionAssistantParam(param); });
}

AK_API uint8_t writeMotionCounterParamTessel(_Sensor* sensor, TesselMotionCounterParam param, CallStatus* status) {
    return viewWrite<TesselControl>(sensor, status,
                                    [&](TesselControl& control) { return control.writeMotionCounterParam(param); });
}

AK_API uint8_t writeStimulatorParamTessel(_Sensor* sensor, TesselStimulatorParam param, CallStatus* status) {
    return viewWrite<TesselControl>(sensor, status,
                                    [&](TesselControl& control) { return control.writeStimulatorParam(param); });
}

// A family without the settings reports 121; a failure without a code of its own, an
// rt_exception without one and a standard exception 122; anything else 121.
AK_API uint8_t getSignalSettingsTessel(_Sensor* sensor, uint8_t* settings, CallStatus* status) {
    if (sensor == nullptr || settings == nullptr) {
        return statusFail(Errors::ReadUnsupported, status);
    }
    const ExportFailure failure{{Errors::WriteUnsupported.code, Errors::ReadUnsupported.text}};
    return guardedExport(status, failure, [&]() -> uint8_t {
        try {
            uint8_t value = 0;
            auto* tessel = sensor->control().view<TesselControl>();
            const auto result = withDefaultCode(
                tessel != nullptr ? tessel->readSignalSettings(value) : unsupportedRead(), Errors::WriteUnsupported);
            if (result) {
                *settings = value;
            }
            return statusFromResult(&result, status);
        } catch (const std::exception&) {
            throw;
        } catch (...) {
            return statusFail(Errors::ReadUnsupported, status);
        }
    });
}

AK_API uint8_t setSignalSettingsTessel(_Sensor* sensor, uint8_t settings, CallStatus* status) {
    return controlViewExport<TesselControl>(
        sensor, status, Errors::WriteUnsupported, unsupportedWrite,
        [settings](TesselControl& control) { return control.writeSignalSettings(settings); });
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

}  // extern "C"
