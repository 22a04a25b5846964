#include "sdk/api/families/morvex/Morvex2Access.hpp"

#include "sdk/api/KestraneDeliveries.hpp"
#include "sdk/api/StreamSensorTables.hpp"
#include "sdk/devices/common/AmplifierGainCode.hpp"

namespace VexaDevice::Api {

namespace {

constexpr size_t kMorvex2Channels = 8;
constexpr size_t kWrenletChannels = 4;

template <typename Entry>
Entry entryOr(const std::vector<Entry>& entries, size_t index, Entry missing) {
    return index < entries.size() ? entries[index] : missing;
}

}  // namespace

namespace {

using Morvex2::IMorvex2;

const AccessTable<IMorvex2>& morvex2Table() {
    static const AccessTable<IMorvex2> table = [] {
        auto rows = streamSensorReads<IMorvex2>();
        rows.supportedChannels = readOf<std::vector<Sensor::EEGChannelInfo>>(&IMorvex2::readSensorChannels);
        return rows;
    }();
    return table;
}

}  // namespace

Morvex2Access::Morvex2Access(std::shared_ptr<IMorvex2> device, uint8_t family)
    : TableAccess(std::move(device), morvex2Table()) {
    offer<Morvex2Access>(*this);
    offer<Morvex2AmplifierView>(*this);
    if (family == SensorFamilyMorvexBlack) {
        offer<WrenletAmplifierView>(*this);
    }
    if (family == SensorFamilyMorvexBlack || family == SensorFamilyMorvex2Model2) {
        offer<MorvexRecordsView>(*this);
    }
}

OperationResult Morvex2Access::readAmplifierMorvex2(Morvex2AmplifierParam& out) {
    Morvex2::Morvex2AmplifierParam param;
    const auto result = device().readAmplifierParam(param);
    for (size_t channel = 0; channel < kMorvex2Channels; ++channel) {
        out.ChMode[channel] = entryOr<uint8_t>(param.modes, channel, 0);
        out.ChFlag[channel] = channel < param.resistFlags.size() && param.resistFlags[channel] ? 1 : 0;
        out.ChGain[channel] = entryOr<uint8_t>(param.gains, channel, Devices::kNoChannelGain);
    }
    out.Current = param.current;
    return result;
}

OperationResult Morvex2Access::readAmplifierWrenlet(WrenletAmplifierParam& out) {
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
    std::optional<ElectrodePicker> picker;
    if (auto result = electrodePicker(picker); !result) {
        return Subscription::failed(std::move(result));
    }
    return Subscription::made(subscribeDelivery(device().signalEvent(), PickedSignalDelivery{host, *picker}),
                              Subscription::Records::Kestrane);
}

Subscription Morvex2Access::addResistMorvex(const HostTarget<MorvexResistCallback>& host) {
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
