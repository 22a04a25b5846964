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

namespace {

using Morvex2::IMorvex2;

const AccessTable<IMorvex2>& morvex2Table() {
    static const AccessTable<IMorvex2> table{
        .bytes =
            {
                {ByteParameter::FirmwareMode, readOf<uint8_t>(&IMorvex2::readFirmwareMode)},
                {ByteParameter::SamplingFrequency, readOf<uint8_t>(&IMorvex2::readSamplingFrequency)},
                {ByteParameter::DataOffset, readOf<uint8_t>(&IMorvex2::readOffset)},
                {ByteParameter::AccelerometerSens, readOf<uint8_t>(&IMorvex2::readAccelerometerSens)},
                {ByteParameter::GyroscopeSens, readOf<uint8_t>(&IMorvex2::readGyroscopeSens)},
                {ByteParameter::SamplingFrequencyMEMS, readOf<uint8_t>(&IMorvex2::readSamplingFrequencyMEMS)},
                {ByteParameter::SamplingFrequencyFPG, readOf<uint8_t>(&IMorvex2::readSamplingFrequencyFPG)},
                {ByteParameter::IrAmplitude, readOf<uint8_t>(&IMorvex2::readIrAmplitude)},
                {ByteParameter::RedAmplitude, readOf<uint8_t>(&IMorvex2::readRedAmplitude)},
                {ByteParameter::SamplingFrequencyResist, readOf<uint8_t>(&IMorvex2::readSamplingFrequencyResist)},
                {ByteParameter::AmpMode, readOf<uint8_t>(&IMorvex2::readSensorMode)},
            },
        .ints = {{IntParameter::BattPower, readOf<int32_t>(&IMorvex2::readBattPower)}},
        .version = readOf<SensorVersion>(&IMorvex2::readFirmwareVersion),
        .supportedChannels = readOf<std::vector<Sensor::EEGChannelInfo>>(&IMorvex2::readSensorChannels),
        .intEvents = {{IntEvent::Battery, deliverTo<ValueDelivery<IntValueCallback>>(&IMorvex2::batteryEvent)}},
        .byteEvents = {{ByteEvent::AmpMode, deliverTo<ValueDelivery<ByteValueCallback>>(&IMorvex2::ampModeEvent)}},
        .memsData = deliverTo<MemsDelivery>(&IMorvex2::memsEvent, Subscription::Records::Kestrane),
        .fpgData = deliverTo<FpgDelivery>(&IMorvex2::fpgEvent),
    };
    return table;
}

}  // namespace

Morvex2Access::Morvex2Access(std::shared_ptr<IMorvex2> device, uint8_t family)
    : TableAccess(std::move(device), morvex2Table()), family_(family) {}

OperationResult Morvex2Access::readAmplifierMorvex2(Morvex2AmplifierParam& out) {
    Morvex2::Morvex2AmplifierParam param;
    const auto result = device().readAmplifierParam(param);
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
    const auto result = device().readAmplifierParam(param);
    for (size_t channel = 0; channel < kWrenletChannels; ++channel) {
        out.ChMode[channel] = entryOr<uint8_t>(param.modes, channel, 0) == 1 ? 1 : 0;
        out.ChFlag[channel] = channel < param.resistFlags.size() && param.resistFlags[channel] ? 1 : 0;
        out.ChGain[channel] = entryOr<uint8_t>(param.gains, channel, 0);
    }
    out.Current = param.current;
    return result;
}

OperationResult Morvex2Access::electrodePicker(std::optional<ElectrodePicker>& picker) {
    std::vector<Sensor::EEGChannelInfo> channels;
    auto result = device().readSensorChannels(channels);
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
    return Subscription::made(subscribeDelivery(device().signalEvent(), PickedSignalDelivery{host, *picker}),
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
    return Subscription::made(subscribeDelivery(device().resistEvent(), PickedResistDelivery{host, *picker}),
                              Subscription::Records::Kestrane);
}

Subscription Morvex2Access::addSignalMorvex2(const HostTarget<SignalChannelsCallback>& host) {
    return Subscription::made(subscribeDelivery(device().signalEvent(), SignalChannelsDelivery{host}));
}

Subscription Morvex2Access::addResistMorvex2(const HostTarget<ResistChannelsCallback>& host) {
    return Subscription::made(subscribeDelivery(device().resistEvent(), ResistChannelsDelivery{host}));
}

}  // namespace VexaDevice::Api
