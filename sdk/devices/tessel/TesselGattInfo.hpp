#pragma once
// Which of the four GATT service sets a Tessel-class sensor uses, and what kind of name it
// advertises: told from a found device's advertisement (so that the scanner can report its
// family and colour) and from an opened device's services (so that the device class finds its
// two characteristics).

#include <cstdint>
#include <memory>
#include <string>

#include "sdk/ble/DeviceInfo.hpp"
#include "sdk/ble/IBLEDevice.hpp"
#include "sdk/core/Uuid.hpp"

namespace VexaDevice::Tessel {

// Kinds of advertised name.
namespace NameKind {
inline constexpr int32_t Tessel = 0;
inline constexpr int32_t Quindle = 1;
inline constexpr int32_t Other = 2;
}  // namespace NameKind

class ITesselGattInfo {
public:
    virtual int32_t nameKind() const = 0;
    // Index 0..3 of the service set.
    virtual int32_t serviceSet() const = 0;
    // The characteristic the device notifies on, and the one the library writes.
    virtual Utility::UUID rxCharacteristicUuid() const = 0;
    virtual Utility::UUID txCharacteristicUuid() const = 0;
    virtual Utility::UUID service() const = 0;

protected:
    // Made with make_shared and released through that pointer only.
    ~ITesselGattInfo() = default;
};

class TesselGattInfo final : public ITesselGattInfo {
public:
    TesselGattInfo(int32_t serviceSet, int32_t nameKind);

    int32_t nameKind() const override { return nameKind_; }
    int32_t serviceSet() const override { return serviceSet_; }
    Utility::UUID rxCharacteristicUuid() const override { return rx_; }
    Utility::UUID txCharacteristicUuid() const override { return tx_; }
    Utility::UUID service() const override { return service_; }

private:
    Utility::UUID service_;
    Utility::UUID rx_;
    Utility::UUID tx_;
    int32_t nameKind_;
    int32_t serviceSet_;
};

// Service UUID of each set, in the order the sets are tried.
const std::array<Utility::UUID, 4>& tesselServices();

// 0 for a name holding "Tessel" or "Tesselo", else 1 for one holding "Quindle", else 2; the
// words are found anywhere in the name, in any case.
int32_t tesselNameKind(const std::string& name);

// Empty when the device offers none of the four services (the advertised services of a found
// device, the discovered services of an opened one); the first set present wins.
std::shared_ptr<ITesselGattInfo> makeTesselGattInfo(const BLE::DeviceInfo& device);
std::shared_ptr<ITesselGattInfo> makeTesselGattInfo(BLE::IBLEDevice& device);

}  // namespace VexaDevice::Tessel
