#pragma once
// The scanner interface the exported scanner functions use.

#include <memory>
#include <vector>

#include "sdk/ble/BLEChannel.hpp"
#include "sdk/ble/DeviceId.hpp"
#include "sdk/ble/DeviceInfo.hpp"
#include "sdk/ble/IBLEDevice.hpp"
#include "sdk/core/EventBus.hpp"

namespace VexaDevice::BLE {

template <class Info, class ChannelInfo, class Device>
class IDeviceScan {
public:
    using ListBus = Utility::EventBus<const std::vector<std::shared_ptr<Info>>&>;

    virtual ~IDeviceScan() = default;
    virtual std::vector<std::shared_ptr<Info>> getDevices() = 0;
    virtual std::shared_ptr<Device> createDevice(std::shared_ptr<IDeviceId> id) = 0;
    virtual std::weak_ptr<ListBus> devicesFoundEvent() = 0;
    virtual std::shared_ptr<Device> createDevice(std::shared_ptr<IDeviceId> id, PairingParam pairing) = 0;
    virtual bool isScanning() = 0;
    virtual void startScan() = 0;
    virtual void stopScan() = 0;
};

using IBLEDeviceScan = IDeviceScan<DeviceInfo, RawChannelInfo, IBLEDevice>;
using DeviceListBus = IBLEDeviceScan::ListBus;

}  // namespace VexaDevice::BLE
