#pragma once
// Which device class a new sensor gets: chosen from the requested family and the GATT services
// the opened device offers.

#include <cstdint>
#include <memory>

#include "sdk/api/FamilyAccess.hpp"
#include "sdk/ble/IBLEDevice.hpp"
#include "sdk/api/SensorTiming.hpp"

namespace VexaDevice::Api {

// Families createSensor accepts: 1-6, 11, 14, 18-21.
bool isCreatableFamily(uint8_t family);

struct SelectedSensor {
    std::shared_ptr<FamilyAccess> access;
    uint8_t family = 0;  // the handle's family
};

// Builds the device object of the first class whose row matches, or returns an empty access
// when none does. Throws what the device class throws while it is built.
SelectedSensor selectSensor(uint8_t requestedFamily, uint8_t model, const std::shared_ptr<BLE::IBLEDevice>& device,
                            const SensorTiming& timing);

}  // namespace VexaDevice::Api
