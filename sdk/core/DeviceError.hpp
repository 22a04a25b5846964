#pragma once
// Turns a device's numeric error reply into a readable failure result.

#include <cstdint>
#include <string>

#include "sdk/core/OperationResult.hpp"

namespace VexaDevice::Utility {

// The library's own failure codes of the protocols whose errors follow the KSP table.
inline constexpr uint16_t kErrDataSend = 513;
inline constexpr uint16_t kErrUnsupportedCommand = 514;
inline constexpr uint16_t kErrUnsupportedParam = 515;
inline constexpr uint16_t kErrUnsupportedParamAccess = 516;
inline constexpr uint16_t kErrWrongParamValue = 517;

// Name of an error code of the KSP table ("UNKNOWN" for codes it does not list).
std::string kspErrorName(uint16_t code);

// Success for code 0; otherwise {failed, code, "Device error: [" + name + "]"}. Every protocol
// builds its device-error results through this, with the name from its own table.
OperationResult deviceErrorResult(uint16_t code, const std::string& name);

// deviceErrorResult over the KSP table.
OperationResult formatKspDeviceError(uint16_t code);

}  // namespace VexaDevice::Utility
