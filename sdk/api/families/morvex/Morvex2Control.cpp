#include "sdk/api/families/morvex/Morvex2Control.hpp"

#include <cstddef>
#include <vector>

#include "sdk/api/StreamSensorTables.hpp"

namespace VexaDevice::Api {

namespace {

using Morvex2::IMorvex2;

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

const ControlTable<IMorvex2>& morvex2Writes() {
    static const ControlTable<IMorvex2> table = [] {
        auto rows = streamSensorWrites<IMorvex2>();
        // The length of the device's channel list; a failed read counts what came back, normally
        // nothing.
        rows.channelsCount = [](IMorvex2& device) {
            std::vector<Sensor::EEGChannelInfo> channels;
            device.readSensorChannels(channels);
            return static_cast<int32_t>(channels.size());
        };
        return rows;
    }();
    return table;
}

}  // namespace

Morvex2Control::Morvex2Control(IMorvex2& device, uint8_t family) : TableControl(device, morvex2Writes()) {
    offer<Morvex2AmplifierWriteView>(*this);
    if (family == SensorFamilyMorvexBlack) {
        offer<WrenletAmplifierWriteView>(*this);
    }
}

OperationResult Morvex2Control::writeAmplifierMorvex2(const Morvex2AmplifierParam& param) {
    return device().writeAmplifierParam(
        amplifierForm(param.ChMode, param.ChFlag, param.ChGain, param.Current, [](uint8_t mode) { return mode; }));
}

OperationResult Morvex2Control::writeAmplifierWrenlet(const WrenletAmplifierParam& param) {
    return device().writeAmplifierParam(amplifierForm(param.ChMode, param.ChFlag, param.ChGain, param.Current,
                                                      [](uint8_t mode) { return static_cast<uint8_t>(mode != 0); }));
}

}  // namespace VexaDevice::Api
