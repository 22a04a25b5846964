#include "sdk/api/PossibleFeatures.hpp"

#include "sdk/api/families/FamilyDescriptor.hpp"

namespace VexaDevice::Api {

std::vector<int8_t> possibleFeatures(uint8_t family, uint8_t model) {
    const FamilyDescriptor* descriptor = descriptorOf(family);
    if (descriptor == nullptr || !descriptor->possibleFeatures) {
        return {};
    }
    const auto features = descriptor->possibleFeatures(model);
    return {features.begin(), features.end()};
}

}  // namespace VexaDevice::Api
