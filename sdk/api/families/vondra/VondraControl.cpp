#include "sdk/api/families/vondra/VondraControl.hpp"

#include <cstddef>
#include <type_traits>

#include "sdk/api/StreamSensorTables.hpp"
#include "sdk/devices/vondra/VondraWire.hpp"

namespace VexaDevice::Api {

namespace {

using Vondra::IVondra;
using Vondra2::IVondra2;

const ControlTable<IVondra>& vondraWrites() {
    static const ControlTable<IVondra> table{
        .ping = writeOf<int32_t>(&IVondra::ping),
        .channelsCount =
            [](IVondra&) { return static_cast<int32_t>(Vondra::channelCount(Vondra::VondraGeneration::First)); },
    };
    return table;
}

const ControlTable<IVondra2>& vondra2Writes() {
    static const ControlTable<IVondra2> table = [] {
        auto rows = streamSensorWrites<IVondra2>();
        rows.channelsCount = [](IVondra2&) {
            return static_cast<int32_t>(Vondra::channelCount(Vondra::VondraGeneration::Second));
        };
        return rows;
    }();
    return table;
}

// The device's record from the host's: as many channels as the host's record has.
template <class HostParam>
Vondra::VondraAmplifierParam deviceAmplifier(const HostParam& param) {
    Vondra::VondraAmplifierParam out;
    for (size_t channel = 0; channel < std::extent_v<decltype(HostParam::ChMode)>; ++channel) {
        out.signalUse[channel] = param.ChMode[channel] != 0 ? 1 : 0;
        out.resistUse[channel] = param.ChFlag[channel] != 0 ? 1 : 0;
        out.gain[channel] = param.ChGain[channel];
    }
    out.current = param.Current;
    return out;
}

}  // namespace

VondraControl::VondraControl(IVondra& device) : TableControl(device, vondraWrites()) { offer<VondraControl>(*this); }

OperationResult VondraControl::writeAmplifierVondra(const VondraAmplifierParam& param) {
    return device().writeAmplifierParam(deviceAmplifier(param));
}

Vondra2Control::Vondra2Control(IVondra2& device) : TableControl(device, vondra2Writes()) {
    offer<Vondra2Control>(*this);
}

OperationResult Vondra2Control::writeAmplifierVondra2(const Vondra2AmplifierParam& param) {
    return device().writeAmplifierParam(deviceAmplifier(param));
}

}  // namespace VexaDevice::Api
