#include "sdk/devices/morvex/MorvexBLE.hpp"

#include <stdexcept>

#include "sdk/core/Log.hpp"
#include "sdk/core/SensorIdentity.hpp"
#include "sdk/devices/common/CreationFailure.hpp"
#include "sdk/devices/morvex/MorvexGatt.hpp"

namespace VexaDevice::Morvex {

using Sensor::SensorCommand;

namespace {

std::shared_ptr<BLE::IBLEChannel> channelOf(const BLE::ServiceChannels& service, const Utility::UUID& characteristic)
{
    const auto found = service.find(characteristic);
    return found == service.end() ? nullptr : found->second;
}

}  // namespace

MorvexBLE::MorvexBLE(std::shared_ptr<BLE::IBLEDevice> device, const Devices::ProtocolTiming& timing)
{
    try {
        if (!device)
            throw std::invalid_argument("BLE device cannot be null");
        device_ = std::move(device);
        BLE::ChannelMap channels = device_->getChannelMap();
        const BLE::ServiceChannels& service = channels[MorvexServiceUuid];
        protocol_ = MorvexBleProtocol::create(channels[DeviceInformationServiceUuid],
                                              channelOf(service, MorvexStatusUuid),
                                              channelOf(service, MorvexCommandUuid),
                                              channelOf(service, MorvexDataUuid), timing);

        connectionSubscriber_ = std::make_shared<BLE::ConnectionBus::Callback>(
            [weakDevice = std::weak_ptr<BLE::IBLEDevice>(device_),
             weakProtocol = std::weak_ptr<MorvexBleProtocol>(protocol_)] {
                const auto bleDevice = weakDevice.lock();
                if (!bleDevice)
                    return;
                const bool disconnected = bleDevice->isDisconnected();
                Utility::sdkLog().trace("Dev [{}] [State]:[{}]", bleDevice->id().toString(),
                                        disconnected ? "Disconnected" : "Connected");
                if (const auto protocol = weakProtocol.lock(); protocol && disconnected)
                    protocol->morvexOnDisconnected();
            });
        if (const auto bus = device_->connectionChangedEvent().lock())
            bus->subscribe(connectionSubscriber_);
    } catch (...) {
        Devices::rethrowDeviceCreationFailure(std::current_exception(), "Morvex BLE Device");
    }
}

MorvexBLE::~MorvexBLE()
{
    try {
        stopBeforeDisconnect();
        protocol_->morvexOnDisconnected();
        device_->disconnect();
    } catch (const std::exception& e) {
        Utility::sdkLog().warn("Morvex: releasing the device failed: {}", e.what());
    }
    connectionSubscriber_.reset();
    protocol_->stop();
}

void MorvexBLE::stopBeforeDisconnect()
{
    if (device_->isDisconnected())
        return;
    execCommand(SensorCommand::StopSignal);
    if (!device_->isDisconnected())
        execCommand(SensorCommand::StopResist);
}

OperationResult MorvexBLE::connect()
{
    // The connection event of a link loss may still be on its way: the protocol must know
    // now, so that it reads the device again once connected.
    if (device_->isDisconnected())
        protocol_->morvexOnDisconnected();
    device_->connect();
    protocol_->morvexOnConnected();
    return OperationResult::done();
}

OperationResult MorvexBLE::disconnect()
{
    stopBeforeDisconnect();
    device_->disconnect();
    return OperationResult::done();
}

Sensor::FeatureSet MorvexBLE::getFeatures()
{
    return protocol_->supportedFeatures();
}

Sensor::CommandSet MorvexBLE::getCommands()
{
    return protocol_->supportedCommands();
}

Sensor::ParameterMap MorvexBLE::getParameters()
{
    return protocol_->supportedParameters();
}

OperationResult MorvexBLE::execCommand(const SensorCommand& command)
{
    switch (command) {
    case SensorCommand::StartSignal: return protocol_->morvexStartSignal();
    case SensorCommand::StopSignal: return protocol_->morvexStopSignal();
    case SensorCommand::StartResist: return protocol_->morvexStartResist();
    case SensorCommand::StopResist: return protocol_->morvexStopResist();
    default: return OperationResult::failed(0, "");
    }
}

std::weak_ptr<Utility::EventBus<int>> MorvexBLE::batteryEvent()
{
    return protocol_->batteryEvent();
}

std::weak_ptr<Utility::EventBus<_ResistData>> MorvexBLE::resistEvent()
{
    return protocol_->resistEvent();
}

std::weak_ptr<Utility::EventBus<MorvexStatus>> MorvexBLE::stateEvent()
{
    return protocol_->stateEvent();
}

std::weak_ptr<Utility::EventBus<std::vector<_SignalData>>> MorvexBLE::signalEvent()
{
    return protocol_->signalEvent();
}

std::weak_ptr<BLE::ConnectionBus> MorvexBLE::connectionStateEvent()
{
    return device_->connectionChangedEvent();
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
    out = protocol_->serialNumber();
    return OperationResult::done();
}

OperationResult MorvexBLE::readFirmwareMode(uint8_t& out)
{
    out = protocol_->firmwareMode();
    return OperationResult::done();
}

OperationResult MorvexBLE::readSamplingFrequency(uint8_t& out)
{
    out = protocol_->samplingFrequency();
    return OperationResult::done();
}

OperationResult MorvexBLE::readGain(uint8_t& out)
{
    out = protocol_->gain();
    return OperationResult::done();
}

OperationResult MorvexBLE::writeGain(const uint8_t& gain)
{
    return protocol_->morvexSetGain(gain);
}

OperationResult MorvexBLE::readOffset(uint8_t& out)
{
    out = protocol_->offset();
    return OperationResult::done();
}

OperationResult MorvexBLE::readFirmwareVersion(MorvexVersion& out)
{
    out = protocol_->version();
    return OperationResult::done();
}

OperationResult MorvexBLE::readBattPower(int32_t& out)
{
    out = protocol_->battPower();
    return OperationResult::done();
}

}  // namespace VexaDevice::Morvex
