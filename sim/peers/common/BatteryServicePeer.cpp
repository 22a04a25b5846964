#include "sim/peers/common/BatteryServicePeer.hpp"

#include "sdk/devices/common/BatteryLevelChannel.hpp"

namespace VexaSim {

namespace Property = VexaDevice::BLE::Platform::CharacteristicProperty;

std::shared_ptr<SimCharacteristic> addBatteryService(SimPeripheral& peripheral, uint8_t level) {
    auto service = peripheral.addService(VexaDevice::Devices::BatteryServiceUuid);
    return service->addCharacteristic(VexaDevice::Devices::BatteryLevelUuid, Property::Read | Property::Notify,
                                      {level});
}

void announceBatteryLevel(SimCharacteristic& characteristic, uint8_t level) {
    characteristic.setValue({level});
    characteristic.notify({level});
}

}  // namespace VexaSim
