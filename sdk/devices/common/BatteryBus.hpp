#pragma once
// The bus a device publishes a battery reading on: the level in percent, or, where the device
// reports one, its battery voltage.

#include "sdk/core/EventBus.hpp"

namespace VexaDevice::Devices {

using BatteryBus = Utility::EventBus<int>;

}  // namespace VexaDevice::Devices
