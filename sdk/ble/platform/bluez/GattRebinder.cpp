#include "sdk/ble/platform/bluez/GattRebinder.hpp"

#include <algorithm>
#include <utility>

#include "sdk/ble/platform/bluez/BluezNames.hpp"
#include "sdk/ble/platform/bluez/NotifySwitch.hpp"
#include "sdk/core/Log.hpp"

namespace VexaDevice::BLE::Platform::Bluez {

namespace {

std::optional<UUID> uuidAt(const BluezPlatform& platform, const std::string& path, const char* interface) {
    const auto properties = platform.properties(path, interface);
    if (!properties || !properties->contains("UUID")) return std::nullopt;
    return parseUuidText(properties->at("UUID").asString().value_or(""));
}

}  // namespace

std::vector<std::pair<CharacteristicIdentity, std::string>> GattRebinder::table(const BluezPlatform& platform,
                                                                                const std::string& devicePath) {
    std::vector<std::pair<CharacteristicIdentity, std::string>> entries;
    for (const auto& servicePath : platform.children(kGattService, "Device", devicePath)) {
        const auto service = uuidAt(platform, servicePath, kGattService);
        if (!service) continue;
        for (const auto& path : platform.children(kGattCharacteristic, "Service", servicePath)) {
            const auto characteristic = uuidAt(platform, path, kGattCharacteristic);
            if (!characteristic) continue;
            CharacteristicIdentity identity{*service, *characteristic, 0};
            identity.ordinal = static_cast<int>(std::count_if(entries.begin(), entries.end(), [&](const auto& entry) {
                return entry.first.service == identity.service && entry.first.characteristic == identity.characteristic;
            }));
            entries.emplace_back(identity, path);
        }
    }
    return entries;
}

std::optional<CharacteristicIdentity> GattRebinder::identify(const BluezPlatform& platform,
                                                             const std::string& devicePath,
                                                             const std::string& characteristicPath) {
    for (const auto& [identity, path] : table(platform, devicePath)) {
        if (path == characteristicPath) return identity;
    }
    return std::nullopt;
}

void GattRebinder::removed(const std::shared_ptr<DeviceLink>& device, const std::string& path) {
    const auto characteristic = device->findCharacteristic(path);
    if (!characteristic || characteristic->stale) return;
    // What the device notified before the object went is still delivered: what the sockets
    // hold, and the values held back for a read in flight (the daemon answers a read it made
    // before it removes the object, so none of them is a read's echo).
    NotifySwitch::readSockets(platform_, device);
    for (auto& value : std::exchange(characteristic->held, {}))
        device->deliver(characteristic->handlers, std::move(value));
    // Its socket and session ended with the object.
    platform_.closeSocket(*characteristic);
    characteristic->mode = CharacteristicLink::Mode::Off;
    characteristic->releasing = false;
    characteristic->stale = true;
    // Objects that go with the link leave nothing to wait for: a new link starts afresh.
    if (device->up()) device->rebinding = true;
    platform_.loop().after(deadline_, [this, weak = std::weak_ptr(device)] {
        if (auto live = weak.lock()) expire(live);
    });
}

void GattRebinder::added(const std::shared_ptr<DeviceLink>& device) {
    std::vector<std::pair<CharacteristicIdentity, std::string>> entries;
    bool moved = false;
    for (const auto& characteristic : device->characteristics()) {
        if (!characteristic->stale) continue;
        if (entries.empty()) entries = table(platform_, device->path);
        auto found = std::find_if(entries.begin(), entries.end(),
                                  [&](const auto& entry) { return entry.first == characteristic->identity; });
        if (found == entries.end()) continue;
        device->move(characteristic, found->second);
        characteristic->stale = false;
        moved = true;
        platform_.announceChange();
        if (!characteristic->wanted) continue;
        ++device->rebindSwitches;
        NotifySwitch::start(platform_, device, characteristic,
                            [this, weak = std::weak_ptr(device)](const CallOutcome& outcome) {
                                const auto live = weak.lock();
                                if (live) --live->rebindSwitches;
                                if (outcome.ok()) {
                                    if (live) announceWhenWhole(*live);
                                    return;
                                }
                                Utility::sdkLog().warn("Notifications lost with the device's services: {} {}",
                                                       outcome.errorName, outcome.errorMessage);
                                if (live) platform_.dropLostLink(live);
                            });
    }
    if (moved) announceWhenWhole(*device);
}

// What the device notified while its table was away never reached us: once every characteristic
// has its object and its notifications again, the device's handles are told so, and read anew.
void GattRebinder::announceWhenWhole(DeviceLink& device) {
    if (device.rebindSwitches > 0 || !device.up()) return;
    const auto characteristics = device.characteristics();
    if (std::any_of(characteristics.begin(), characteristics.end(),
                    [](const auto& characteristic) { return characteristic->stale.load(); })) {
        return;
    }
    device.rebinding = false;
    platform_.announceChange();
    device.announceRebound();
}

void GattRebinder::expire(const std::shared_ptr<DeviceLink>& device) {
    if (!device->up()) return;
    const auto characteristics = device->characteristics();
    if (std::none_of(characteristics.begin(), characteristics.end(),
                     [](const auto& characteristic) { return characteristic->stale.load(); })) {
        return;
    }
    Utility::sdkLog().warn("The device's services changed and some are gone: the link is taken down");
    platform_.dropLostLink(device);
}

}  // namespace VexaDevice::BLE::Platform::Bluez
