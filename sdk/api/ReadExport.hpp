#pragma once
// The shape of every exported parameter read: the handle and the host's pointer are checked, the
// sensor's family adapter (or the view of it that has the record) reads into a value of the
// export's own, and only then is the value handed to the host. A family without the parameter
// answers 121; a failure without a code of its own reports 119.

#include <algorithm>
#include <cstdint>
#include <vector>

#include "sdk/api/CallStatus.hpp"
#include "sdk/api/FamilyAccess.hpp"
#include "sdk/api/SensorWrap.hpp"

namespace VexaDevice::Api {

inline const ExportFailure kReadFailure{Errors::ReadParameterFailed};

// Runs `read(access, value)` on a zeroed value, copies the value out and reports the result.
template <typename Value, typename Read>
uint8_t readValue(_Sensor* sensor, Value* out, CallStatus* status, Read read) {
    if (sensor == nullptr || out == nullptr) {
        return statusFail(Errors::ReadParameterFailed, status);
    }
    return guardedExport(status, kReadFailure, [&]() -> uint8_t {
        Value value{};
        const auto result = withDefaultCode(read(sensor->access(), value), Errors::ReadParameterFailed);
        *out = value;
        return statusFromResult(&result, status);
    });
}

// The same for the records whose read fills only part of them: the rest keeps the caller's values.
template <typename Value, typename Read>
uint8_t readIntoCallersValue(_Sensor* sensor, Value* out, CallStatus* status, Read read) {
    if (sensor == nullptr || out == nullptr) {
        return statusFail(Errors::ReadParameterFailed, status);
    }
    return guardedExport(status, kReadFailure, [&]() -> uint8_t {
        Value value = *out;
        const auto result = withDefaultCode(read(sensor->access(), value), Errors::ReadParameterFailed);
        *out = value;
        return statusFromResult(&result, status);
    });
}

// A read of the adapter's view `View`; a sensor whose adapter offers none answers 121.
template <class View, typename Value>
auto viewRead(OperationResult (View::*read)(Value&)) {
    return [read](FamilyAccess& access, Value& value) {
        auto* view = access.view<View>();
        return view != nullptr ? (view->*read)(value) : unsupportedRead();
    };
}

// Reads a list and converts its first min(*count, size) entries into the host's array. The
// family answers first: a sensor without the list refuses it whatever the array and count.
template <typename HostEntry, typename Entry, typename Read, typename Convert>
uint8_t readList(_Sensor* sensor, HostEntry* array, int32_t* count, CallStatus* status, Read read, Convert convert) {
    if (sensor == nullptr) {
        return statusFail(Errors::ReadParameterFailed, status);
    }
    return guardedExport(status, kReadFailure, [&]() -> uint8_t {
        std::vector<Entry> entries;
        const auto result = withDefaultCode(read(sensor->access(), entries), Errors::ReadParameterFailed);
        if (!result && result.code == static_cast<int32_t>(Errors::ReadUnsupported.code)) {
            if (count != nullptr) {
                *count = 0;
            }
            return statusFromResult(&result, status);
        }
        if (array == nullptr || count == nullptr || *count <= 0) {
            return statusFail(Errors::ReadParameterFailed, status);
        }
        const auto written = std::min<size_t>(static_cast<size_t>(*count), entries.size());
        std::transform(entries.begin(), entries.begin() + static_cast<std::ptrdiff_t>(written), array, convert);
        *count = static_cast<int32_t>(written);
        return statusFromResult(&result, status);
    });
}

}  // namespace VexaDevice::Api
