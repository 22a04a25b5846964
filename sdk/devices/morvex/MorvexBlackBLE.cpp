#include "sdk/devices/morvex/MorvexBlackBLE.hpp"

#include <stdexcept>

#include "sdk/core/DeviceError.hpp"
#include "sdk/core/Log.hpp"
#include "sdk/core/SensorIdentity.hpp"
#include "sdk/devices/common/ConnectionWatch.hpp"
#include "sdk/devices/common/CreationFailure.hpp"
#include "sdk/devices/morvex/MorvexGatt.hpp"

namespace VexaDevice::MorvexBlack {

using Sensor::SensorCommand;

namespace {

constexpr int32_t FirmwareMode = 1;
constexpr uint8_t Offset = 0;
// What the Wrenlet variants report as their gain index.
constexpr uint8_t WrenletGainIndex = 4;
constexpr uint8_t FirstWrenletVariant = 1;
const char* const UnsupportedParameter = "Unsupported parameter";

// A read that always succeeds.
template <class T, class V>
OperationResult give(T& out, V value)
{
    out = std::move(value);
    return OperationResult::done();
}

OperationResult unsupportedParameter()
{
    return OperationResult::failed(Utility::kErrUnsupportedParam, UnsupportedParameter);
}

// What the exported interface turns into its own default failure.
OperationResult notExecuted()
{
    return OperationResult::failed(0, "");
}

}  // namespace

MorvexBLE::MorvexBLE(std::shared_ptr<BLE::IBLEDevice> device, const uint8_t& variant,
                     const Devices::ProtocolTiming& timing)
{
    try {
        if (!device)
            throw std::invalid_argument("BLE device cannot be null");
        device_ = std::move(device);
        BLE::ChannelMap channels = device_->getChannelMap();
        BLE::ServiceChannels information = channels[Morvex::DeviceInformationServiceUuid];
        if (variant == 0)
            black_ = MorvexBleProtocol::create(device_, std::move(information), timing);
        else if (variant == FirstWrenletVariant)
            wrenlet_ = Kestrane::makeWrenletBleProtocol(device_, std::move(information), timing);
        else
            wrenlet_ = Kestrane::makeWrenletBleProtocol2(device_, std::move(information), timing);

        connectionSubscriber_ = Devices::watchConnection(
            device_, [weakBlack = std::weak_ptr<MorvexBleProtocol>(black_),
                      weakWrenlet = std::weak_ptr<Kestrane::WrenletBleProtocol>(wrenlet_)] {
                if (const auto protocol = weakBlack.lock())
                    protocol->onDisconnected();
                if (const auto protocol = weakWrenlet.lock())
                    protocol->onDisconnected();
            });
    } catch (...) {
        Devices::rethrowDeviceCreationFailure(std::current_exception(), "Morvex BLE Device");
    }
}

MorvexBLE::~MorvexBLE()
{
    try {
        powerDownBeforeDisconnect();
        protocolDisconnected();
        disconnect();
    } catch (const std::exception& e) {
        Utility::sdkLog().warn("MorvexBlack: disconnecting on release failed: {}", e.what());
    }
    connectionSubscriber_.reset();
    wrenlet_.reset();
    black_.reset();
}

template <class Operation>
decltype(auto) MorvexBLE::onProtocol(Operation&& operation)
{
    if (black_)
        return operation(*black_);
    return operation(*wrenlet_);
}

void MorvexBLE::protocolDisconnected()
{
    onProtocol([](auto& protocol) { protocol.onDisconnected(); });
}

void MorvexBLE::powerDownBeforeDisconnect()
{
    if (!device_->isDisconnected())
        execCommand(SensorCommand::PowerDown);
}

OperationResult MorvexBLE::connect()
{
    // The connection event of a lost link may still be on its way; the protocol must know the
    // link was down before it is told it is up, so that it reads the device afresh.
    if (device_->isDisconnected())
        protocolDisconnected();
    device_->connect();
    onProtocol([](auto& protocol) { protocol.onConnected(); });
    return OperationResult::done();
}

OperationResult MorvexBLE::disconnect()
{
    powerDownBeforeDisconnect();
    device_->disconnect();
    return OperationResult::done();
}

Sensor::FeatureSet MorvexBLE::getFeatures()
{
    return onProtocol([](auto& protocol) { return protocol.supportedFeatures(); });
}

Sensor::CommandSet MorvexBLE::getCommands()
{
    return onProtocol([](auto& protocol) { return protocol.supportedCommands(); });
}

Sensor::ParameterMap MorvexBLE::getParameters()
{
    return onProtocol([](auto& protocol) { return protocol.supportedParameters(); });
}

OperationResult MorvexBLE::execCommand(const SensorCommand& command)
{
    switch (command) {
    case SensorCommand::StartSignal:
        return black_ ? black_->startSignal(1) : wrenlet_->startSignal();
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
    case SensorCommand::StartSignalAndResist:
        return black_ ? notExecuted() : wrenlet_->startSignalAndResist();
    default: return notExecuted();
    }
}

std::weak_ptr<Utility::EventBus<int>> MorvexBLE::batteryEvent()
{
    return onProtocol([](auto& protocol) { return protocol.batteryEvent(); });
}

std::weak_ptr<Utility::EventBus<std::vector<Kestrane::_ResistData>>> MorvexBLE::resistEvent()
{
    return onProtocol([](auto& protocol) { return protocol.resistEvent(); });
}

std::weak_ptr<Utility::EventBus<Kestrane::DevAmpStatus>> MorvexBLE::ampModeEvent()
{
    return onProtocol([](auto& protocol) { return protocol.ampModeEvent(); });
}

std::weak_ptr<Utility::EventBus<std::vector<Kestrane::_SignalData>>> MorvexBLE::signalEvent()
{
    return onProtocol([](auto& protocol) { return protocol.signalEvent(); });
}

std::weak_ptr<Utility::EventBus<std::vector<Kestrane::_IMUData>>> MorvexBLE::memsEvent()
{
    return onProtocol([](auto& protocol) { return protocol.memsEvent(); });
}

std::weak_ptr<Utility::EventBus<std::vector<Kestrane::_FPGData>>> MorvexBLE::fpgEvent()
{
    return onProtocol([](auto& protocol) { return protocol.fpgEvent(); });
}

std::weak_ptr<BLE::ConnectionBus> MorvexBLE::connectionStateEvent()
{
    return device_->connectionChangedEvent();
}

OperationResult MorvexBLE::ping(const int32_t& value)
{
    return onProtocol([value](auto& protocol) { return protocol.ping(value); });
}

OperationResult MorvexBLE::readName(std::string& out)
{
    return Sensor::readName(*device_, out);
}

OperationResult MorvexBLE::readState(int32_t& out)
{
    return Sensor::readState(*device_, out);
}

OperationResult MorvexBLE::readAddress(std::string& out)
{
    return Sensor::readAddress(*device_, out);
}

OperationResult MorvexBLE::readSerialNumber(std::string& out)
{
    return give(out, onProtocol([](auto& protocol) { return protocol.serialNumber(); }));
}

OperationResult MorvexBLE::readFirmwareMode(int32_t& out)
{
    return give(out, FirmwareMode);
}

OperationResult MorvexBLE::readSamplingFrequency(uint8_t& out)
{
    return give(out, onProtocol([](auto& protocol) { return protocol.samplingFrequency(); }));
}

OperationResult MorvexBLE::readGain(uint8_t& out)
{
    return give(out, black_ ? black_->gain() : WrenletGainIndex);
}

OperationResult MorvexBLE::writeGain(const uint8_t& gain)
{
    return black_ ? black_->setGain(gain) : unsupportedParameter();
}

OperationResult MorvexBLE::readOffset(uint8_t& out)
{
    return give(out, Offset);
}

OperationResult MorvexBLE::readFirmwareVersion(DeviceVersion& out)
{
    return give(out, onProtocol([](auto& protocol) { return protocol.deviceVersion(); }));
}

int32_t MorvexBLE::readBattPower()
{
    return onProtocol([](auto& protocol) { return protocol.battPower(); });
}

OperationResult MorvexBLE::readModelCode(uint8_t& out)
{
    return give(out, onProtocol([](auto& protocol) { return protocol.modelCode(); }));
}

OperationResult MorvexBLE::readSensorMode(uint8_t& out)
{
    return give(out, onProtocol([](auto& protocol) { return protocol.ampMode(); }));
}

OperationResult MorvexBLE::readIrAmplitude(uint8_t& out)
{
    return give(out, onProtocol([](auto& protocol) { return protocol.irAmplitude(); }));
}

OperationResult MorvexBLE::writeIrAmplitude(const uint8_t& code)
{
    return onProtocol([code](auto& protocol) { return protocol.setIrAmplitude(code); });
}

OperationResult MorvexBLE::readRedAmplitude(uint8_t& out)
{
    return give(out, onProtocol([](auto& protocol) { return protocol.redAmplitude(); }));
}

OperationResult MorvexBLE::writeRedAmplitude(const uint8_t& code)
{
    return onProtocol([code](auto& protocol) { return protocol.setRedAmplitude(code); });
}

OperationResult MorvexBLE::readAccelerometerSens(uint8_t& out)
{
    return give(out, onProtocol([](auto& protocol) { return protocol.accelerometerSens(); }));
}

OperationResult MorvexBLE::writeAccelerometerSens(const uint8_t& code)
{
    return onProtocol([code](auto& protocol) { return protocol.setAccelerometerSens(code); });
}

OperationResult MorvexBLE::readGyroscopeSens(uint8_t& out)
{
    return give(out, onProtocol([](auto& protocol) { return protocol.gyroscopeSens(); }));
}

OperationResult MorvexBLE::writeGyroscopeSens(const uint8_t& code)
{
    return onProtocol([code](auto& protocol) { return protocol.setGyroscopeSens(code); });
}

OperationResult MorvexBLE::readSamplingFrequencyFPG(uint8_t& out)
{
    return give(out, onProtocol([](auto& protocol) { return protocol.samplingFrequencyFPG(); }));
}

OperationResult MorvexBLE::readSamplingFrequencyMEMS(uint8_t& out)
{
    return give(out, onProtocol([](auto& protocol) { return protocol.samplingFrequencyMEMS(); }));
}

OperationResult MorvexBLE::readSamplingFrequencyResist(uint8_t& out)
{
    return give(out, onProtocol([](auto& protocol) { return protocol.samplingFrequencyResist(); }));
}

OperationResult MorvexBLE::readAmplifierParam(Kestrane::WrenletAmplifierParam& out)
{
    return wrenlet_ ? wrenlet_->amplifierParam(out) : unsupportedParameter();
}

OperationResult MorvexBLE::writeAmplifierParam(const Kestrane::WrenletAmplifierParam& param)
{
    return wrenlet_ ? wrenlet_->setAmplifierParam(param) : unsupportedParameter();
}

std::shared_ptr<MorvexBLE> makeMorvexBlackBLE(std::shared_ptr<BLE::IBLEDevice> device, const uint8_t& variant,
                                              const Devices::ProtocolTiming& timing)
{
    return std::make_shared<MorvexBLE>(std::move(device), variant, timing);
}

}  // namespace VexaDevice::MorvexBlack
