#include "sdk/devices/common/ConnectionWatch.hpp"

#include <exception>

#include "sdk/core/Log.hpp"

namespace VexaDevice::Devices {

std::shared_ptr<BLE::ConnectionBus::Callback> watchConnection(const std::shared_ptr<BLE::IBLEDevice>& device,
                                                              std::function<void()> onLost) {
    auto subscriber = std::make_shared<BLE::ConnectionBus::Callback>(
        [weakDevice = std::weak_ptr<BLE::IBLEDevice>(device), onLost = std::move(onLost)] {
            const auto bleDevice = weakDevice.lock();
            if (!bleDevice) return;
            const bool disconnected = bleDevice->isDisconnected();
            Utility::sdkLog().trace("Dev [{}] [State]:[{}]", bleDevice->id().toString(),
                                    disconnected ? "Disconnected" : "Connected");
            if (disconnected) onLost();
        });
    if (const auto bus = device->connectionChangedEvent().lock()) bus->subscribe(subscriber);
    return subscriber;
}

std::shared_ptr<BLE::ConnectionBus::Callback> watchServices(const std::shared_ptr<BLE::IBLEDevice>& device,
                                                            std::function<void()> onRebound) {
    auto subscriber = std::make_shared<BLE::ConnectionBus::Callback>(
        [weakDevice = std::weak_ptr<BLE::IBLEDevice>(device), onRebound = std::move(onRebound)] {
            const auto bleDevice = weakDevice.lock();
            if (!bleDevice) return;
            Utility::sdkLog().trace("Dev [{}] services resolved again", bleDevice->id().toString());
            try {
                onRebound();
            } catch (const std::exception& e) {
                Utility::sdkLog().warn("Dev [{}] not read again after its services changed: {}",
                                       bleDevice->id().toString(), e.what());
            }
        });
    if (const auto bus = device->servicesReboundEvent().lock()) bus->subscribe(subscriber);
    return subscriber;
}

}  // namespace VexaDevice::Devices
