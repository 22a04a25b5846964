#pragma once
// Amplifier records for the Dravik tests.

#include "sdk/devices/dravik/DravikSignalProcess.hpp"

namespace DravikTest {

// One referent, every channel in `mode` at gain index `gain`.
inline VexaDevice::Dravik::DravikAmplifierParam allChannels(uint8_t mode, uint8_t gain, uint8_t rate) {
    VexaDevice::Dravik::DravikAmplifierParam param;
    param.samplingFrequency = rate;
    param.referentMode = 1;
    param.channelMode.fill(mode);
    param.channelGain.fill(gain);
    return param;
}

}  // namespace DravikTest
