#pragma once
// Writes, ping and counts of a Morvex2-class device: families 18, 19 and 20, and family 4 when
// the device offers the Morvex2 service. Only family 4 takes the four-channel amplifier record.

#include <cstdint>

#include "sdk/api/FamilyTable.hpp"
#include "sdk/devices/morvex/IMorvex2.hpp"

namespace VexaDevice::Api {

class Morvex2Control final : public TableControl<Morvex2::IMorvex2> {
public:
    Morvex2Control(Morvex2::IMorvex2& device, uint8_t family);

    // All eight channels, modes as they are.
    OperationResult writeAmplifierMorvex2(const Morvex2AmplifierParam& param) override;
    // Family 4 only: four channels, any non-zero mode byte switching the channel on.
    OperationResult writeAmplifierWrenlet(const WrenletAmplifierParam& param) override;

private:
    const uint8_t family_;
};

}  // namespace VexaDevice::Api
