#pragma once
// The descriptors of the three Morvex device classes.

#include "sdk/api/families/FamilyDescriptor.hpp"

namespace VexaDevice::Api {

// First generation: family 3.
const FamilyDescriptor& morvexFamily();
// MorvexBlack: family 4 with the MorvexBlack service.
const FamilyDescriptor& morvexBlackFamily();
// Morvex2 class: families 18, 19 and 20, and family 4 with the Morvex2 service.
const FamilyDescriptor& morvex2Family();

}  // namespace VexaDevice::Api
