#include "sdk/api/DravikSignalProcessing.hpp"

#include <algorithm>

namespace VexaDevice::Api {

Dravik::DravikAmplifierParam deviceAmplifier(const DravikAmplifier& amplifier) {
    Dravik::DravikAmplifierParam param;
    param.referentsResist = amplifier.referentFlag ? 1 : 0;
    param.samplingFrequency = amplifier.setting1;
    param.referentMode = amplifier.setting2;
    std::copy_n(amplifier.channelModes.begin(), std::min(amplifier.channelModes.size(), Dravik::kChannels),
                param.channelMode.begin());
    std::copy_n(amplifier.channelGains.begin(), std::min(amplifier.channelGains.size(), Dravik::kChannels),
                param.channelGain.begin());
    param.configFlag = amplifier.extraFlag ? 1 : 0;
    return param;
}

std::shared_ptr<SignalProcessParam> makeSignalProcessParam(const DravikAmplifier& amplifier, double offset) {
    return std::make_shared<SignalProcessParam>(deviceAmplifier(amplifier), offset);
}

size_t parseRawSignal(std::shared_ptr<SignalProcessParam> param, const std::vector<uint8_t>& raw,
                      std::vector<Kestrane::_SignalData>& signal, std::vector<DravikParsedResist>& resist) {
    std::vector<Dravik::_DravikResistData> resistances;
    const size_t used = Dravik::parseRawSignal(*param, raw, signal, resistances);
    for (auto& record : resistances) {
        resist.push_back(
            {record.PackNum, std::move(record.Values), record.Referents[0], record.Referents[1], record.Referents[2]});
    }
    return used;
}

}  // namespace VexaDevice::Api
