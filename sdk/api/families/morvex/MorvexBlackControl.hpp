#pragma once
// Writes, ping and counts of a MorvexBlack device (family 4 with the MorvexBlack service): four
// channels, the gain, motion and photoplethysmogram settings.

#include <cstdint>

#include "sdk/api/FamilyTable.hpp"
#include "sdk/api/SharedViews.hpp"
#include "sdk/devices/morvex/IMorvexBlack.hpp"

namespace VexaDevice::Api {

// Its views: the four-channel amplifier write, and for models 1 and 2 the eight-channel one.
class MorvexBlackControl final : public TableControl<MorvexBlack::IMorvex>,
                                 public Morvex2AmplifierWriteView,
                                 public WrenletAmplifierWriteView {
public:
    // `model`: the model byte of the record the sensor was made from (0 to 2).
    MorvexBlackControl(MorvexBlack::IMorvex& device, uint8_t model);

    // Channels 0-3 only, a channel being on when its mode byte is 1.
    OperationResult writeAmplifierMorvex2(const Morvex2AmplifierParam& param) override;
    // A channel is on for any non-zero mode byte.
    OperationResult writeAmplifierWrenlet(const WrenletAmplifierParam& param) override;
};

}  // namespace VexaDevice::Api
