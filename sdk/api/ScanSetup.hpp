#pragma once
// Turns the device families a host asks for into the scanner's parameters and filters.

#include <cstdint>
#include <set>

#include "sdk/ble/DevScan.hpp"

namespace VexaDevice::Api {

struct ScanSetup {
    BLE::ScanParams params;
    std::set<uint8_t> acceptedFamilies;  // empty: nothing the scanner could look for
};

// Families are walked from the last to the first; each recognised family is taken once.
ScanSetup buildScanSetup(const uint8_t* families, int32_t count);

}  // namespace VexaDevice::Api
