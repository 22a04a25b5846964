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

OperationResult writeDravikAmplifier(DravikDevice& device, const DravikAmplifierParam& param) {
    std::vector<Sensor::EEGChannelInfo> channels;
    auto result = device.readSupportedEEGChannels(channels);
    if (!result) {
        return result;
    }
    return device.writeAmplifierParam(dravikAmplifier(param, channels.size()));
}

DravikControl::DravikControl(DravikDevice& device)
    : StimulatorControl(device, {
                                    .ping = [&device](int32_t marker) { return device.ping(marker); },
                                    .channelsCount =
                                        [&device] {
                                            std::vector<Sensor::EEGChannelInfo> channels;
                                            device.readSupportedEEGChannels(channels);
                                            return static_cast<int32_t>(channels.size());
                                        },
                                }) {
    offer<DravikDevice>(device);
}

}  // namespace VexaDevice::Api
