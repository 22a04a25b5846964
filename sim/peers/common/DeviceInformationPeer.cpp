#include "sim/peers/common/DeviceInformationPeer.hpp"

#include "sdk/core/DeviceInfoReader.hpp"

namespace VexaSim {

namespace {

namespace Property = VexaDevice::BLE::Platform::CharacteristicProperty;

std::vector<uint8_t> textValue(const std::string& text) { return {text.begin(), text.end()}; }

}  // namespace

std::shared_ptr<SimService> addDeviceInformation(SimPeripheral& peripheral, const DeviceInformationTexts& texts) {
    using namespace VexaDevice::Utility;
    auto service = peripheral.addService(kDeviceInformationService);
    service->addCharacteristic(kSerialNumberCharacteristic, Property::Read, textValue(texts.serialNumber));
    service->addCharacteristic(kModelNumberCharacteristic, Property::Read, textValue(texts.modelNumber));
    service->addCharacteristic(kHardwareRevisionCharacteristic, Property::Read, textValue(texts.hardwareRevision));
    service->addCharacteristic(kFirmwareRevisionCharacteristic, Property::Read, textValue(texts.firmwareRevision));
    return service;
}

}  // namespace VexaSim
