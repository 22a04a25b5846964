#include "sdk/api/PossibleFeatures.hpp"

#include <set>

namespace VexaDevice::Api {

namespace {

// Feature numbers have no names; the table lists them as the families do.
std::set<int8_t> featureSet(uint8_t family, uint8_t model) {
    const bool evenModel = model % 2 == 0;
    switch (family) {
    case 3:
    case 18:
    case 19:
    case 20: return {0, 4};
    case 4:
        if (model != 0) {
            return {0, 4, 11};
        }
        return {0, 4};
    case 5: return {0, 4, 11};
    case 6:
        if (model >= 3 && evenModel) {
            return {0, 1, 4, 5, 11};
        }
        return {0, 4, 11};
    case 11: {
        std::set<int8_t> features{0, 4};
        if (model > 2) {
            features.insert(11);
        }
        if (evenModel && model != 0) {
            features.insert({1, 5});
        }
        return features;
    }
    case 14: return {0, 4, 7, 9, 11};
    case 21: return {7};
    default: return {};
    }
}

}  // namespace

std::vector<int8_t> possibleFeatures(uint8_t family, uint8_t model) {
    const auto features = featureSet(family, model);
    return {features.begin(), features.end()};
}

}  // namespace VexaDevice::Api
