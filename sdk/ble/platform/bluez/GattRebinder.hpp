#pragma once
// Follows a device's GATT table resolved again while its link stays up (its services changed):
// the daemon removes every object and exports the table found again under new paths. Each open
// characteristic moves to the object that stands for it (same service, same characteristic, same
// place among equals) and its notifications are switched on there; what the device notified
// before the old objects went is delivered first. Once all of them work again the device's
// handles hear of it (onServicesRebound): what it notified in between is lost. One that finds no object
// before the deadline, or whose notifications fail there, takes the link down: the library then
// reconnects as after any link loss, instead of staying connected with its data stopped.

#include <chrono>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "sdk/ble/platform/bluez/BluezPlatform.hpp"
#include "sdk/ble/platform/bluez/DeviceLink.hpp"

namespace VexaDevice::BLE::Platform::Bluez {

class GattRebinder {
public:
    GattRebinder(BluezPlatform& platform, std::chrono::milliseconds deadline)
        : platform_(platform), deadline_(deadline) {}

    // The characteristics the daemon exports for a device, in table order.
    static std::vector<std::pair<CharacteristicIdentity, std::string>> table(const BluezPlatform& platform,
                                                                             const std::string& devicePath);
    static std::optional<CharacteristicIdentity> identify(const BluezPlatform& platform, const std::string& devicePath,
                                                          const std::string& characteristicPath);

    // Loop thread: a characteristic object of the device went away.
    void removed(const std::shared_ptr<DeviceLink>& device, const std::string& path);
    // Loop thread: a characteristic object of the device appeared.
    void added(const std::shared_ptr<DeviceLink>& device);

private:
    void expire(const std::shared_ptr<DeviceLink>& device);
    void announceWhenWhole(DeviceLink& device);

    BluezPlatform& platform_;
    const std::chrono::milliseconds deadline_;
};

}  // namespace VexaDevice::BLE::Platform::Bluez
