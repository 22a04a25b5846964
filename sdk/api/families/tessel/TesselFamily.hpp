#pragma once
// The descriptor of the Tessel-class sensors: family 1, and family 2 for the Quindle variant.

#include "sdk/api/families/FamilyDescriptor.hpp"

namespace VexaDevice::Api {

const FamilyDescriptor& tesselFamily();

}  // namespace VexaDevice::Api
