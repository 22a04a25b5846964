#pragma once
// The exported functions' view of a MorvexBlack device (family 4 with the MorvexBlack service).

#include <cstdint>
#include <memory>

#include "sdk/api/FamilyTable.hpp"
#include "sdk/api/SharedViews.hpp"
#include "sdk/devices/morvex/IMorvexBlack.hpp"

namespace VexaDevice::Api {

// Its views: the four-channel amplifier record and the Morvex records, and for models 1 and 2
// the eight-channel amplifier record.
class MorvexBlackAccess final : public TableAccess<MorvexBlack::IMorvex>,
                                public Morvex2AmplifierView,
                                public WrenletAmplifierView,
                                public MorvexRecordsView {
public:
    // `model`: the model byte of the record the sensor was made from (0 to 2).
    MorvexBlackAccess(std::shared_ptr<MorvexBlack::IMorvex> device, uint8_t model);

    // The four channels into entries 0 to 3; the other entries stay as they are.
    OperationResult readAmplifierMorvex2(Morvex2AmplifierParam& out) override;
    OperationResult readAmplifierWrenlet(WrenletAmplifierParam& out) override;

    // The fixed channel order of the device: O1, T3, T4, O2.
    Subscription addSignalDataMorvex(const HostTarget<MorvexSignalCallback>& host) override;
    Subscription addResistMorvex(const HostTarget<MorvexResistCallback>& host) override;
};

}  // namespace VexaDevice::Api
