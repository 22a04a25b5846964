#pragma once
// Waits of the sensors that createSensor builds.

#include "sdk/devices/common/ProtocolTiming.hpp"
#include "sdk/devices/tessel/TesselTiming.hpp"

namespace VexaDevice::Api {

struct SensorTiming {
    // Worker period, reply waits and retry pauses of every family protocol.
    Devices::ProtocolTiming protocol{};
    // Reply wait, request pacing and worker period of the Tessel-class sensors.
    Tessel::TesselTiming tessel{};
};

// The process-wide values createSensor passes to the device classes; tests shorten them.
SensorTiming sensorTiming();
void setSensorTiming(const SensorTiming& timing);

}  // namespace VexaDevice::Api
