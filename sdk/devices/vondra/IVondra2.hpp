#pragma once
// Interface of the second Vondra generation (four channels): the command-and-stream slots, the
// amplifier reads, then the motion and photoplethysmogram codes ({515, "Unsupported parameter"}
// on a device without those streams).

#include "sdk/devices/common/AmplifierSlots.hpp"
#include "sdk/devices/kestrane/IStreamSensor.hpp"
#include "sdk/devices/kestrane/StreamCodeSlots.hpp"
#include "sdk/devices/vondra/VondraRecords.hpp"

namespace VexaDevice::Vondra2 {

class IVondra2
    : public Kestrane::StreamCodeSlots<Devices::AmplifierSlots<Kestrane::IStreamSensor, Vondra2AmplifierParam>> {};

}  // namespace VexaDevice::Vondra2
