#include "sdk/devices/morvex/Morvex2BLE.hpp"

#include "sdk/core/DeviceError.hpp"
#include "sdk/core/DeviceInfoReader.hpp"
#include "sdk/devices/common/ModeCommands.hpp"

namespace VexaDevice::Morvex2 {

using Sensor::SensorCommand;

Morvex2BLE::Morvex2BLE(std::shared_ptr<BLE::IBLEDevice> device, const Devices::ProtocolTiming& timing)
    : FamilyDevice(std::move(device), "Morvex2 BLE Device",
                   [&timing](const std::shared_ptr<BLE::IBLEDevice>& ble, BLE::ChannelMap& channels) {
                       return makeMorvex2BleProtocol(ble, channels[Utility::kDeviceInformationService], timing);
                   }) {}

Morvex2BLE::~Morvex2BLE() { release({"Morvex2"}); }

OperationResult Morvex2BLE::execCommand(const SensorCommand& command) {
    if (const auto done = Devices::modeCommand(protocol(), command)) return *done;
    return OperationResult::failed(Utility::kKspErrors.unsupportedCommand, "Unsupported command");
}

OperationResult Morvex2BLE::readFirmwareMode(uint8_t& out) { return Devices::give(out, uint8_t{1}); }

OperationResult Morvex2BLE::readBattPower(int32_t& out) { return Devices::give(out, protocol().battPower()); }

OperationResult Morvex2BLE::readAmplifierParam(Morvex2AmplifierParam& out) { return protocol().amplifierParam(out); }

OperationResult Morvex2BLE::writeAmplifierParam(const Morvex2AmplifierParam& param) {
    return protocol().setAmplifierParam(param);
}

OperationResult Morvex2BLE::readSensorChannels(std::vector<Sensor::EEGChannelInfo>& out) {
    return Devices::give(out, protocol().channelList());
}

std::shared_ptr<Morvex2BLE> makeMorvex2BLE(std::shared_ptr<BLE::IBLEDevice> device,
                                           const Devices::ProtocolTiming& timing) {
    return std::make_shared<Morvex2BLE>(std::move(device), timing);
}

}  // namespace VexaDevice::Morvex2
