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

// A subscriber on the device's services-rebound event that runs `onRebound` (the link stayed up,
// what the device notified meanwhile is lost) and logs a failure of it; held as watchConnection's.
std::shared_ptr<BLE::ConnectionBus::Callback> watchServices(const std::shared_ptr<BLE::IBLEDevice>& device,
                                                            std::function<void()> onRebound);

}  // namespace VexaDevice::Devices
