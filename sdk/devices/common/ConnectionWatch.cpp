#include "sdk/devices/common/ConnectionWatch.hpp"

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

}  // namespace VexaDevice::Devices
