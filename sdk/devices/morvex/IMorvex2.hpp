#pragma once
// Interface of the Morvex2-class devices: the command-and-stream slots, the amplifier reads,
// the motion and photoplethysmogram codes, then the channel list.

#include <vector>

#include "sdk/core/EEGChannel.hpp"
#include "sdk/devices/common/AmplifierSlots.hpp"
#include "sdk/devices/kestrane/IStreamSensor.hpp"
#include "sdk/devices/kestrane/StreamCodeSlots.hpp"
#include "sdk/devices/morvex/Morvex2Records.hpp"

namespace VexaDevice::Morvex2 {

class IMorvex2
    : public Kestrane::StreamCodeSlots<Devices::AmplifierSlots<Kestrane::IStreamSensor, Morvex2AmplifierParam>> {
public:
    virtual OperationResult readSensorChannels(std::vector<Sensor::EEGChannelInfo>& out) = 0;
};

}  // namespace VexaDevice::Morvex2
