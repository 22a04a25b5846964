#include "sdk/api/families/dravik/DravikAccess.hpp"

#include <algorithm>

#include "sdk/api/families/dravik/DravikDeliveries.hpp"
#include "sdk/api/KestraneDeliveries.hpp"

namespace VexaDevice::Api {

namespace {

using Dravik::IDravik;

// The gain index that marks a channel the device does not have.
constexpr uint8_t kAbsentChannelGain = 11;

const AccessTable<IDravik>& dravikReads() {
    static const AccessTable<IDravik> table{
        .bytes =
            {
                {ByteParameter::FirmwareMode, readOf<uint8_t>(&IDravik::readFirmwareMode)},
                {ByteParameter::SamplingFrequency, readOf<uint8_t>(&IDravik::readSamplingFrequency)},
                {ByteParameter::SamplingFrequencyResist, readOf<uint8_t>(&IDravik::readSamplingFrequencyResist)},
                {ByteParameter::AmpMode, readOf<uint8_t>(&IDravik::readAmpMode)},
                {ByteParameter::StimMode, readOf<uint8_t>(&IDravik::readStimState)},
                {ByteParameter::PhotoStimSyncState, readOf<uint8_t>(&IDravik::readPhotoStimSyncState)},
            },
        .ints =
            {
                {IntParameter::BattPower, readOf<int32_t>(&IDravik::readBattPower)},
                {IntParameter::BattVoltage, readOf<int32_t>(&IDravik::readBattVoltage)},
                {IntParameter::SurveyId, readOf<int32_t>(&IDravik::readSurveyId)},
            },
        .version = readOf<SensorVersion>(&IDravik::readVersion),
        .supportedChannels = readOf<std::vector<Sensor::EEGChannelInfo>>(&IDravik::readSupportedChannels),
        .intEvents =
            {
                {IntEvent::Battery, deliverTo<ValueDelivery<IntValueCallback>>(&IDravik::batteryEvent)},
                {IntEvent::BatteryVoltage, deliverTo<ValueDelivery<IntValueCallback>>(&IDravik::batteryVoltageEvent)},
            },
        .byteEvents =
            {
                {ByteEvent::AmpMode, deliverTo<ValueDelivery<ByteValueCallback>>(&IDravik::ampModeEvent)},
                {ByteEvent::StimMode, deliverTo<ValueDelivery<ByteValueCallback>>(&IDravik::stimStateEvent)},
                {ByteEvent::PhotoStimSyncState, deliverTo<ValueDelivery<ByteValueCallback>>(&IDravik::stimSyncEvent)},
            },
    };
    return table;
}

}  // namespace

DravikAccess::DravikAccess(std::shared_ptr<IDravik> device) : TableAccess(device, dravikReads()), bridge_(*device) {
    offer<DravikAccess>(*this);
    offer<StimulatorView>(*this);
}

OperationResult DravikAccess::readPhotoStimTimeDefer(double& out) { return device().readPhotoStimTimeDefer(out); }

OperationResult DravikAccess::readAmplifierDravik(DravikAmplifierParam& out) {
    Dravik::DravikAmplifierParam amplifier;
    auto result = device().readAmplifierParam(amplifier);
    if (!result) {
        return result;
    }
    std::vector<Sensor::EEGChannelInfo> channels;
    result = device().readSupportedChannels(channels);
    const size_t listed = std::min({channels.size(), Dravik::kChannels, std::size(out.ChannelMode)});
    out.ReferentFlag = amplifier.referentsResist != 0 ? 1 : 0;
    out.Setting1 = amplifier.samplingFrequency;
    out.Setting2 = amplifier.referentMode;
    for (size_t channel = 0; channel < std::size(out.ChannelMode); ++channel) {
        const bool present = channel < listed;
        out.ChannelMode[channel] = present ? amplifier.channelMode[channel] : 0;
        out.ChannelGain[channel] = present ? amplifier.channelGain[channel] : kAbsentChannelGain;
    }
    out.ExtraFlag = amplifier.configFlag != 0 ? 1 : 0;
    return result;
}

OperationResult DravikAccess::readFilesystemStatus(DravikFSStatus& out) {
    Dravik::_DravikFSStatus status;
    auto result = device().readFilesystemStatus(status);
    if (result) {
        out = DravikFSStatus{status.fsState, status.deviceByte, status.streamActive,
                             static_cast<uint8_t>(status.autosave ? 1 : 0)};
    }
    return result;
}

OperationResult DravikAccess::readFileSystemDiskInfo(DravikFSDiskInfo& out) {
    uint64_t total = 0;
    uint64_t free = 0;
    auto result = device().readFileSystemDiskInfo(total, free);
    if (result) {
        out = DravikFSDiskInfo{total, free};
    }
    return result;
}

OperationResult DravikAccess::readStimPrograms(std::vector<StimulProgram>& out) {
    std::vector<PhotoStim::StimProgram> programs;
    auto result = device().readStimPrograms(programs);
    out.resize(programs.size());
    std::transform(programs.begin(), programs.end(), out.begin(), hostProgram);
    return result;
}

Subscription DravikAccess::addSignalDravik(const HostTarget<SignalChannelsCallback>& host) {
    return Subscription::made(subscribeDelivery(device().signalEvent(), SignalChannelsDelivery{host}));
}

Subscription DravikAccess::addResistDravik(const HostTarget<DravikResistCallback>& host) {
    return Subscription::made(subscribeDelivery(device().resistEvent(), DravikResistDelivery{host}));
}

Subscription DravikAccess::addSignalResistDravik(const HostTarget<DravikSignalResistCallback>& host) {
    return Subscription::made(subscribeDelivery(device().signalResistEvent(), DravikSignalResistDelivery{host}));
}

Subscription DravikAccess::addSignalRawDravik(const HostTarget<RawSignalCallback>& host) {
    return Subscription::made(subscribeDelivery(device().rawSignalEvent(), RawSignalDelivery{host}));
}

Subscription DravikAccess::addFileStreamDravik(const HostTarget<FileStreamCallback>& host) {
    return Subscription::made(subscribeDelivery(device().fileStreamEvent(), FileStreamDelivery{host}));
}

}  // namespace VexaDevice::Api
