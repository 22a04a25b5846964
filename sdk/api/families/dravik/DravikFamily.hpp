#pragma once
// The descriptor of the Dravik amplifiers: family 14, model code 'd'.

#include "sdk/api/families/FamilyDescriptor.hpp"

namespace VexaDevice::Api {

const FamilyDescriptor& dravikFamily();

}  // namespace VexaDevice::Api
