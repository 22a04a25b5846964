#pragma once
// A characteristic channel without a radio: the test pushes notifications itself and sees
// every notification switch and write.

#include <atomic>
#include <memory>
#include <mutex>
#include <vector>

#include "sdk/ble/BLEChannel.hpp"

namespace KestraneTest {

class FakeChannel : public VexaDevice::BLE::IBLEChannel {
public:
    void startNotify() override
    {
        ++starts;
        notifying = true;
    }
    void stopNotify() override
    {
        ++stops;
        notifying = false;
    }
    bool isNotifying() override { return notifying; }
    std::weak_ptr<VexaDevice::BLE::DataBus> dataEvent() override { return bus; }
    bool write(const std::vector<uint8_t>&) override { return true; }
    bool read(std::vector<uint8_t>&) override { return false; }
    std::shared_ptr<VexaDevice::BLE::RawChannelInfo> rawChannelInfo() override { return nullptr; }

    void deliver(const std::vector<uint8_t>& value) { bus->notify(value); }

    std::shared_ptr<VexaDevice::BLE::DataBus> bus = std::make_shared<VexaDevice::BLE::DataBus>(16);
    std::atomic<bool> notifying{false};
    std::atomic<int> starts{0};
    std::atomic<int> stops{0};
};

}  // namespace KestraneTest
