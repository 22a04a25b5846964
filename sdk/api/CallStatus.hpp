#pragma once

#include <cstddef>
#include <cstdint>
#include <exception>
#include <type_traits>

#include "sdk/api/include/ambrelkit2.h"
#include "sdk/core/OperationResult.hpp"
#include "sdk/core/RtException.hpp"

namespace VexaDevice::Api {

// One of the library's own error codes with the text that goes with it.
struct LibraryError {
    uint32_t code;
    const char* text;
};

namespace Errors {
inline constexpr LibraryError InvalidScanParams{100, "Invalid scan parameters are specified"};
inline constexpr LibraryError InvalidScanFamilies{101, "Invalid sensor types are specified for the search"};
inline constexpr LibraryError CreateScannerFailed{102, "Failed to create sensor scanner"};
inline constexpr LibraryError StartScannerFailed{103, "Failed to started sensor scanner"};
inline constexpr LibraryError StopScannerFailed{104, "Failed to stopped sensor scanner"};
inline constexpr LibraryError ListSensorsFailed{105, "Failed to get a list of sensors"};
inline constexpr LibraryError InvalidListSensorsParams{106, "Failed to get a list of sensors"};
inline constexpr LibraryError InvalidCreateSensorParams{107, "Invalid parameters for creating a sensor"};
inline constexpr LibraryError SensorUnsupported{108, "Sensor unsupported"};
inline constexpr LibraryError SensorNotFound{109, "Sensor not founded"};
inline constexpr LibraryError ConnectFailed{110, "Failed to connect the sensor"};
inline constexpr LibraryError DisconnectFailed{111, "Failed to disconnect the sensor"};
inline constexpr LibraryError InvalidFeaturesParams{112, "Invalid parameters for get a list features of the sensor"};
inline constexpr LibraryError FeaturesFailed{113, "Failed to get a list of sensor features"};
inline constexpr LibraryError InvalidCommandsParams{114, "Invalid parameters for get a list commands of the sensor"};
inline constexpr LibraryError CommandsFailed{115, "Failed to get a list of sensor commands"};
inline constexpr LibraryError InvalidParametersParams{116,
                                                      "Invalid parameters for get a list parameters of the sensor"};
inline constexpr LibraryError ParametersFailed{117, "Failed to get a list of sensor parameters"};
inline constexpr LibraryError CommandFailed{118, "Failed to execute the sensor command"};
inline constexpr LibraryError ReadParameterFailed{119, "Failed read the sensor parameter"};
inline constexpr LibraryError WriteParameterFailed{120, "Failed write the sensor parameter"};
inline constexpr LibraryError ReadUnsupported{121, "Failed read the sensor parameter"};
inline constexpr LibraryError WriteUnsupported{122, "Failed write the sensor parameter"};
inline constexpr LibraryError AddCallbackFailed{123, "Failed add callback the sensor"};
inline constexpr LibraryError CallbackUnsupported{124, "Failed add callback the sensor"};
inline constexpr LibraryError InvalidFiltersParams{125, "Invalid parameters for get a list filters of the sensor"};
inline constexpr LibraryError FiltersFailed{126, "Failed to get a list of sensor filters"};
}  // namespace Errors

// Fills `status` (when not null) with `success`, code 0 (or 0xFFFF when
// `success` is 0) and the text (null: empty); returns `success`.
uint8_t statusOk(const char* text, CallStatus* status, uint8_t success);

// Fills `status` (when not null) with `success`, `code` and the text (null:
// empty); returns `success`.
uint8_t statusFail(const char* text, uint32_t code, CallStatus* status, uint8_t success);

// A failure with one of the library's own codes and its text; returns 0.
uint8_t statusFail(const LibraryError& error, CallStatus* status);

// The same failure as a result, for checks made once the family is known.
inline OperationResult failedWith(const LibraryError& error) {
    return OperationResult::failed(static_cast<int32_t>(error.code), error.text);
}

// Copies a result into `status` (when both are non-null) and returns its success
// byte; a null result gives 0.
uint8_t statusFromResult(const OperationResult* result, CallStatus* status);

// A failed result without a code of its own takes the export's default code, and the default's
// text when it has no message either: a refusal always tells the host what failed.
OperationResult withDefaultCode(OperationResult result, const LibraryError& fallback);

// Copies a text into a host buffer of `length` bytes, cut to fit, terminated.
// Writes nothing to a null buffer or one of length 0; a null text is empty.
void copyText(const char* text, char* buffer, size_t length);

// How an export reports what its body throws: `fallback` is its default code
// (and the text for throws that are not standard exceptions); when
// `exceptionCodes` is false, the code an rt_exception carries is not used.
struct ExportFailure {
    LibraryError fallback;
    bool exceptionCodes = true;
};

// Runs an export's body so that no exception leaves it: whatever it throws is
// turned into a failure in `status` and the export returns its zero value.
template <typename Body>
auto guardedExport(CallStatus* status, const ExportFailure& failure, Body&& body) noexcept -> decltype(body()) {
    using Result = decltype(body());
    static_assert(std::is_default_constructible_v<Result>, "an export returns a plain value");
    try {
        return body();
    } catch (const Utility::rt_exception& error) {
        const bool ownCode = failure.exceptionCodes && error.code() != 0;
        statusFail(error.what(), ownCode ? static_cast<uint32_t>(error.code()) : failure.fallback.code, status, 0);
    } catch (const std::exception& error) {
        statusFail(error.what(), failure.fallback.code, status, 0);
    } catch (...) {
        statusFail(failure.fallback, status);
    }
    return Result{};
}

// The same for the count, test and family exports, which report no status:
// anything thrown gives their zero value.
template <typename Body>
auto quietExport(Body&& body) noexcept -> decltype(body()) {
    using Result = decltype(body());
    try {
        return body();
    } catch (...) {
        return Result{};
    }
}

}  // namespace VexaDevice::Api
