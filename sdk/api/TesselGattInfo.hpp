#pragma once
// What the Tessel family tells about a found device from its advertised name and services.

#include <cstdint>
#include <memory>

#include "sdk/ble/DeviceInfo.hpp"

namespace VexaDevice::Api {

class TesselGattInfo {
public:
    virtual ~TesselGattInfo() = default;
    // 1 for the Quindle variant (family 2), any other value for the Tessel device (family 1).
    virtual int32_t kind() const = 0;
    // The device's model value; 0 to 3 are reported in the found-sensor record.
    virtual int32_t model() const = 0;
};

// The description of a Tessel-family device, or empty when the device is not one. Until the
// Tessel family is part of the library no device is recognised as one.
std::shared_ptr<TesselGattInfo> makeTesselGattInfo(const BLE::DeviceInfo& device);

}  // namespace VexaDevice::Api
