#include "sdk/api/Morvex2Control.hpp"

#include <cstddef>
#include <vector>

namespace VexaDevice::Api {

namespace {

// The device's amplifier form from the host's per-channel arrays; `mode` turns a host mode
// byte into the device's.
template <size_t Channels, typename Mode>
Morvex2::Morvex2AmplifierParam amplifierForm(const uint8_t (&modes)[Channels], const uint8_t (&flags)[Channels],
                                             const uint8_t (&gains)[Channels], uint8_t current, Mode mode) {
    Morvex2::Morvex2AmplifierParam param;
    for (size_t channel = 0; channel < Channels; ++channel) {
        param.modes.push_back(mode(modes[channel]));
        param.resistFlags.push_back(flags[channel] != 0);
        param.gains.push_back(gains[channel]);
    }
    param.current = current;
    return param;
}

}  // namespace

OperationResult Morvex2Control::writeByte(WriteParameter parameter, uint8_t value) {
    switch (parameter) {
    case WriteParameter::AccelerometerSens: return device_.writeAccelerometerSens(value);
    case WriteParameter::GyroscopeSens: return device_.writeGyroscopeSens(value);
    case WriteParameter::IrAmplitude: return device_.writeIrAmplitude(value);
    case WriteParameter::RedAmplitude: return device_.writeRedAmplitude(value);
    default: return unsupportedWrite();
    }
}

OperationResult Morvex2Control::writeAmplifierMorvex2(const Morvex2AmplifierParam& param) {
    return device_.writeAmplifierParam(
        amplifierForm(param.ChMode, param.ChFlag, param.ChGain, param.Current, [](uint8_t mode) { return mode; }));
}

OperationResult Morvex2Control::writeAmplifierWrenlet(const WrenletAmplifierParam& param) {
    if (family_ != SensorFamilyMorvexBlack) {
        return unsupportedWrite();
    }
    return device_.writeAmplifierParam(amplifierForm(param.ChMode, param.ChFlag, param.ChGain, param.Current,
                                                     [](uint8_t mode) { return static_cast<uint8_t>(mode != 0); }));
}

OperationResult Morvex2Control::ping(int32_t marker) { return device_.ping(marker); }

int32_t Morvex2Control::channelsCount() {
    // A failed read counts what came back, normally nothing.
    std::vector<Sensor::EEGChannelInfo> channels;
    device_.readSensorChannels(channels);
    return static_cast<int32_t>(channels.size());
}

}  // namespace VexaDevice::Api
