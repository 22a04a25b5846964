#pragma once
// Writes and counts of a first-generation Morvex device (family 3): the gain, four channels.

#include "sdk/api/FamilyTable.hpp"
#include "sdk/devices/morvex/IMorvex.hpp"

namespace VexaDevice::Api {

class MorvexControl final : public TableControl<Morvex::IMorvex> {
public:
    explicit MorvexControl(Morvex::IMorvex& device);
};

}  // namespace VexaDevice::Api
