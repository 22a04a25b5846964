#pragma once
// The name, connection-state and address reads that every family interface offers with the
// same bodies, over the family's BLE device (anything with name(), isDisconnected() and id()).
// They never fail themselves; an exception of the device passes through.

#include <cstdint>
#include <string>

#include "sdk/core/OperationResult.hpp"

namespace VexaDevice::Sensor {

// Connection state as the families report it.
inline constexpr int32_t kSensorConnected = 0;
inline constexpr int32_t kSensorDisconnected = 1;

template <typename Device>
OperationResult readName(Device& device, std::string& out) {
    out = device.name();
    return OperationResult::done();
}

template <typename Device>
OperationResult readState(Device& device, int32_t& out) {
    out = device.isDisconnected() ? kSensorDisconnected : kSensorConnected;
    return OperationResult::done();
}

template <typename Device>
OperationResult readAddress(Device& device, std::string& out) {
    out = device.id().toString();
    return OperationResult::done();
}

}  // namespace VexaDevice::Sensor
