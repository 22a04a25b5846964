#pragma once
// The emulated device the daemon backend's tests connect to, and counts of what the process holds.

#include <cstdint>
#include <filesystem>
#include <memory>

#include "sdk/core/Uuid.hpp"
#include "sim/radio/SimRadio.hpp"

namespace BleTest {

inline const auto kService = VexaDevice::Utility::parseUuid("6E400001-B534-F393-68A9-E50E24DCCA9E");
inline const auto kCommand = VexaDevice::Utility::parseUuid("6E400002-B534-F393-68A9-E50E24DCCA9E");
inline const auto kStream = VexaDevice::Utility::parseUuid("6E400003-B534-F393-68A9-E50E24DCCA9E");
inline const auto kSecondService = VexaDevice::Utility::parseUuid("0000180A-0000-1000-8000-00805F9B34FB");
inline const auto kModel = VexaDevice::Utility::parseUuid("00002A24-0000-1000-8000-00805F9B34FB");
inline constexpr uint64_t kAddress = 0xC0FFEE0000A1;

// A device with a command (write, read) and a stream (notify) characteristic, plus a second
// service with a read-only one.
inline std::shared_ptr<VexaSim::SimPeripheral> addDevice(VexaSim::SimRadio& radio) {
    namespace Property = VexaDevice::BLE::Platform::CharacteristicProperty;
    auto peripheral = radio.addPeripheral(kAddress, "Emulated");
    auto service = peripheral->addService(kService);
    service->addCharacteristic(kCommand, Property::Write | Property::Read, {0x10});
    service->addCharacteristic(kStream, Property::Notify);
    peripheral->addService(kSecondService)->addCharacteristic(kModel, Property::Read, {'M', '1'});
    return peripheral;
}

// Entries of a folder of /proc/self: "task" counts threads, "fd" open descriptors.
inline size_t processEntries(const char* folder) {
    const std::filesystem::path path = std::filesystem::path("/proc/self") / folder;
    return static_cast<size_t>(
        std::distance(std::filesystem::directory_iterator(path), std::filesystem::directory_iterator()));
}

}  // namespace BleTest
