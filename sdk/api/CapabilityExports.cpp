// The exported capability queries: the sensor's commands, features, parameters and filters as
// lists and counts, membership tests, and the channel and stimulation-phase counts. Counts and
// tests report no status: anything thrown gives 0.

#include <algorithm>
#include <set>
#include <vector>

#include "sdk/api/CallStatus.hpp"
#include "sdk/api/SensorWrap.hpp"
#include "sdk/api/include/ambrelkit2.h"

using namespace VexaDevice;
using namespace VexaDevice::Api;

namespace {

// Copies the first min(*count, size) entries of `entries` into the host's array through
// `convert`, and sets *count to the number copied.
template <typename HostEntry, typename Entries, typename Convert>
uint8_t copyList(const Entries& entries, HostEntry* array, int32_t* count, CallStatus* status, Convert convert) {
    const auto written = std::min<size_t>(static_cast<size_t>(*count), entries.size());
    std::transform(entries.begin(), std::next(entries.begin(), static_cast<std::ptrdiff_t>(written)), array, convert);
    *count = static_cast<int32_t>(written);
    return statusOk(nullptr, status, 1);
}

// A list export: a missing handle, array or count, or a count below 1 fails with `invalid`;
// `read(sensor)` gives the entries.
template <typename HostEntry, typename Read, typename Convert>
uint8_t listExport(_Sensor* sensor, HostEntry* array, int32_t* count, CallStatus* status, const LibraryError& invalid,
                   const ExportFailure& failure, Read read, Convert convert) {
    if (sensor == nullptr || array == nullptr || count == nullptr || *count <= 0) {
        return statusFail(invalid, status);
    }
    return guardedExport(status, failure,
                         [&]() -> uint8_t { return copyList(read(*sensor), array, count, status, convert); });
}

int8_t asByte(int32_t value) { return static_cast<int8_t>(value); }

template <typename Count>
int32_t countExport(_Sensor* sensor, Count count) {
    if (sensor == nullptr) {
        return 0;
    }
    return quietExport([&]() -> int32_t { return count(*sensor); });
}

template <typename Test>
uint8_t testExport(_Sensor* sensor, Test test) {
    if (sensor == nullptr) {
        return 0;
    }
    return quietExport([&]() -> uint8_t { return test(*sensor) ? 1 : 0; });
}

}  // namespace

// Exported under its C++ name: the host binds it by the decorated symbol. No sensor has LED
// channels.
AK_API int getLedChannelsCountSensor(_Sensor*) { return 0; }

extern "C" {

AK_API uint8_t getCommandsSensor(_Sensor* sensor, int8_t* commands, int32_t* count, CallStatus* status) {
    return listExport(
        sensor, commands, count, status, Errors::InvalidCommandsParams, {Errors::CommandsFailed},
        [](_Sensor& handle) { return handle.sensor().getCommands(); }, asByte);
}

AK_API int32_t getCommandsCountSensor(_Sensor* sensor) {
    return countExport(sensor,
                       [](_Sensor& handle) { return static_cast<int32_t>(handle.sensor().getCommands().size()); });
}

AK_API uint8_t getFeaturesSensor(_Sensor* sensor, int8_t* features, int32_t* count, CallStatus* status) {
    return listExport(
        sensor, features, count, status, Errors::InvalidFeaturesParams, {Errors::FeaturesFailed},
        [](_Sensor& handle) { return handle.sensor().getFeatures(); }, asByte);
}

AK_API int32_t getFeaturesCountSensor(_Sensor* sensor) {
    return countExport(sensor,
                       [](_Sensor& handle) { return static_cast<int32_t>(handle.sensor().getFeatures().size()); });
}

// Every exception is reported with 117, whatever code it carries.
AK_API uint8_t getParametersSensor(_Sensor* sensor, ParameterInfo* parameters, int32_t* count, CallStatus* status) {
    return listExport(
        sensor, parameters, count, status, Errors::InvalidParametersParams, {Errors::ParametersFailed, false},
        [](_Sensor& handle) { return handle.sensor().getParameters(); },
        [](const auto& entry) {
            return ParameterInfo{entry.first, entry.second};
        });
}

AK_API int32_t getParametersCountSensor(_Sensor* sensor) {
    return countExport(sensor,
                       [](_Sensor& handle) { return static_cast<int32_t>(handle.sensor().getParameters().size()); });
}

AK_API uint8_t getSupportedFiltersSensor(_Sensor* sensor, int16_t* filters, int32_t* count, CallStatus* status) {
    return listExport(
        sensor, filters, count, status, Errors::InvalidFiltersParams, {Errors::FiltersFailed},
        [](_Sensor& handle) { return handle.control().supportedFilters(); },
        [](uint8_t filter) { return static_cast<int16_t>(filter); });
}

AK_API int32_t getSupportedFiltersCountSensor(_Sensor* sensor) {
    return countExport(
        sensor, [](_Sensor& handle) { return static_cast<int32_t>(handle.control().supportedFilters().size()); });
}

AK_API uint8_t isSupportedCommandSensor(_Sensor* sensor, int8_t command) {
    return testExport(sensor, [command](_Sensor& handle) {
        return handle.sensor().isSupportedCommand(static_cast<Sensor::SensorCommand>(static_cast<int32_t>(command)));
    });
}

AK_API uint8_t isSupportedFeatureSensor(_Sensor* sensor, int8_t feature) {
    return testExport(sensor, [feature](_Sensor& handle) {
        return handle.sensor().isSupportedFeature(static_cast<Sensor::SensorFeature>(feature));
    });
}

AK_API uint8_t isSupportedParameterSensor(_Sensor* sensor, int8_t parameter) {
    return testExport(sensor, [parameter](_Sensor& handle) {
        return handle.sensor().isSupportedParameter(
            static_cast<Sensor::SensorParameter>(static_cast<int32_t>(parameter)));
    });
}

// Filters are compared as one byte.
AK_API uint8_t isSupportedFilterSensor(_Sensor* sensor, int16_t filter) {
    return testExport(sensor, [filter](_Sensor& handle) {
        return handle.control().supportedFilters().contains(static_cast<uint8_t>(filter & 0xFF));
    });
}

AK_API int32_t getChannelsCountSensor(_Sensor* sensor) {
    return countExport(sensor, [](_Sensor& handle) { return handle.control().channelsCount(); });
}

AK_API int32_t getMaxStimulPhasesCountSensor(_Sensor* sensor) {
    return countExport(sensor, [](_Sensor& handle) { return handle.control().maxStimulPhases(); });
}

}  // extern "C"
