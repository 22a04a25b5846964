#pragma once
// The scanner filters and GATT service UUIDs the family descriptors are written with.

#include <cstdint>
#include <vector>

#include "sdk/ble/DevScan.hpp"
#include "sdk/core/Uuid.hpp"

namespace VexaDevice::Api {

// The service of the shared template 7E40000<index>-B534-F393-68A9-E50E24DCCA<suffix>.
Utility::UUID templateService(uint8_t index, const char* suffix);

BLE::ScanFilter serviceFilter(const Utility::UUID& service);
BLE::ScanFilter modelFilter(char modelType);
BLE::ScanFilter modelFilter(char modelType, uint8_t modelVariant);

// One filter per model variant, from the highest (16) down to 1.
std::vector<BLE::ScanFilter> allVariants(char modelType);

}  // namespace VexaDevice::Api
