#pragma once
// The standard Battery service of an emulated device: its level characteristic (read, notify)
// holding one byte, the level in percent.

#include <cstdint>
#include <memory>

#include "sim/radio/SimPeripheral.hpp"

namespace VexaSim {

// Adds the service and returns its level characteristic.
std::shared_ptr<SimCharacteristic> addBatteryService(SimPeripheral& peripheral, uint8_t level);

// A new level: what reads give from now on, and notified.
void announceBatteryLevel(SimCharacteristic& characteristic, uint8_t level);

}  // namespace VexaSim
