#include "sdk/api/families/dravik/DravikControl.hpp"

#include <algorithm>

namespace VexaDevice::Api {

DravikAmplifier dravikAmplifier(const DravikAmplifierParam& param, size_t channels) {
    const size_t used = std::min(channels, kDravikRecordChannels);
    DravikAmplifier amplifier;
    amplifier.referentFlag = param.ReferentFlag != 0;
    amplifier.setting1 = param.Setting1;
    amplifier.setting2 = param.Setting2;
    amplifier.channelModes.assign(param.ChannelMode, param.ChannelMode + used);
    amplifier.channelGains.assign(param.ChannelGain, param.ChannelGain + used);
    amplifier.extraFlag = param.ExtraFlag != 0;
    return amplifier;
}

OperationResult DravikControl::writeAmplifierDravik(const DravikAmplifierParam& param) {
    std::vector<Sensor::EEGChannelInfo> channels;
    auto result = device_.readSupportedEEGChannels(channels);
    if (!result) {
        return result;
    }
    return device_.writeAmplifierParam(dravikAmplifier(param, channels.size()));
}

OperationResult DravikControl::writeSurveyId(int32_t id) { return device_.writeSurveyId(id); }

OperationResult DravikControl::ping(int32_t marker) { return device_.ping(marker); }

int32_t DravikControl::channelsCount() {
    std::vector<Sensor::EEGChannelInfo> channels;
    device_.readSupportedEEGChannels(channels);
    return static_cast<int32_t>(channels.size());
}

}  // namespace VexaDevice::Api
