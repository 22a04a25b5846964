#pragma once
// Advertisement parameters of a device record. Once placed in a record a parameter object is
// never changed: merging a later advertisement replaces it with a new object, so copies of a
// record handed to other threads stay stable.

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "sdk/core/Uuid.hpp"

namespace VexaDevice::BLE {

class IDeviceParam {
public:
    virtual std::string toString() const = 0;
    virtual ~IDeviceParam() = default;
};

inline const std::string servicesUuidsKey = "ServicesUUIDs";
inline const std::string dataSectionsKey = "DataSections";
inline const std::string manufacturerDataKey = "ManufacturerData";

// Advertised service UUIDs in the order first seen.
class DeviceParamServicesUUID : public IDeviceParam {
public:
    explicit DeviceParamServicesUUID(std::vector<Utility::UUID> uuids = {}) : uuids(std::move(uuids)) {}
    std::string toString() const override;
    std::vector<Utility::UUID> uuids;
};

// Advertisement data sections, each its type byte followed by its data.
class DeviceParamDataSections : public IDeviceParam {
public:
    explicit DeviceParamDataSections(std::vector<std::vector<uint8_t>> sections = {}) : sections(std::move(sections)) {}
    std::string toString() const override;
    std::vector<std::vector<uint8_t>> sections;
};

// Manufacturer data blocks by company identifier, identifier excluded from each block.
class DeviceParamManufacturerData : public IDeviceParam {
public:
    using Blocks = std::map<uint32_t, std::vector<std::vector<uint8_t>>>;
    explicit DeviceParamManufacturerData(Blocks blocks = {}) : blocks(std::move(blocks)) {}
    std::string toString() const override;
    Blocks blocks;
};

}  // namespace VexaDevice::BLE
