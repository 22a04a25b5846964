#pragma once
// The shape of every export that runs one operation on a sensor's control: a null handle fails
// with the export's code, anything thrown is reported by the export's catch rule, and a failed
// result without a code of its own takes the export's default code. An operation only some
// families have runs on the control's view, and a sensor whose control offers none gets the
// answer of a family without it.

#include <cstdint>

#include "sdk/api/CallStatus.hpp"
#include "sdk/api/SensorWrap.hpp"

namespace VexaDevice::Api {

// `run(control)` returns the OperationResult to report.
template <typename Run>
uint8_t controlExport(_Sensor* sensor, CallStatus* status, const LibraryError& fallback, Run run) {
    if (sensor == nullptr) {
        return statusFail(fallback, status);
    }
    return guardedExport(status, {fallback}, [&]() -> uint8_t {
        const auto result = withDefaultCode(run(sensor->control()), fallback);
        return statusFromResult(&result, status);
    });
}

// `run(view)` on the control's view `View`; `absent()` answers for a control without one.
template <class View, typename Run>
uint8_t controlViewExport(_Sensor* sensor, CallStatus* status, const LibraryError& fallback,
                          OperationResult (*absent)(), Run run) {
    return controlExport(sensor, status, fallback, [&](FamilyControl& control) {
        View* view = control.view<View>();
        return view == nullptr ? absent() : run(*view);
    });
}

// A parameter write through the control's view `View`: 122 without one, 120 by default.
template <class View, typename Write>
uint8_t viewWrite(_Sensor* sensor, CallStatus* status, Write write) {
    return controlViewExport<View>(sensor, status, Errors::WriteParameterFailed, unsupportedWrite, write);
}

}  // namespace VexaDevice::Api
