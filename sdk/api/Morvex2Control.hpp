#pragma once
// Writes, ping and counts of a Morvex2-class device: families 18, 19 and 20, and family 4 when
// the device offers the Morvex2 service. Only family 4 takes the four-channel amplifier record.

#include <cstdint>

#include "sdk/api/FamilyControl.hpp"
#include "sdk/devices/morvex/IMorvex2.hpp"

namespace VexaDevice::Api {

class Morvex2Control final : public FamilyControl {
public:
    Morvex2Control(Morvex2::IMorvex2& device, uint8_t family) : device_(device), family_(family) {}

    OperationResult writeByte(WriteParameter parameter, uint8_t value) override;
    // All eight channels, modes as they are.
    OperationResult writeAmplifierMorvex2(const Morvex2AmplifierParam& param) override;
    // Family 4 only: four channels, any non-zero mode byte switching the channel on.
    OperationResult writeAmplifierWrenlet(const WrenletAmplifierParam& param) override;
    OperationResult ping(int32_t marker) override;
    // The length of the device's channel list (0 when it cannot be read).
    int32_t channelsCount() override;

private:
    Morvex2::IMorvex2& device_;
    const uint8_t family_;
};

}  // namespace VexaDevice::Api
