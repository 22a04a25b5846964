#pragma once
// Capability tables the families share: the parameters every family reports of itself, and what
// a device offers through an optional motion or photoplethysmogram stream (its commands, its two
// codes (read and write) and its sampling frequency (read), and its feature number).

#include <cstdint>
#include <initializer_list>
#include <utility>

#include "sdk/core/SensorEnums.hpp"

namespace VexaDevice::Devices {

struct Capabilities {
    Sensor::CommandSet commands;
    Sensor::ParameterMap parameters;
    Sensor::FeatureSet features;
};

// A family's parameter table: first what every family reports of itself (name, address, serial
// number and firmware mode read, state read and notified), then `own` (parameter, access), in
// this order; the host lists the parameters in the order a table written out in full has.
Sensor::ParameterMap withIdentityParameters(std::initializer_list<std::pair<int32_t, int32_t>> own);

// StartMEMS, StopMEMS; AccelerometerSens, GyroscopeSens, SamplingFrequencyMEMS; feature 1.
void addMotionStream(Capabilities& capabilities);
// StartFPG, StopFPG; IrAmplitude, RedAmplitude, SamplingFrequencyFPG; feature 5.
void addFpgStream(Capabilities& capabilities);

}  // namespace VexaDevice::Devices
