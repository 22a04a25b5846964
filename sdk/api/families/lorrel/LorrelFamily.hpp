#pragma once
// The descriptor of the Lorrel headbands: family 11, model code 'P'.

#include "sdk/api/families/FamilyDescriptor.hpp"

namespace VexaDevice::Api {

const FamilyDescriptor& lorrelFamily();

}  // namespace VexaDevice::Api
