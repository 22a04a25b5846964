#include "sdk/devices/morvex/MorvexBlackBLE.hpp"

#include "sdk/core/DeviceError.hpp"
#include "sdk/devices/morvex/MorvexGatt.hpp"

namespace VexaDevice::MorvexBlack {

using Sensor::SensorCommand;

namespace {

constexpr int32_t FirmwareMode = 1;
// What the Wrenlet variants report as their gain index.
constexpr uint8_t WrenletGainIndex = 4;
constexpr uint8_t FirstWrenletVariant = 1;

OperationResult unsupportedParameter()
{
    return OperationResult::failed(Utility::kErrUnsupportedParam, "Unsupported parameter");
}

// What the exported interface turns into its own default failure.
OperationResult notExecuted()
{
    return OperationResult::failed(0, "");
}

}  // namespace

MorvexBLE::MorvexBLE(std::shared_ptr<BLE::IBLEDevice> device, const uint8_t& variant,
                     const Devices::ProtocolTiming& timing)
    : StreamDevice(std::move(device), "Morvex BLE Device",
                   [&timing, variant](const std::shared_ptr<BLE::IBLEDevice>& ble,
                                      BLE::ChannelMap& channels) -> ProtocolSlot {
                       BLE::ServiceChannels information = channels[Morvex::DeviceInformationServiceUuid];
                       if (variant == 0)
                           return MorvexBleProtocol::create(ble, std::move(information), timing);
                       if (variant == FirstWrenletVariant)
                           return Kestrane::makeWrenletBleProtocol(ble, std::move(information), timing);
                       return Kestrane::makeWrenletBleProtocol2(ble, std::move(information), timing);
                   })
{
}

MorvexBLE::~MorvexBLE()
{
    release({.family = "MorvexBlack", .disconnectLink = true});
}

OperationResult MorvexBLE::execCommand(const SensorCommand& command)
{
    auto* const black = protocolAs<MorvexBleProtocol>();
    auto* const wrenlet = protocolAs<Kestrane::WrenletBleProtocol>();
    switch (command) {
    case SensorCommand::StartSignal: return black ? black->startSignal(1) : wrenlet->startSignal();
    case SensorCommand::StopSignal:
    case SensorCommand::StopResist:
    case SensorCommand::PowerDown:
    case SensorCommand::StopSignalAndResist:
        return onProtocol([](auto& protocol) { return protocol.powerDown(); });
    case SensorCommand::StartResist: return onProtocol([](auto& protocol) { return protocol.startResist(); });
    case SensorCommand::StartMEMS: return onProtocol([](auto& protocol) { return protocol.startMEMS(); });
    case SensorCommand::StopMEMS: return onProtocol([](auto& protocol) { return protocol.stopMEMS(); });
    case SensorCommand::Idle: return onProtocol([](auto& protocol) { return protocol.setIdle(); });
    case SensorCommand::StartFPG: return onProtocol([](auto& protocol) { return protocol.startFPG(); });
    case SensorCommand::StopFPG: return onProtocol([](auto& protocol) { return protocol.stopFPG(); });
    case SensorCommand::StartSignalAndResist: return black ? notExecuted() : wrenlet->startSignalAndResist();
    default: return notExecuted();
    }
}

OperationResult MorvexBLE::readFirmwareMode(int32_t& out)
{
    return Devices::give(out, FirmwareMode);
}

OperationResult MorvexBLE::readGain(uint8_t& out)
{
    const auto* black = protocolAs<MorvexBleProtocol>();
    return Devices::give(out, black ? black->gain() : WrenletGainIndex);
}

OperationResult MorvexBLE::writeGain(const uint8_t& gain)
{
    auto* const black = protocolAs<MorvexBleProtocol>();
    return black ? black->setGain(gain) : unsupportedParameter();
}

int32_t MorvexBLE::readBattPower()
{
    return onProtocol([](auto& protocol) { return protocol.battPower(); });
}

OperationResult MorvexBLE::readAmplifierParam(Kestrane::WrenletAmplifierParam& out)
{
    auto* const wrenlet = protocolAs<Kestrane::WrenletBleProtocol>();
    return wrenlet ? wrenlet->amplifierParam(out) : unsupportedParameter();
}

OperationResult MorvexBLE::writeAmplifierParam(const Kestrane::WrenletAmplifierParam& param)
{
    auto* const wrenlet = protocolAs<Kestrane::WrenletBleProtocol>();
    return wrenlet ? wrenlet->setAmplifierParam(param) : unsupportedParameter();
}

std::shared_ptr<MorvexBLE> makeMorvexBlackBLE(std::shared_ptr<BLE::IBLEDevice> device, const uint8_t& variant,
                                              const Devices::ProtocolTiming& timing)
{
    return std::make_shared<MorvexBLE>(std::move(device), variant, timing);
}

}  // namespace VexaDevice::MorvexBlack
