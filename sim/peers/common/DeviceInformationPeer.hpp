#pragma once
// The standard Device Information service of an emulated device: serial number, model number,
// hardware and firmware revision as text.

#include <memory>
#include <string>

#include "sim/radio/SimPeripheral.hpp"

namespace VexaSim {

struct DeviceInformationTexts {
    std::string serialNumber;
    std::string modelNumber;
    std::string hardwareRevision;
    std::string firmwareRevision;
};

std::shared_ptr<SimService> addDeviceInformation(SimPeripheral& peripheral, const DeviceInformationTexts& texts);

}  // namespace VexaSim
