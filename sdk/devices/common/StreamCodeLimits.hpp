#pragma once
// The codes the motion and photoplethysmogram stream settings take. The start command
// carries three bits of each, so a larger code would reach the device as another one.

#include <cstdint>

namespace VexaDevice::Sensor {

// Accelerometer and gyroscope sensitivity: 0..3.
inline constexpr uint8_t kMaxMotionSensitivityCode = 3;

// Infrared and red amplitude: 0..7.
inline constexpr uint8_t kMaxFpgAmplitudeCode = 7;

}  // namespace VexaDevice::Sensor
