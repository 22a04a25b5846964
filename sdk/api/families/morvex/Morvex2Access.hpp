#pragma once
// The exported functions' view of a Morvex2-class device: families 18, 19 and 20, and family 4
// when the device offers the Morvex2 service.

#include <cstdint>
#include <memory>
#include <optional>

#include "sdk/api/FamilyTable.hpp"
#include "sdk/api/SharedViews.hpp"
#include "sdk/devices/morvex/IMorvex2.hpp"

namespace VexaDevice::Api {

// Its views: itself and the eight-channel amplifier record, for every family; the four-channel
// record for family 4; the Morvex records for families 4 and 18.
class Morvex2Access final : public TableAccess<Morvex2::IMorvex2>,
                            public Morvex2AmplifierView,
                            public WrenletAmplifierView,
                            public MorvexRecordsView {
public:
    Morvex2Access(std::shared_ptr<Morvex2::IMorvex2> device, uint8_t family);

    OperationResult readAmplifierMorvex2(Morvex2AmplifierParam& out) override;
    // The first four channels as 0/1 modes, flags and gains.
    OperationResult readAmplifierWrenlet(WrenletAmplifierParam& out) override;

    // The O1, O2, T3 and T4 values found through the device's channel list.
    Subscription addSignalDataMorvex(const HostTarget<MorvexSignalCallback>& host) override;
    Subscription addResistMorvex(const HostTarget<MorvexResistCallback>& host) override;
    Subscription addSignalMorvex2(const HostTarget<SignalChannelsCallback>& host);
    Subscription addResistMorvex2(const HostTarget<ResistChannelsCallback>& host);

private:
    // The electrode positions from the device's channel list, or the read's failure.
    OperationResult electrodePicker(std::optional<ElectrodePicker>& picker);
};

}  // namespace VexaDevice::Api
