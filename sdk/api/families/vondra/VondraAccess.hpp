#pragma once
// The exported functions' view of the Vondra sensors: family 5 (seven channels) and family 6
// (four channels, with motion and photoplethysmogram on its early models).

#include <memory>

#include "sdk/api/FamilyTable.hpp"
#include "sdk/devices/vondra/IVondra.hpp"
#include "sdk/devices/vondra/IVondra2.hpp"

namespace VexaDevice::Api {

class VondraAccess final : public TableAccess<Vondra::IVondra> {
public:
    explicit VondraAccess(std::shared_ptr<Vondra::IVondra> device);

    OperationResult readAmplifierVondra(VondraAmplifierParam& out);
    Subscription addSignalVondra(const HostTarget<VondraSignalCallback>& host);
    Subscription addResistVondra(const HostTarget<VondraResistCallback>& host);
};

class Vondra2Access final : public TableAccess<Vondra2::IVondra2> {
public:
    explicit Vondra2Access(std::shared_ptr<Vondra2::IVondra2> device);

    OperationResult readAmplifierVondra2(Vondra2AmplifierParam& out);
    // O1 to T4 are the four channels in order.
    Subscription addSignalVondra2(const HostTarget<MorvexSignalCallback>& host);
    Subscription addResistVondra2(const HostTarget<FourChannelResistArrayCallback>& host);
};

}  // namespace VexaDevice::Api
