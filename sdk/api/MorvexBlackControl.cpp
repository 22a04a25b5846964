#include "sdk/api/MorvexBlackControl.hpp"

#include <cstddef>

namespace VexaDevice::Api {

namespace {

constexpr size_t kChannels = 4;

// The device's four-channel record from the first four entries of the host's arrays; `on`
// decides from a host mode byte whether the channel's signal is on.
template <size_t Channels, typename On>
Kestrane::WrenletAmplifierParam fourChannelForm(const uint8_t (&modes)[Channels], const uint8_t (&flags)[Channels],
                                                const uint8_t (&gains)[Channels], uint8_t current, On on) {
    static_assert(Channels >= kChannels);
    Kestrane::WrenletAmplifierParam param;
    for (size_t channel = 0; channel < kChannels; ++channel) {
        param.signalEnabled[channel] = on(modes[channel]) ? 1 : 0;
        param.resistEnabled[channel] = flags[channel] != 0 ? 1 : 0;
        param.gain[channel] = gains[channel];
    }
    param.current = current;
    return param;
}

}  // namespace

OperationResult MorvexBlackControl::writeByte(WriteParameter parameter, uint8_t value) {
    switch (parameter) {
    case WriteParameter::Gain: return device_.writeGain(value);
    case WriteParameter::AccelerometerSens: return device_.writeAccelerometerSens(value);
    case WriteParameter::GyroscopeSens: return device_.writeGyroscopeSens(value);
    case WriteParameter::IrAmplitude: return device_.writeIrAmplitude(value);
    case WriteParameter::RedAmplitude: return device_.writeRedAmplitude(value);
    default: return unsupportedWrite();
    }
}

OperationResult MorvexBlackControl::writeAmplifierMorvex2(const Morvex2AmplifierParam& param) {
    if (model_ == 0) {
        return unsupportedWrite();
    }
    return device_.writeAmplifierParam(
        fourChannelForm(param.ChMode, param.ChFlag, param.ChGain, param.Current, [](uint8_t mode) { return mode == 1; }));
}

OperationResult MorvexBlackControl::writeAmplifierWrenlet(const WrenletAmplifierParam& param) {
    return device_.writeAmplifierParam(
        fourChannelForm(param.ChMode, param.ChFlag, param.ChGain, param.Current, [](uint8_t mode) { return mode != 0; }));
}

OperationResult MorvexBlackControl::ping(int32_t marker) { return device_.ping(marker); }

int32_t MorvexBlackControl::channelsCount() { return static_cast<int32_t>(kChannels); }

}  // namespace VexaDevice::Api
