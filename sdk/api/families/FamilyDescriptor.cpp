#include "sdk/api/families/FamilyDescriptor.hpp"

#include <algorithm>

namespace VexaDevice::Api {

const FamilyCode* FamilyDescriptor::code(uint8_t family) const {
    const auto found =
        std::find_if(codes.begin(), codes.end(), [family](const FamilyCode& owned) { return owned.code == family; });
    return found == codes.end() ? nullptr : &*found;
}

const FamilyDescriptor* descriptorOf(uint8_t family) {
    const auto& all = familyDescriptors();
    const auto found = std::find_if(all.begin(), all.end(), [family](const FamilyDescriptor* descriptor) {
        return descriptor->code(family) != nullptr;
    });
    return found == all.end() ? nullptr : *found;
}

}  // namespace VexaDevice::Api
