#pragma once

#include <cstdint>
#include <string>

namespace VexaDevice {

// Outcome of a sensor operation that the device itself answered: success, or a
// failure with the device's (or the library's) code and a readable text.
struct OperationResult {
    uint8_t success = 1;
    int32_t code = 0;
    std::string message;

    // {1, 0, ""}: the only shape a successful result ever has.
    static OperationResult done() { return {}; }
    static OperationResult failed(int32_t code, std::string message) { return {0, code, std::move(message)}; }

    explicit operator bool() const noexcept { return success != 0; }
    bool operator==(const OperationResult&) const = default;
};

}  // namespace VexaDevice
