#pragma once
// The control of a sensor handle, chosen by the kind of device object the handle holds (never
// by a family or model byte alone). The control refers to the handle's device object and is
// used only while the handle lives.

#include <memory>

#include "sdk/api/FamilyControl.hpp"
#include "sdk/api/SensorWrap.hpp"

namespace VexaDevice::Api {

std::unique_ptr<FamilyControl> controlFor(const _Sensor& sensor);

}  // namespace VexaDevice::Api
