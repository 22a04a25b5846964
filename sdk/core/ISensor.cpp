#include "sdk/core/ISensor.hpp"

namespace VexaDevice::Sensor {

bool ISensor::isSupportedFeature(const SensorFeature& feature) { return getFeatures().contains(feature); }

bool ISensor::isSupportedCommand(const SensorCommand& command) { return getCommands().contains(toInt(command)); }

bool ISensor::isSupportedParameter(const SensorParameter& parameter) {
    return getParameters().contains(toInt(parameter));
}

}  // namespace VexaDevice::Sensor
