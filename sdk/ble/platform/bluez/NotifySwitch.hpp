#pragma once
// Switches a characteristic's notifications on and off with the daemon, on the loop thread: a
// socket of our own (AcquireNotify) where the daemon offers and grants one, a StartNotify
// session where it does not offer one or refuses it (another program holds the socket or a
// session of its own).

#include <functional>
#include <memory>

#include "sdk/ble/platform/bluez/BusLoop.hpp"

namespace VexaDevice::BLE::Platform::Bluez {

class BluezPlatform;
class DeviceLink;
struct CharacteristicLink;

namespace NotifySwitch {

using Done = std::function<void(const CallOutcome&)>;

// Loop thread. `done` runs on the loop once notifications are on (or failed to come on).
void start(BluezPlatform& platform, const std::shared_ptr<DeviceLink>& device,
           const std::shared_ptr<CharacteristicLink>& characteristic, Done done);
// Loop thread. An acquired socket is closed at once; a session is stopped with the daemon.
void stop(BluezPlatform& platform, const std::shared_ptr<CharacteristicLink>& characteristic, Done done);
// Loop thread. Hands over what the device's notification sockets hold already: the daemon wrote
// it before anything it sends on the bus after.
void readSockets(BluezPlatform& platform, const std::shared_ptr<DeviceLink>& device);

}  // namespace NotifySwitch

}  // namespace VexaDevice::BLE::Platform::Bluez
