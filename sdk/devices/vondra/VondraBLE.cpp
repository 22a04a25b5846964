#include "sdk/devices/vondra/VondraBLE.hpp"

#include <stdexcept>

#include "sdk/core/DeviceInfoReader.hpp"
#include "sdk/core/RtException.hpp"
#include "sdk/devices/common/ModeCommands.hpp"

namespace VexaDevice::Vondra {

using Sensor::SensorCommand;

VondraBLE::VondraBLE(std::shared_ptr<BLE::IBLEDevice> device, const Devices::ProtocolTiming& timing)
    : FamilyDevice(std::move(device), "Vondra BLE Device",
                   [&timing](const std::shared_ptr<BLE::IBLEDevice>& ble, BLE::ChannelMap& channels) {
                       // Every failure of the protocol, its own texts included, is reported
                       // as this class's creation failure.
                       try {
                           return makeVondraBLEProtocol(ble, channels[Utility::kDeviceInformationService], timing);
                       } catch (const Utility::rt_exception& e) {
                           throw std::runtime_error(e.what());
                       }
                   }) {}

VondraBLE::~VondraBLE() { release({.family = "Vondra", .disconnectLink = true}); }

OperationResult VondraBLE::execCommand(const SensorCommand& command) {
    if (const auto done = Devices::modeCommand(protocol(), command)) return *done;
    return OperationResult::failed(0, "");
}

OperationResult VondraBLE::readAmplifierParam(VondraAmplifierParam& out) { return protocol().amplifierParam(out); }

OperationResult VondraBLE::writeAmplifierParam(const VondraAmplifierParam& param) {
    return protocol().setAmplifierParam(param);
}

}  // namespace VexaDevice::Vondra
