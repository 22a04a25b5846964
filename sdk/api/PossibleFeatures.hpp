#pragma once
// The features any sensor of a family and model may offer, without a sensor at hand.

#include <cstdint>
#include <vector>

namespace VexaDevice::Api {

// SensorFeature values in ascending order, from the family's descriptor; empty for families
// without features.
std::vector<int8_t> possibleFeatures(uint8_t family, uint8_t model);

}  // namespace VexaDevice::Api
