#pragma once
// A BLE device that only says whether its link is down, as the test sets it.

#include <atomic>
#include <memory>
#include <string>
#include <vector>

#include "sdk/ble/IBLEDevice.hpp"

namespace DevicesTest {

class FakeBleDevice final : public VexaDevice::BLE::IBLEDevice {
public:
    std::vector<std::shared_ptr<VexaDevice::BLE::RawChannelInfo>> getChannels() override { return {}; }
    bool isDisconnected() override { return down; }
    std::string name() override { return "Fake"; }
    void connect() override {}
    void disconnect() override {}
    VexaDevice::BLE::ChannelMap getChannelMap() override { return {}; }
    std::weak_ptr<VexaDevice::BLE::ConnectionBus> connectionChangedEvent() override { return bus; }
    std::weak_ptr<VexaDevice::BLE::ConnectionBus> servicesReboundEvent() override { return reboundBus; }
    VexaDevice::BLE::DeviceId id() override { return VexaDevice::BLE::DeviceId::fromUInt64(0xA1B2C3D4E5F6); }

    std::atomic<bool> down{false};
    const std::shared_ptr<VexaDevice::BLE::ConnectionBus> bus = std::make_shared<VexaDevice::BLE::ConnectionBus>(4);
    const std::shared_ptr<VexaDevice::BLE::ConnectionBus> reboundBus =
        std::make_shared<VexaDevice::BLE::ConnectionBus>(4);
};

}  // namespace DevicesTest
