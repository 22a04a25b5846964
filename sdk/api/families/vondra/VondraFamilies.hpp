#pragma once
// The descriptors of the two Vondra generations.

#include "sdk/api/families/FamilyDescriptor.hpp"

namespace VexaDevice::Api {

// Family 5: model code 'I' with variant 0.
const FamilyDescriptor& vondraFamily();
// Family 6: model code 'I' with any other variant.
const FamilyDescriptor& vondra2Family();

}  // namespace VexaDevice::Api
