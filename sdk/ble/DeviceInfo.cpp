#include "sdk/ble/DeviceInfo.hpp"

namespace VexaDevice::BLE {

DeviceInfo::DeviceInfo(std::shared_ptr<DeviceId> id, std::string name, DeviceParamMap params, int32_t rssi,
                       int64_t lastSeenNs, uint8_t flags)
    : id_(std::move(id)),
      name_(std::move(name)),
      params_(std::move(params)),
      rssi_(rssi),
      lastSeenNs_(lastSeenNs),
      flags_(flags) {}

template <class Param>
std::shared_ptr<const Param> DeviceInfo::param(const std::string& key) const {
    auto found = params_.find(key);
    if (found == params_.end()) return nullptr;
    return std::dynamic_pointer_cast<const Param>(found->second);
}

std::shared_ptr<const DeviceParamServicesUUID> DeviceInfo::servicesUuids() const {
    return param<DeviceParamServicesUUID>(servicesUuidsKey);
}

std::shared_ptr<const DeviceParamDataSections> DeviceInfo::dataSections() const {
    return param<DeviceParamDataSections>(dataSectionsKey);
}

std::shared_ptr<const DeviceParamManufacturerData> DeviceInfo::manufacturerData() const {
    return param<DeviceParamManufacturerData>(manufacturerDataKey);
}

std::optional<ManufacturerRecord> DeviceInfo::manufacturerRecord() const {
    auto data = manufacturerData();
    if (!data) return std::nullopt;
    return ManufacturerRecord::find(*data);
}

bool DeviceInfo::modelCode(std::array<uint8_t, 2>& out) const {
    auto record = manufacturerRecord();
    if (!record) return false;
    out = {record->modelType, record->modelVariant};
    return true;
}

bool DeviceInfo::pairingRequired(bool& out) const {
    auto record = manufacturerRecord();
    if (!record) return false;
    out = record->pairingRequired;
    return true;
}

bool DeviceInfo::serialNumber(std::string& out) const {
    auto record = manufacturerRecord();
    if (!record) return false;
    out = record->serialText();
    return true;
}

}  // namespace VexaDevice::BLE
