#pragma once
// The record of one advertised device: address, name, advertisement parameters, signal
// strength, last-seen time and advertisement flags.

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <unordered_map>

#include "sdk/ble/DeviceId.hpp"
#include "sdk/ble/DeviceParams.hpp"
#include "sdk/ble/ManufacturerRecord.hpp"

namespace VexaDevice::BLE {

using DeviceParamMap = std::unordered_map<std::string, std::shared_ptr<IDeviceParam>>;

class IDeviceInfo {
public:
    virtual std::shared_ptr<IDeviceId> id() const = 0;
    virtual std::string name() const = 0;
    virtual DeviceParamMap params() const = 0;
    virtual ~IDeviceInfo() = default;
};

class DeviceInfo : public IDeviceInfo {
public:
    static constexpr uint8_t generalDiscoverableFlag = 0x02;

    DeviceInfo(std::shared_ptr<DeviceId> id, std::string name, DeviceParamMap params, int32_t rssi, int64_t lastSeenNs,
               uint8_t flags);
    // Copies share the id and the (never changed) parameter objects.
    DeviceInfo(const DeviceInfo&) = default;
    DeviceInfo(DeviceInfo&&) = default;
    DeviceInfo& operator=(const DeviceInfo&) = default;
    DeviceInfo& operator=(DeviceInfo&&) = default;

    std::shared_ptr<IDeviceId> id() const override { return id_; }
    std::string name() const override { return name_; }
    DeviceParamMap params() const override { return params_; }

    const DeviceId& deviceId() const { return *id_; }
    int32_t rssi() const { return rssi_; }
    int64_t lastSeenNs() const { return lastSeenNs_; }
    uint8_t flags() const { return flags_; }
    // False when the stack did not say which flags the first advertisement carried.
    bool flagsKnown() const { return flagsKnown_; }

    // Typed views of the three parameters; empty when absent.
    std::shared_ptr<const DeviceParamServicesUUID> servicesUuids() const;
    std::shared_ptr<const DeviceParamDataSections> dataSections() const;
    std::shared_ptr<const DeviceParamManufacturerData> manufacturerData() const;

    // Readers of the manufacturer record; false when the device advertises none.
    bool modelCode(std::array<uint8_t, 2>& out) const;
    bool pairingRequired(bool& out) const;
    bool serialNumber(std::string& out) const;

    // Used by the scanner while it merges advertisements into the record.
    void setName(std::string name) { name_ = std::move(name); }
    void setParam(const std::string& key, std::shared_ptr<IDeviceParam> param) { params_[key] = std::move(param); }
    void setRssi(int32_t rssi) { rssi_ = rssi; }
    void setLastSeenNs(int64_t lastSeenNs) { lastSeenNs_ = lastSeenNs; }
    void setFlagsUnknown() { flagsKnown_ = false; }

private:
    template <class Param>
    std::shared_ptr<const Param> param(const std::string& key) const;
    std::optional<ManufacturerRecord> manufacturerRecord() const;

    std::shared_ptr<DeviceId> id_;
    std::string name_;
    DeviceParamMap params_;
    int32_t rssi_ = 0;
    int64_t lastSeenNs_ = 0;
    uint8_t flags_ = 0;
    bool flagsKnown_ = true;
};

}  // namespace VexaDevice::BLE
