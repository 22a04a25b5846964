#pragma once
// Turns a device's numeric error reply into a readable failure result, and names the library's
// own failure codes that stand where a device's error code would.

#include <cstdint>
#include <string>

#include "sdk/core/OperationResult.hpp"

namespace VexaDevice::Utility {

// The library's own failure codes of one protocol numbering.
struct LibraryErrorCodes {
    uint16_t dataSend;  // not sent, or no reply
    uint16_t unsupportedCommand;
    uint16_t unsupportedParam;
    uint16_t unsupportedParamAccess;
    uint16_t wrongParamValue;

    // "ERR_DATA_SEND" ... "ERR_WRONG_PARAM_VALUE" for these codes; null for any other.
    const char* nameOf(uint16_t code) const;
};

// The protocols whose errors follow the KSP table count their own codes on from 513.
inline constexpr LibraryErrorCodes kKspErrors{513, 514, 515, 516, 517};

// The generation-1 Morvex and the Tessel protocols keep them 256 apart, from 511.
inline constexpr LibraryErrorCodes kSpacedErrors{511, 767, 1023, 1279, 1535};

// Name of an error code of the KSP table ("UNKNOWN" for codes it does not list).
std::string kspErrorName(uint16_t code);

// Success for code 0; otherwise {failed, code, "Device error: [" + name + "]"}. Every protocol
// builds its device-error results through this, with the name from its own table.
OperationResult deviceErrorResult(uint16_t code, const std::string& name);

// deviceErrorResult over the KSP table.
OperationResult formatKspDeviceError(uint16_t code);

}  // namespace VexaDevice::Utility
