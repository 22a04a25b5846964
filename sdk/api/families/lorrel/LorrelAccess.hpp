#pragma once
// The exported functions' view of a Lorrel headband (family 11), whatever protocol its model
// speaks.

#include <memory>

#include "sdk/api/FamilyTable.hpp"
#include "sdk/api/SharedViews.hpp"
#include "sdk/devices/lorrel/ILorrel.hpp"

namespace VexaDevice::Api {

class LorrelAccess final : public TableAccess<Lorrel::ILorrel>, public WrenletAmplifierView {
public:
    explicit LorrelAccess(std::shared_ptr<Lorrel::ILorrel> device);

    // The four channels into entries 0 to 3; the other entries stay as they are.
    OperationResult readAmplifierWrenlet(WrenletAmplifierParam& out) override;

    // The device order O1, T3, T4, O2.
    Subscription addSignalLorrel(const HostTarget<MorvexSignalCallback>& host);
    Subscription addResistLorrel(const HostTarget<FourChannelResistCallback>& host);
};

}  // namespace VexaDevice::Api
