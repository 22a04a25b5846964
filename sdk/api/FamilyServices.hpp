#pragma once
// GATT service UUIDs by which the device families are recognised.

#include <array>

namespace VexaDevice::Api {

inline constexpr std::array<const char*, 4> kTesselServiceTexts{
    "3D2F0001-D6B9-11E4-88CF-0002A5D5C51B", "77FF0001-FA66-11E5-B501-0002A5D5C51B",
    "67CF0001-FA71-11E5-80B7-0002A5D5C51B", "B9390001-FA71-11E5-A787-0002A5D5C51B"};

inline constexpr const char* kMorvexService0Text = "6E400000-B534-F393-68A9-E50E24DCCA9E";
inline constexpr const char* kMorvexService1Text = "6E400001-B534-F393-68A9-E50E24DCCA9E";

// MorvexBlack services: the templates filled with the family's suffix.
inline constexpr const char* kMorvexBlackService0Template = "7E400000-B534-F393-68A9-E50E24DCCA%s";
inline constexpr const char* kMorvexBlackService1Template = "7E400001-B534-F393-68A9-E50E24DCCA%s";
inline constexpr const char* kMorvexBlackSuffix = "90";

}  // namespace VexaDevice::Api
