#pragma once
// Writes, ping and counts of a Morvex2-class device: families 18, 19 and 20, and family 4 when
// the device offers the Morvex2 service.

#include <cstdint>

#include "sdk/api/FamilyTable.hpp"
#include "sdk/api/SharedViews.hpp"
#include "sdk/devices/morvex/IMorvex2.hpp"

namespace VexaDevice::Api {

// Its views: the eight-channel amplifier write for every family, the four-channel one for
// family 4 only.
class Morvex2Control final : public TableControl<Morvex2::IMorvex2>,
                             public Morvex2AmplifierWriteView,
                             public WrenletAmplifierWriteView {
public:
    Morvex2Control(Morvex2::IMorvex2& device, uint8_t family);

    // All eight channels, modes as they are.
    OperationResult writeAmplifierMorvex2(const Morvex2AmplifierParam& param) override;
    // Four channels, any non-zero mode byte switching the channel on.
    OperationResult writeAmplifierWrenlet(const WrenletAmplifierParam& param) override;
};

}  // namespace VexaDevice::Api
