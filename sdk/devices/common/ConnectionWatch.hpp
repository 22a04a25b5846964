#pragma once
// How a device class follows its BLE device's connection: a subscriber on the device's
// connection-state event that logs every change ("Dev [address] [State]:[Connected]") and runs
// `onLost` when the device reports itself disconnected. The subscriber holds the device only
// weakly; the returned pointer is the subscription (release it to end it).

#include <functional>
#include <memory>

#include "sdk/ble/IBLEDevice.hpp"

namespace VexaDevice::Devices {

std::shared_ptr<BLE::ConnectionBus::Callback> watchConnection(const std::shared_ptr<BLE::IBLEDevice>& device,
                                                              std::function<void()> onLost);

}  // namespace VexaDevice::Devices
