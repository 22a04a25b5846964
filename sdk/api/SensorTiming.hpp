#pragma once
// Waits of the sensors that createSensor builds.

#include "sdk/devices/common/ProtocolTiming.hpp"

namespace VexaDevice::Api {

struct SensorTiming {
    // Worker period, reply waits and retry pauses of every family protocol.
    Devices::ProtocolTiming protocol{};
};

// The process-wide values createSensor passes to the device classes; tests shorten them.
SensorTiming sensorTiming();
void setSensorTiming(const SensorTiming& timing);

}  // namespace VexaDevice::Api
