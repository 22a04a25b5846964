#pragma once
// The shape of every export that runs one operation on a sensor's control: a null handle fails
// with the export's code, anything thrown is reported by the export's catch rule, and a failed
// result without a code of its own takes the export's default code.

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

}  // namespace VexaDevice::Api
