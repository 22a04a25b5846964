#pragma once
// The descriptor of the PhotoStim devices: family 21, model code 'g'.

#include "sdk/api/families/FamilyDescriptor.hpp"

namespace VexaDevice::Api {

const FamilyDescriptor& photoStimFamily();

}  // namespace VexaDevice::Api
