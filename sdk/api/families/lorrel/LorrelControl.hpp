#pragma once
// Writes, ping and channel count of a Lorrel headband (family 11): the gain, the motion and
// photoplethysmogram settings and the four-channel amplifier.

#include "sdk/api/FamilyTable.hpp"
#include "sdk/api/SharedViews.hpp"
#include "sdk/devices/lorrel/ILorrel.hpp"

namespace VexaDevice::Api {

// Its view: the four-channel amplifier write.
class LorrelControl final : public TableControl<Lorrel::ILorrel>, public WrenletAmplifierWriteView {
public:
    explicit LorrelControl(Lorrel::ILorrel& device);

    // A channel is on for any non-zero mode byte.
    OperationResult writeAmplifierWrenlet(const WrenletAmplifierParam& param) override;
};

}  // namespace VexaDevice::Api
