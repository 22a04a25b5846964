#pragma once
// A simulated device with one service of three characteristics (status: read and notify,
// command: write, data: notify), installed on a fresh SimRadio.

#include <memory>

#include "sdk/ble/BLEDevice.hpp"
#include "sim/radio/SimRadio.hpp"

namespace BleTest {

namespace Platform = VexaDevice::BLE::Platform;

inline const auto serviceUuid = VexaDevice::Utility::parseUuid("6E400001-B534-F393-68A9-E50E24DCCA9E");
inline const auto statusUuid = VexaDevice::Utility::parseUuid("6E400002-B534-F393-68A9-E50E24DCCA9E");
inline const auto commandUuid = VexaDevice::Utility::parseUuid("6E400003-B534-F393-68A9-E50E24DCCA9E");
inline const auto dataUuid = VexaDevice::Utility::parseUuid("6E400004-B534-F393-68A9-E50E24DCCA9E");
inline constexpr uint64_t deviceAddress = 0xA1B2C3D4E5F6ULL;

// Millisecond pauses; the connection bus gives up its thread after 50 idle milliseconds.
inline VexaDevice::BLE::BLEDeviceTiming fastTiming() {
    VexaDevice::BLE::BLEDeviceTiming timing;
    timing.discoveryRetryPause = std::chrono::milliseconds(1);
    timing.disconnectPollInterval = std::chrono::milliseconds(1);
    timing.connectionBus = {std::chrono::milliseconds(50)};
    return timing;
}

struct SimDevice {
    std::shared_ptr<VexaSim::SimRadio> radio = VexaSim::SimRadio::create();
    VexaSim::SimRadioInstallation installation{radio};
    std::shared_ptr<VexaSim::SimPeripheral> peer = radio->addPeripheral(deviceAddress, "Morvex");
    std::shared_ptr<VexaSim::SimService> service = peer->addService(serviceUuid);
    std::shared_ptr<VexaSim::SimCharacteristic> status = service->addCharacteristic(
        statusUuid, Platform::CharacteristicProperty::Read | Platform::CharacteristicProperty::Notify, {0x01, 0x02});
    std::shared_ptr<VexaSim::SimCharacteristic> command =
        service->addCharacteristic(commandUuid, Platform::CharacteristicProperty::Write);
    std::shared_ptr<VexaSim::SimCharacteristic> data =
        service->addCharacteristic(dataUuid, Platform::CharacteristicProperty::Notify);

    std::shared_ptr<VexaDevice::BLE::BLEDevice> open(VexaDevice::BLE::PairingParam pairing = {},
                                                     VexaDevice::BLE::BLEDeviceTiming timing = fastTiming()) {
        return VexaDevice::BLE::BLEDevice::create(VexaDevice::BLE::DeviceId::fromUInt64(deviceAddress), pairing,
                                                  timing);
    }
};

}  // namespace BleTest
