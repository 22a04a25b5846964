#pragma once
// GATT layout of the devices that stream through Kestrane channels: one service
// 7E400001-B534-F393-68A9-E50E24DCCAxx whose characteristics 7E400002 to 7E400008 carry status,
// commands, signal, resistance, envelope, motion and photoplethysmogram, the last two digits
// ("suffix") telling the device family apart.

#include <memory>
#include <string>

#include "sdk/ble/IBLEDevice.hpp"
#include "sdk/core/Uuid.hpp"

namespace VexaDevice::Kestrane {

// Roles, by the digit N of 7E40000N.
enum class KestraneRole : int { Service = 1, Status, Command, Signal, Resist, Envelope, Motion, Fpg };

// The UUID of a role for a family suffix, e.g. ("95", Status) -> 7E400002-...-E50E24DCCA95.
inline Utility::UUID kestraneUuid(const std::string& suffix, KestraneRole role) {
    const std::string format = "7E40000" + std::to_string(static_cast<int>(role)) + "-B534-F393-68A9-E50E24DCCA%s";
    return Utility::parseUuid(Utility::formatString(format, suffix.c_str()));
}

// The characteristics a device offers; absent ones are empty.
struct KestraneGattChannels {
    std::shared_ptr<BLE::IBLEChannel> status;
    std::shared_ptr<BLE::IBLEChannel> command;
    std::shared_ptr<BLE::IBLEChannel> signal;
    std::shared_ptr<BLE::IBLEChannel> resist;
    std::shared_ptr<BLE::IBLEChannel> envelope;
    std::shared_ptr<BLE::IBLEChannel> motion;
    std::shared_ptr<BLE::IBLEChannel> fpg;
};

// Finds the characteristics in the device's service and checks them in this order, throwing
// rt_exception with: "Status Channel cannot be null.", "Command Channel cannot be null.",
// "Data Channel cannot be null.", "Resist Channel cannot be null." (only with `withResist`),
// "Status characteristic must have both read and notify properties", "Data characteristic must
// have notify properties", "Resist characteristic must have notify properties" (with
// `withResist`), then for the optional ones present "Envelope ...", "IMU ..." and "FPG
// characteristic must have notify properties". Without `withResist` the resistance
// characteristic is not looked up.
KestraneGattChannels findKestraneChannels(const BLE::ChannelMap& channels, const std::string& suffix, bool withResist);

}  // namespace VexaDevice::Kestrane
