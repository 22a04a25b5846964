#include "sdk/devices/morvex/MorvexBLE.hpp"

#include "sdk/core/DeviceInfoReader.hpp"
#include "sdk/devices/morvex/MorvexGatt.hpp"

namespace VexaDevice::Morvex {

using Sensor::SensorCommand;

namespace {

std::shared_ptr<BLE::IBLEChannel> channelOf(const BLE::ServiceChannels& service, const Utility::UUID& characteristic) {
    const auto found = service.find(characteristic);
    return found == service.end() ? nullptr : found->second;
}

}  // namespace

MorvexBLE::MorvexBLE(std::shared_ptr<BLE::IBLEDevice> device, const Devices::ProtocolTiming& timing)
    : FamilyDevice(std::move(device), "Morvex BLE Device",
                   [&timing](const std::shared_ptr<BLE::IBLEDevice>& ble, BLE::ChannelMap& channels) {
                       const BLE::ServiceChannels& service = channels[MorvexServiceUuid];
                       return MorvexBleProtocol::create(
                           ble, channels[Utility::kDeviceInformationService], channelOf(service, MorvexStatusUuid),
                           channelOf(service, MorvexCommandUuid), channelOf(service, MorvexDataUuid), timing);
                   },
                   {SensorCommand::StopSignal, SensorCommand::StopResist}) {}

MorvexBLE::~MorvexBLE() { release({.family = "Morvex", .disconnectLink = true}); }

OperationResult MorvexBLE::execCommand(const SensorCommand& command) {
    auto& protocol = this->protocol();
    switch (command) {
    case SensorCommand::StartSignal: return protocol.morvexStartSignal();
    case SensorCommand::StopSignal: return protocol.morvexStopSignal();
    case SensorCommand::StartResist: return protocol.morvexStartResist();
    case SensorCommand::StopResist: return protocol.morvexStopResist();
    // The exported interface substitutes its own code.
    default: return OperationResult::failed(0, "");
    }
}

}  // namespace VexaDevice::Morvex
