#include "sdk/api/Morvex2Access.hpp"

#include "sdk/api/HostDelivery.hpp"
#include "sdk/api/KestraneDeliveries.hpp"

namespace VexaDevice::Api {

namespace {

constexpr size_t kMorvex2Channels = 8;
constexpr size_t kWrenletChannels = 4;
constexpr uint8_t kMissingGain = 255;

template <typename Entry>
Entry entryOr(const std::vector<Entry>& entries, size_t index, Entry missing) {
    return index < entries.size() ? entries[index] : missing;
}

}  // namespace

Morvex2Access::Morvex2Access(std::shared_ptr<Morvex2::IMorvex2> device, uint8_t family)
    : FamilyAccess(device), device_(std::move(device)), family_(family) {}

OperationResult Morvex2Access::readText(TextParameter parameter, std::string& out) {
    switch (parameter) {
    case TextParameter::Name: return device_->readName(out);
    case TextParameter::Address: return device_->readAddress(out);
    case TextParameter::SerialNumber: return device_->readSerialNumber(out);
    }
    return unsupportedRead();
}

OperationResult Morvex2Access::readState(int32_t& out) { return device_->readState(out); }

OperationResult Morvex2Access::readByte(ByteParameter parameter, uint8_t& out) {
    switch (parameter) {
    case ByteParameter::FirmwareMode: return device_->readFirmwareMode(out);
    case ByteParameter::SamplingFrequency: return device_->readSamplingFrequency(out);
    case ByteParameter::DataOffset: return device_->readOffset(out);
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

OperationResult Morvex2Access::readInt(IntParameter parameter, int32_t& out) {
    if (parameter == IntParameter::BattPower) {
        return device_->readBattPower(out);
    }
    return unsupportedRead();
}

OperationResult Morvex2Access::readVersion(SensorVersion& out) {
    DeviceVersion version;
    const auto result = device_->readFirmwareVersion(version);
    out = sensorVersion(version);
    return result;
}

OperationResult Morvex2Access::readAmplifierMorvex2(Morvex2AmplifierParam& out) {
    Morvex2::Morvex2AmplifierParam param;
    const auto result = device_->readAmplifierParam(param);
    for (size_t channel = 0; channel < kMorvex2Channels; ++channel) {
        out.ChMode[channel] = entryOr<uint8_t>(param.modes, channel, 0);
        out.ChFlag[channel] = channel < param.resistFlags.size() && param.resistFlags[channel] ? 1 : 0;
        out.ChGain[channel] = entryOr<uint8_t>(param.gains, channel, kMissingGain);
    }
    out.Current = param.current;
    return result;
}

OperationResult Morvex2Access::readAmplifierWrenlet(WrenletAmplifierParam& out) {
    if (family_ != 4) {
        return unsupportedRead();
    }
    Morvex2::Morvex2AmplifierParam param;
    const auto result = device_->readAmplifierParam(param);
    for (size_t channel = 0; channel < kWrenletChannels; ++channel) {
        out.ChMode[channel] = entryOr<uint8_t>(param.modes, channel, 0) == 1 ? 1 : 0;
        out.ChFlag[channel] = channel < param.resistFlags.size() && param.resistFlags[channel] ? 1 : 0;
        out.ChGain[channel] = entryOr<uint8_t>(param.gains, channel, 0);
    }
    out.Current = param.current;
    return result;
}

OperationResult Morvex2Access::readSupportedChannels(std::vector<Sensor::EEGChannelInfo>& out) {
    return device_->readSensorChannels(out);
}

std::weak_ptr<BLE::ConnectionBus> Morvex2Access::connectionBus() { return device_->connectionStateEvent(); }

OperationResult Morvex2Access::electrodePicker(std::optional<ElectrodePicker>& picker) {
    std::vector<Sensor::EEGChannelInfo> channels;
    auto result = device_->readSensorChannels(channels);
    if (result) {
        picker = ElectrodePicker::mapped(channelIndexMap(channels));
    }
    return result;
}

Subscription Morvex2Access::addSignalDataMorvex(const HostTarget<MorvexSignalCallback>& host) {
    if (!deliversMorvexRecords()) {
        return Subscription::refused();
    }
    std::optional<ElectrodePicker> picker;
    if (auto result = electrodePicker(picker); !result) {
        return Subscription::failed(std::move(result));
    }
    return Subscription::made(subscribeDelivery(device_->signalEvent(), PickedSignalDelivery{host, *picker}),
                              Subscription::Records::Kestrane);
}

Subscription Morvex2Access::addResistMorvex(const HostTarget<MorvexResistCallback>& host) {
    if (!deliversMorvexRecords()) {
        return Subscription::refused();
    }
    std::optional<ElectrodePicker> picker;
    if (auto result = electrodePicker(picker); !result) {
        return Subscription::failed(std::move(result));
    }
    return Subscription::made(subscribeDelivery(device_->resistEvent(), PickedResistDelivery{host, *picker}),
                              Subscription::Records::Kestrane);
}

Subscription Morvex2Access::addMEMSData(const HostTarget<MEMSDataCallback>& host) {
    return Subscription::made(subscribeDelivery(device_->memsEvent(), MemsDelivery{host}),
                              Subscription::Records::Kestrane);
}

Subscription Morvex2Access::addSignalMorvex2(const HostTarget<SignalChannelsCallback>& host) {
    return Subscription::made(subscribeDelivery(device_->signalEvent(), SignalChannelsDelivery{host}));
}

Subscription Morvex2Access::addResistMorvex2(const HostTarget<ResistChannelsCallback>& host) {
    return Subscription::made(subscribeDelivery(device_->resistEvent(), ResistChannelsDelivery{host}));
}

Subscription Morvex2Access::addFPGData(const HostTarget<FPGDataCallback>& host) {
    return Subscription::made(subscribeDelivery(device_->fpgEvent(), FpgDelivery{host}));
}

Subscription Morvex2Access::addIntValue(IntEvent event, const HostTarget<IntValueCallback>& host) {
    if (event != IntEvent::Battery) {
        return Subscription::refused();
    }
    return Subscription::made(subscribeDelivery(device_->batteryEvent(), ValueDelivery<IntValueCallback>{host}));
}

Subscription Morvex2Access::addByteValue(ByteEvent event, const HostTarget<ByteValueCallback>& host) {
    if (event != ByteEvent::AmpMode) {
        return Subscription::refused();
    }
    return Subscription::made(subscribeDelivery(device_->ampModeEvent(), ValueDelivery<ByteValueCallback>{host}));
}

}  // namespace VexaDevice::Api
