#pragma once
// GATT layout of the first-generation Morvex device.

#include "sdk/core/Uuid.hpp"

namespace VexaDevice::Morvex {

inline const Utility::UUID MorvexServiceUuid = Utility::parseUuid("6E400001-B534-F393-68A9-E50E24DCCA9E");
// Read and notify: 4-byte status packs.
inline const Utility::UUID MorvexStatusUuid = Utility::parseUuid("6E400002-B534-F393-68A9-E50E24DCCA9E");
// Written: command frames.
inline const Utility::UUID MorvexCommandUuid = Utility::parseUuid("6E400003-B534-F393-68A9-E50E24DCCA9E");
// Notify: 20-byte data packs.
inline const Utility::UUID MorvexDataUuid = Utility::parseUuid("6E400004-B534-F393-68A9-E50E24DCCA9E");

}  // namespace VexaDevice::Morvex
