#pragma once
// Writes, ping and counts of a MorvexBlack device (family 4 with the MorvexBlack service): four
// channels, the gain, motion and photoplethysmogram settings.

#include <cstdint>

#include "sdk/api/FamilyTable.hpp"
#include "sdk/devices/morvex/IMorvexBlack.hpp"

namespace VexaDevice::Api {

class MorvexBlackControl final : public TableControl<MorvexBlack::IMorvex> {
public:
    MorvexBlackControl(MorvexBlack::IMorvex& device, uint8_t model);

    // Channels 0-3 only, a channel being on when its mode byte is 1; refused for model byte 0.
    OperationResult writeAmplifierMorvex2(const Morvex2AmplifierParam& param) override;
    // A channel is on for any non-zero mode byte.
    OperationResult writeAmplifierWrenlet(const WrenletAmplifierParam& param) override;

private:
    const uint8_t model_;
};

}  // namespace VexaDevice::Api
