#pragma once
// What a device offers through an optional motion or photoplethysmogram stream: its commands,
// its two codes (read and write) and its sampling frequency (read), and its feature number.

#include "sdk/core/SensorEnums.hpp"

namespace VexaDevice::Devices {

struct Capabilities {
    Sensor::CommandSet commands;
    Sensor::ParameterMap parameters;
    Sensor::FeatureSet features;
};

// StartMEMS, StopMEMS; AccelerometerSens, GyroscopeSens, SamplingFrequencyMEMS; feature 1.
void addMotionStream(Capabilities& capabilities);
// StartFPG, StopFPG; IrAmplitude, RedAmplitude, SamplingFrequencyFPG; feature 5.
void addFpgStream(Capabilities& capabilities);

}  // namespace VexaDevice::Devices
