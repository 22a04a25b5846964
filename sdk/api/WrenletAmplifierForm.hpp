#pragma once
// The host's amplifier records (WrenletAmplifierParam, Morvex2AmplifierParam) and the device form
// in which the four-channel headbands (MorvexBlack, Lorrel) read and write them: channels 0 to 3,
// read back as 0 or 1 per signal and resistance flag.

#include <cstddef>
#include <cstdint>

#include "sdk/api/include/ambrelkit2.h"
#include "sdk/core/OperationResult.hpp"
#include "sdk/devices/kestrane/WrenletBleProtocol.hpp"

namespace VexaDevice::Api {

inline constexpr size_t kHeadbandChannels = 4;

// Entries 0 to 3 and the current; the other entries of `out` stay as they are.
template <class HostRecord>
void copyToHost(const Kestrane::WrenletAmplifierParam& param, HostRecord& out) {
    static_assert(sizeof(out.ChMode) >= kHeadbandChannels);
    for (size_t channel = 0; channel < kHeadbandChannels; ++channel) {
        out.ChMode[channel] = param.signalEnabled[channel] != 0 ? 1 : 0;
        out.ChFlag[channel] = param.resistEnabled[channel] != 0 ? 1 : 0;
        out.ChGain[channel] = param.gain[channel];
    }
    out.Current = param.current;
}

// The device's record read into the host's as copyToHost does, whatever the read's result.
template <class Device, class HostRecord>
OperationResult readHeadbandAmplifier(Device& device, HostRecord& out) {
    Kestrane::WrenletAmplifierParam param;
    const auto result = device.readAmplifierParam(param);
    copyToHost(param, out);
    return result;
}

// The first four entries of the host's record; `signalOn` decides from a host mode byte whether
// a channel's signal is on, any non-zero flag turns its resistance on.
template <class HostRecord>
Kestrane::WrenletAmplifierParam deviceForm(const HostRecord& param, bool (*signalOn)(uint8_t mode)) {
    static_assert(sizeof(param.ChMode) >= kHeadbandChannels);
    Kestrane::WrenletAmplifierParam form;
    for (size_t channel = 0; channel < kHeadbandChannels; ++channel) {
        form.signalEnabled[channel] = signalOn(param.ChMode[channel]) ? 1 : 0;
        form.resistEnabled[channel] = param.ChFlag[channel] != 0 ? 1 : 0;
        form.gain[channel] = param.ChGain[channel];
    }
    form.current = param.Current;
    return form;
}

// Host mode bytes: any non-zero byte turns the signal on, or only 1.
inline bool anyNonZero(uint8_t mode) { return mode != 0; }
inline bool exactlyOne(uint8_t mode) { return mode == 1; }

}  // namespace VexaDevice::Api
