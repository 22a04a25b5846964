#pragma once
// The capability reply of the Tessel-class sensors (GetSensorParam): the modules the device
// has, with their features, commands and parameters, and the settings it runs with.

#include "sdk/devices/tessel/TesselPacks.hpp"
#include "sdk/devices/tessel/TesselRecords.hpp"

namespace VexaDevice::Tessel {

// `firmware` decides which optional commands the list offers.
TesselCapabilities decodeCapabilities(const TesselPack& pack, FirmwareVersion firmware);

}  // namespace VexaDevice::Tessel
