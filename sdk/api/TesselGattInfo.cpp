#include "sdk/api/TesselGattInfo.hpp"

namespace VexaDevice::Api {

std::shared_ptr<TesselGattInfo> makeTesselGattInfo(const BLE::DeviceInfo&) {
    return nullptr;
}

}  // namespace VexaDevice::Api
