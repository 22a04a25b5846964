#include "sdk/api/MorvexBlackAccess.hpp"

#include "sdk/api/HostDelivery.hpp"
#include "sdk/api/KestraneDeliveries.hpp"
#include "sdk/api/WrenletAmplifierForm.hpp"

namespace VexaDevice::Api {

MorvexBlackAccess::MorvexBlackAccess(std::shared_ptr<MorvexBlack::IMorvex> device, uint8_t model)
    : FamilyAccess(device), device_(std::move(device)), model_(model) {}

OperationResult MorvexBlackAccess::readText(TextParameter parameter, std::string& out) {
    switch (parameter) {
    case TextParameter::Name: return device_->readName(out);
    case TextParameter::Address: return device_->readAddress(out);
    case TextParameter::SerialNumber: return device_->readSerialNumber(out);
    }
    return unsupportedRead();
}

OperationResult MorvexBlackAccess::readState(int32_t& out) { return device_->readState(out); }

OperationResult MorvexBlackAccess::readByte(ByteParameter parameter, uint8_t& out) {
    switch (parameter) {
    case ByteParameter::FirmwareMode: {
        int32_t mode = 0;
        const auto result = device_->readFirmwareMode(mode);
        out = static_cast<uint8_t>(mode);
        return result;
    }
    case ByteParameter::SamplingFrequency: return device_->readSamplingFrequency(out);
    case ByteParameter::DataOffset: return device_->readOffset(out);
    case ByteParameter::Gain: return device_->readGain(out);
    case ByteParameter::AccelerometerSens: return device_->readAccelerometerSens(out);
    case ByteParameter::GyroscopeSens: return device_->readGyroscopeSens(out);
    case ByteParameter::SamplingFrequencyMEMS: return device_->readSamplingFrequencyMEMS(out);
    case ByteParameter::SamplingFrequencyFPG: return device_->readSamplingFrequencyFPG(out);
    case ByteParameter::IrAmplitude: return device_->readIrAmplitude(out);
    case ByteParameter::RedAmplitude: return device_->readRedAmplitude(out);
    case ByteParameter::SamplingFrequencyResist: return device_->readSamplingFrequencyResist(out);
    case ByteParameter::AmpMode: return device_->readSensorMode(out);
    default: return unsupportedRead();
    }
}

OperationResult MorvexBlackAccess::readInt(IntParameter parameter, int32_t& out) {
    if (parameter != IntParameter::BattPower) {
        return unsupportedRead();
    }
    out = device_->readBattPower();
    return OperationResult::done();
}

OperationResult MorvexBlackAccess::readVersion(SensorVersion& out) {
    DeviceVersion version;
    const auto result = device_->readFirmwareVersion(version);
    out = sensorVersion(version);
    return result;
}

OperationResult MorvexBlackAccess::readAmplifierMorvex2(Morvex2AmplifierParam& out) {
    if (model_ == 0) {
        return unsupportedRead();
    }
    Kestrane::WrenletAmplifierParam param;
    const auto result = device_->readAmplifierParam(param);
    copyToHost(param, out);
    return result;
}

OperationResult MorvexBlackAccess::readAmplifierWrenlet(WrenletAmplifierParam& out) {
    Kestrane::WrenletAmplifierParam param;
    const auto result = device_->readAmplifierParam(param);
    copyToHost(param, out);
    return result;
}

std::weak_ptr<BLE::ConnectionBus> MorvexBlackAccess::connectionBus() { return device_->connectionStateEvent(); }

Subscription MorvexBlackAccess::addSignalDataMorvex(const HostTarget<MorvexSignalCallback>& host) {
    return Subscription::made(
        subscribeDelivery(device_->signalEvent(), PickedSignalDelivery{host, ElectrodePicker::fixedOrder()}),
        Subscription::Records::Kestrane);
}

Subscription MorvexBlackAccess::addResistMorvex(const HostTarget<MorvexResistCallback>& host) {
    return Subscription::made(
        subscribeDelivery(device_->resistEvent(), PickedResistDelivery{host, ElectrodePicker::fixedOrder()}),
        Subscription::Records::Kestrane);
}

Subscription MorvexBlackAccess::addMEMSData(const HostTarget<MEMSDataCallback>& host) {
    return Subscription::made(subscribeDelivery(device_->memsEvent(), MemsDelivery{host}),
                              Subscription::Records::Kestrane);
}

Subscription MorvexBlackAccess::addFPGData(const HostTarget<FPGDataCallback>& host) {
    return Subscription::made(subscribeDelivery(device_->fpgEvent(), FpgDelivery{host}));
}

Subscription MorvexBlackAccess::addIntValue(IntEvent event, const HostTarget<IntValueCallback>& host) {
    if (event != IntEvent::Battery) {
        return Subscription::refused();
    }
    return Subscription::made(subscribeDelivery(device_->batteryEvent(), ValueDelivery<IntValueCallback>{host}));
}

Subscription MorvexBlackAccess::addByteValue(ByteEvent event, const HostTarget<ByteValueCallback>& host) {
    if (event != ByteEvent::AmpMode) {
        return Subscription::refused();
    }
    return Subscription::made(subscribeDelivery(device_->ampModeEvent(), ValueDelivery<ByteValueCallback>{host}));
}

}  // namespace VexaDevice::Api
