#include "sdk/devices/morvex/Morvex2BLE.hpp"

#include <stdexcept>

#include "sdk/core/DeviceError.hpp"
#include "sdk/core/Log.hpp"
#include "sdk/core/SensorIdentity.hpp"
#include "sdk/devices/common/ConnectionWatch.hpp"
#include "sdk/devices/common/CreationFailure.hpp"
#include "sdk/devices/morvex/MorvexGatt.hpp"

namespace VexaDevice::Morvex2 {

using Sensor::SensorCommand;

namespace {

constexpr uint8_t FirmwareMode = 1;
constexpr uint8_t Offset = 0;

// A read that always succeeds.
template <class T, class V>
OperationResult give(T& out, V value)
{
    out = std::move(value);
    return OperationResult::done();
}

}  // namespace

Morvex2BLE::Morvex2BLE(std::shared_ptr<BLE::IBLEDevice> device, const Devices::ProtocolTiming& timing)
{
    try {
        if (!device)
            throw std::invalid_argument("BLE device cannot be null");
        device_ = std::move(device);
        BLE::ChannelMap channels = device_->getChannelMap();
        protocol_ = makeMorvex2BleProtocol(device_, channels[Morvex::DeviceInformationServiceUuid], timing);

        connectionSubscriber_ = Devices::watchConnection(
            device_, [weakProtocol = std::weak_ptr<Morvex2BleProtocol>(protocol_)] {
                if (const auto protocol = weakProtocol.lock())
                    protocol->onDisconnected();
            });
    } catch (...) {
        Devices::rethrowDeviceCreationFailure(std::current_exception(), "Morvex2 BLE Device");
    }
}

Morvex2BLE::~Morvex2BLE()
{
    try {
        powerDownBeforeDisconnect();
    } catch (const std::exception& e) {
        Utility::sdkLog().warn("Morvex2: powering down on release failed: {}", e.what());
    }
    protocol_->onDisconnected();
    connectionSubscriber_.reset();
    protocol_.reset();
}

void Morvex2BLE::powerDownBeforeDisconnect()
{
    if (!device_->isDisconnected())
        execCommand(SensorCommand::PowerDown);
}

OperationResult Morvex2BLE::connect()
{
    // A link loss whose connection event is still on its way must count already, so that the
    // protocol reads the device again once connected.
    if (device_->isDisconnected())
        protocol_->onDisconnected();
    device_->connect();
    return protocol_->onConnected();
}

OperationResult Morvex2BLE::disconnect()
{
    powerDownBeforeDisconnect();
    device_->disconnect();
    return OperationResult::done();
}

Sensor::FeatureSet Morvex2BLE::getFeatures()
{
    return protocol_->supportedFeatures();
}

Sensor::CommandSet Morvex2BLE::getCommands()
{
    return protocol_->supportedCommands();
}

Sensor::ParameterMap Morvex2BLE::getParameters()
{
    return protocol_->supportedParameters();
}

OperationResult Morvex2BLE::execCommand(const SensorCommand& command)
{
    switch (command) {
    case SensorCommand::StartSignal: return protocol_->startSignal();
    case SensorCommand::StopSignal:
    case SensorCommand::StopResist:
    case SensorCommand::PowerDown:
    case SensorCommand::StopSignalAndResist: return protocol_->powerDown();
    case SensorCommand::StartResist: return protocol_->startResist();
    case SensorCommand::StartMEMS: return protocol_->startMEMS();
    case SensorCommand::StopMEMS: return protocol_->stopMEMS();
    case SensorCommand::Idle: return protocol_->setIdle();
    case SensorCommand::StartFPG: return protocol_->startFPG();
    case SensorCommand::StopFPG: return protocol_->stopFPG();
    case SensorCommand::StartSignalAndResist: return protocol_->startSignalAndResist();
    default: return OperationResult::failed(Utility::kErrUnsupportedCommand, "Unsupported command");
    }
}

std::weak_ptr<Utility::EventBus<int>> Morvex2BLE::batteryEvent()
{
    return protocol_->batteryEvent();
}

std::weak_ptr<Utility::EventBus<std::vector<Kestrane::_ResistData>>> Morvex2BLE::resistEvent()
{
    return protocol_->resistEvent();
}

std::weak_ptr<Utility::EventBus<DevAmpStatus>> Morvex2BLE::ampModeEvent()
{
    return protocol_->ampModeEvent();
}

std::weak_ptr<Utility::EventBus<std::vector<Kestrane::_SignalData>>> Morvex2BLE::signalEvent()
{
    return protocol_->signalEvent();
}

std::weak_ptr<Utility::EventBus<std::vector<Kestrane::_IMUData>>> Morvex2BLE::memsEvent()
{
    return protocol_->memsEvent();
}

std::weak_ptr<Utility::EventBus<std::vector<Kestrane::_FPGData>>> Morvex2BLE::fpgEvent()
{
    return protocol_->fpgEvent();
}

std::weak_ptr<BLE::ConnectionBus> Morvex2BLE::connectionStateEvent()
{
    return device_->connectionChangedEvent();
}

OperationResult Morvex2BLE::ping(const int32_t& value)
{
    return protocol_->ping(value);
}

OperationResult Morvex2BLE::readName(std::string& out)
{
    return Sensor::readName(*device_, out);
}

OperationResult Morvex2BLE::readState(int32_t& out)
{
    return Sensor::readState(*device_, out);
}

OperationResult Morvex2BLE::readAddress(std::string& out)
{
    return Sensor::readAddress(*device_, out);
}

OperationResult Morvex2BLE::readSerialNumber(std::string& out)
{
    return give(out, protocol_->serialNumber());
}

OperationResult Morvex2BLE::readFirmwareMode(uint8_t& out)
{
    return give(out, FirmwareMode);
}

OperationResult Morvex2BLE::readSamplingFrequency(uint8_t& out)
{
    return give(out, protocol_->samplingFrequency());
}

OperationResult Morvex2BLE::readSamplingFrequencyResist(uint8_t& out)
{
    return give(out, protocol_->samplingFrequencyResist());
}

OperationResult Morvex2BLE::readOffset(uint8_t& out)
{
    return give(out, Offset);
}

OperationResult Morvex2BLE::readFirmwareVersion(DeviceVersion& out)
{
    return give(out, protocol_->deviceVersion());
}

OperationResult Morvex2BLE::readBattPower(int32_t& out)
{
    return give(out, protocol_->battPower());
}

OperationResult Morvex2BLE::readModelCode(uint8_t& out)
{
    return give(out, protocol_->modelCode());
}

OperationResult Morvex2BLE::readSensorMode(uint8_t& out)
{
    return give(out, protocol_->ampMode());
}

OperationResult Morvex2BLE::readAmplifierParam(Morvex2AmplifierParam& out)
{
    return protocol_->amplifierParam(out);
}

OperationResult Morvex2BLE::writeAmplifierParam(const Morvex2AmplifierParam& param)
{
    return protocol_->setAmplifierParam(param);
}

OperationResult Morvex2BLE::readIrAmplitude(uint8_t& out)
{
    return give(out, protocol_->irAmplitude());
}

OperationResult Morvex2BLE::writeIrAmplitude(const uint8_t& code)
{
    return protocol_->setIrAmplitude(code);
}

OperationResult Morvex2BLE::readRedAmplitude(uint8_t& out)
{
    return give(out, protocol_->redAmplitude());
}

OperationResult Morvex2BLE::writeRedAmplitude(const uint8_t& code)
{
    return protocol_->setRedAmplitude(code);
}

OperationResult Morvex2BLE::readAccelerometerSens(uint8_t& out)
{
    return give(out, protocol_->accelerometerSens());
}

OperationResult Morvex2BLE::writeAccelerometerSens(const uint8_t& code)
{
    return protocol_->setAccelerometerSens(code);
}

OperationResult Morvex2BLE::readGyroscopeSens(uint8_t& out)
{
    return give(out, protocol_->gyroscopeSens());
}

OperationResult Morvex2BLE::writeGyroscopeSens(const uint8_t& code)
{
    return protocol_->setGyroscopeSens(code);
}

OperationResult Morvex2BLE::readSamplingFrequencyFPG(uint8_t& out)
{
    return give(out, protocol_->samplingFrequencyFPG());
}

OperationResult Morvex2BLE::readSamplingFrequencyMEMS(uint8_t& out)
{
    return give(out, protocol_->samplingFrequencyMEMS());
}

OperationResult Morvex2BLE::readSensorChannels(std::vector<Sensor::EEGChannelInfo>& out)
{
    return give(out, protocol_->channelList());
}

std::shared_ptr<Morvex2BLE> makeMorvex2BLE(std::shared_ptr<BLE::IBLEDevice> device,
                                          const Devices::ProtocolTiming& timing)
{
    return std::make_shared<Morvex2BLE>(std::move(device), timing);
}

}  // namespace VexaDevice::Morvex2
