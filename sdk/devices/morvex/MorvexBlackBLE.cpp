#include "sdk/devices/morvex/MorvexBlackBLE.hpp"

#include "sdk/core/DeviceInfoReader.hpp"

namespace VexaDevice::MorvexBlack {

namespace {

constexpr int32_t FirmwareMode = 1;
constexpr uint8_t FirstWrenletVariant = 1;

}  // namespace

MorvexBLE::MorvexBLE(std::shared_ptr<BLE::IBLEDevice> device, const uint8_t& variant,
                     const Devices::ProtocolTiming& timing)
    : WrenletHeadband(
          std::move(device), "Morvex BLE Device",
          [&timing, variant](const std::shared_ptr<BLE::IBLEDevice>& ble, BLE::ChannelMap& channels) -> ProtocolSlot {
              BLE::ServiceChannels information = channels[Utility::kDeviceInformationService];
              if (variant == 0) return MorvexBleProtocol::create(ble, std::move(information), timing);
              if (variant == FirstWrenletVariant)
                  return Kestrane::makeWrenletBleProtocol(ble, std::move(information), timing);
              return Kestrane::makeWrenletBleProtocol2(ble, std::move(information), timing);
          }) {}

MorvexBLE::~MorvexBLE() { release({.family = "MorvexBlack", .disconnectLink = true}); }

OperationResult MorvexBLE::readFirmwareMode(int32_t& out) { return Devices::give(out, FirmwareMode); }

int32_t MorvexBLE::readBattPower() {
    return onProtocol([](auto& protocol) { return protocol.battPower(); });
}

std::shared_ptr<MorvexBLE> makeMorvexBlackBLE(std::shared_ptr<BLE::IBLEDevice> device, const uint8_t& variant,
                                              const Devices::ProtocolTiming& timing) {
    return std::make_shared<MorvexBLE>(std::move(device), variant, timing);
}

}  // namespace VexaDevice::MorvexBlack
