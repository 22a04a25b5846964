#pragma once
// Which device class a new sensor gets: chosen from the requested family and the GATT services
// the opened device offers, by the families' descriptors.

#include <cstdint>
#include <memory>

#include "sdk/api/SensorTiming.hpp"
#include "sdk/api/families/FamilyDescriptor.hpp"
#include "sdk/ble/IBLEDevice.hpp"

namespace VexaDevice::Api {

// Families createSensor accepts: every family code a descriptor owns (1-6, 11, 14, 18-21).
bool isCreatableFamily(uint8_t family);

// Builds the device object, access adapter and control of the first family whose creation rule
// matches, or returns an empty access when none does. Throws what the device class throws while
// it is built.
BuiltSensor selectSensor(uint8_t requestedFamily, uint8_t model, const std::shared_ptr<BLE::IBLEDevice>& device,
                         const SensorTiming& timing);

}  // namespace VexaDevice::Api
