#include "sdk/devices/lorrel/LorrelBLE.hpp"

#include <stdexcept>

#include "sdk/core/DeviceError.hpp"
#include "sdk/core/RtException.hpp"
#include "sdk/devices/morvex/MorvexGatt.hpp"

namespace VexaDevice::Lorrel {

using Kestrane::WrenletBleProtocol;
using Sensor::SensorCommand;

namespace {

// What the Wrenlet models report as their gain index.
constexpr uint8_t WrenletGainIndex = 4;
constexpr uint8_t FirstWrenletModel = 3;
constexpr uint8_t SecondWrenletModel = 5;

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

// The device's creation failure names the class and carries the protocol's text, not its code.
LorrelBLE::ProtocolSlot LorrelBLE::protocolOf(uint8_t model, const std::shared_ptr<BLE::IBLEDevice>& ble,
                                              BLE::ServiceChannels information, const Devices::ProtocolTiming& timing)
{
    try {
        if (model < FirstWrenletModel)
            return makeLorrelBleProtocol(ble, std::move(information), timing);
        if (model < SecondWrenletModel)
            return Kestrane::makeWrenletBleProtocol(ble, std::move(information), timing);
        return Kestrane::makeWrenletBleProtocol2(ble, std::move(information), timing);
    } catch (const Utility::rt_exception& e) {
        throw std::runtime_error(e.what());
    }
}

LorrelBLE::LorrelBLE(std::shared_ptr<BLE::IBLEDevice> device, uint8_t model, const Devices::ProtocolTiming& timing)
    : StreamDevice(std::move(device), "Lorrel BLE Device",
                   [model, &timing](const std::shared_ptr<BLE::IBLEDevice>& ble, BLE::ChannelMap& channels) {
                       return protocolOf(model, ble, channels[Morvex::DeviceInformationServiceUuid], timing);
                   })
{
}

LorrelBLE::~LorrelBLE()
{
    release({"Lorrel", true, true});
}

OperationResult LorrelBLE::execCommand(const SensorCommand& command)
{
    switch (command) {
    case SensorCommand::StartSignal: return onProtocol([](auto& protocol) { return protocol.startSignal(); });
    case SensorCommand::StopSignal:
    case SensorCommand::StopResist:
    case SensorCommand::PowerDown:
    case SensorCommand::StopSignalAndResist: return onProtocol([](auto& protocol) { return protocol.powerDown(); });
    case SensorCommand::StartResist: return onProtocol([](auto& protocol) { return protocol.startResist(); });
    case SensorCommand::StartMEMS: return onProtocol([](auto& protocol) { return protocol.startMEMS(); });
    case SensorCommand::StopMEMS: return onProtocol([](auto& protocol) { return protocol.stopMEMS(); });
    case SensorCommand::Idle: return onProtocol([](auto& protocol) { return protocol.setIdle(); });
    case SensorCommand::StartFPG: return onProtocol([](auto& protocol) { return protocol.startFPG(); });
    case SensorCommand::StopFPG: return onProtocol([](auto& protocol) { return protocol.stopFPG(); });
    case SensorCommand::StartSignalAndResist: {
        auto* wrenlet = protocolAs<WrenletBleProtocol>();
        return wrenlet ? wrenlet->startSignalAndResist() : notExecuted();
    }
    default: return notExecuted();
    }
}

OperationResult LorrelBLE::readGain(uint8_t& out)
{
    const auto* lorrel = protocolAs<LorrelBleProtocol>();
    return Devices::give(out, lorrel ? lorrel->gain() : WrenletGainIndex);
}

OperationResult LorrelBLE::writeGain(const uint8_t& gain)
{
    auto* lorrel = protocolAs<LorrelBleProtocol>();
    return lorrel ? lorrel->setGain(gain) : unsupportedParameter();
}

OperationResult LorrelBLE::readAmplifierParam(Kestrane::WrenletAmplifierParam& out)
{
    const auto* wrenlet = protocolAs<WrenletBleProtocol>();
    return wrenlet ? wrenlet->amplifierParam(out) : unsupportedParameter();
}

OperationResult LorrelBLE::writeAmplifierParam(const Kestrane::WrenletAmplifierParam& param)
{
    auto* wrenlet = protocolAs<WrenletBleProtocol>();
    return wrenlet ? wrenlet->setAmplifierParam(param) : unsupportedParameter();
}

}  // namespace VexaDevice::Lorrel
