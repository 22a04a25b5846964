#pragma once
// Builds the host's found-sensor records from the scanner's device records.

#include <memory>
#include <vector>

#include "sdk/api/include/ambrelkit2.h"
#include "sdk/ble/DeviceInfo.hpp"

namespace VexaDevice::Api {

// One record: name, address, serial, signal strength, family and model detection, pairing.
_SensorInfo toSensorInfo(const BLE::DeviceInfo& device);

// The records of every device whose family is recognised, in list order.
std::vector<_SensorInfo> recognisedSensors(const std::vector<std::shared_ptr<BLE::DeviceInfo>>& devices);

}  // namespace VexaDevice::Api
