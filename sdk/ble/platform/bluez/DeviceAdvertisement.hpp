#pragma once
// Internal: what the daemon reports of a device it heard, as the advertisement it stands for.

#include <optional>
#include <utility>

#include "sdk/ble/platform/PlatformTypes.hpp"
#include "sdk/ble/platform/bluez/DbusValue.hpp"

namespace VexaDevice::BLE::Platform::Bluez {

// The advertisement a Device1 object's properties stand for, and whether they carry a signal
// strength; empty without a valid address.
std::optional<std::pair<Advertisement, bool>> advertisementOf(const PropertyMap& device);

}  // namespace VexaDevice::BLE::Platform::Bluez
