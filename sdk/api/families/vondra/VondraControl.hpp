#pragma once
// Writes, ping and channel count of the Vondra sensors: family 5 (seven channels) and family 6
// (four channels, with the motion and photoplethysmogram codes). Each control is its family's
// view for the amplifier write.

#include "sdk/api/FamilyTable.hpp"
#include "sdk/devices/vondra/IVondra.hpp"
#include "sdk/devices/vondra/IVondra2.hpp"

namespace VexaDevice::Api {

class VondraControl final : public TableControl<Vondra::IVondra> {
public:
    explicit VondraControl(Vondra::IVondra& device);

    // Any non-zero mode or flag byte switches the channel's signal or resistance on.
    OperationResult writeAmplifierVondra(const VondraAmplifierParam& param);
};

class Vondra2Control final : public TableControl<Vondra2::IVondra2> {
public:
    explicit Vondra2Control(Vondra2::IVondra2& device);

    // Any non-zero mode or flag byte switches the channel's signal or resistance on.
    OperationResult writeAmplifierVondra2(const Vondra2AmplifierParam& param);
};

}  // namespace VexaDevice::Api
