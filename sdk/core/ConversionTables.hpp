#pragma once
// Lookup tables that turn the small setting codes of the device families into physical
// values and into the codes written to the amplifier.

#include <cstdint>

namespace VexaDevice::Utility {

// Amplifier gain code -> multiplication factor. Throws std::runtime_error
// "Unsupported gain value" for a code outside 0..10.
double gainToFactor(const uint8_t& gain);

// Sampling-frequency code -> hertz; 0 for an unknown code.
double samplingFrequencyToHz(const uint8_t& frequency);

// Sample width in bytes -> full-scale count 2^(8n-1)-1; 1 for an unknown width.
double bitnessToFullScale(const uint32_t& bytes);

// Accelerometer sensitivity code -> g; 0 for an unknown code.
double accelSensitivityToG(const uint8_t& sensitivity);

// Gyroscope sensitivity code -> degrees per second; 0 for an unknown code.
double gyroSensitivityToDps(const uint8_t& sensitivity);

// Drive current of the resistance measurement -> amperes; 0 for an unknown code.
double currentToAmperes(const uint8_t& current);

// A measured resistance in ohms, or +infinity when it lies outside [0, 4 MOhm).
double clampResistance(const double& ohms);

// Gain code -> amplifier register code; 0 for a gain the amplifier cannot take.
uint8_t gainToDeviceCode(const uint8_t& gain);

// Drive-current code -> amplifier register code; 0 for a current it cannot take.
uint8_t currentToDeviceCode(const uint8_t& current);

}  // namespace VexaDevice::Utility
