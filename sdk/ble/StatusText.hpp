#pragma once
// Printable names of the platform's GATT and pairing statuses.

#include <string>

#include "sdk/ble/platform/PlatformTypes.hpp"

namespace VexaDevice::BLE {

// "Success", "Unreachable", "ProtocolError", "AccessDenied", else "[code]: [<n>]".
std::string gattStatusText(Platform::GattStatus status);

// "Paired" ... "Failed", else the number in decimal.
std::string pairingStatusText(Platform::PairingStatus status);

}  // namespace VexaDevice::BLE
