#include "sdk/api/ScanSetup.hpp"

#include <algorithm>
#include <string>
#include <vector>

#include "sdk/api/FamilyServices.hpp"
#include "sdk/api/include/ambrelkit2.h"
#include "sdk/core/Uuid.hpp"

namespace VexaDevice::Api {
namespace {

using BLE::ScanFilter;
using Utility::formatString;
using Utility::parseUuid;

constexpr int64_t kOutOfRangeTimeoutSec = 12;
constexpr uint8_t kHighestModelVariant = 16;

ScanFilter serviceFilter(const std::string& uuidText) {
    ScanFilter filter;
    filter.serviceUuid = parseUuid(uuidText);
    return filter;
}

ScanFilter modelFilter(char modelType) {
    ScanFilter filter;
    filter.modelType = static_cast<uint8_t>(modelType);
    return filter;
}

ScanFilter modelFilter(char modelType, uint8_t modelVariant) {
    ScanFilter filter = modelFilter(modelType);
    filter.modelVariant = modelVariant;
    return filter;
}

void addServices(std::vector<ScanFilter>& filters, std::initializer_list<std::string> uuidTexts) {
    for (const std::string& text : uuidTexts) {
        filters.push_back(serviceFilter(text));
    }
}

// One filter per model variant, from the highest down to 1.
void addAllVariants(std::vector<ScanFilter>& filters, char modelType) {
    for (uint8_t variant = kHighestModelVariant; variant >= 1; --variant) {
        filters.push_back(modelFilter(modelType, variant));
    }
}

// Appends the family's filters; false for a value the scanner cannot look for.
bool addFamilyFilters(uint8_t family, std::vector<ScanFilter>& filters) {
    switch (family) {
    case SensorFamilyTessel:
    case SensorFamilyTesselQuindle:
        addServices(filters, {kTesselServiceTexts[0], kTesselServiceTexts[1], kTesselServiceTexts[2],
                              kTesselServiceTexts[3]});
        return true;
    case SensorFamilyMorvex:
        addServices(filters, {kMorvexService0Text, kMorvexService1Text});
        return true;
    case SensorFamilyMorvexBlack:
        addServices(filters, {formatString(kMorvexBlackService0Template, kMorvexBlackSuffix),
                              formatString(kMorvexBlackService1Template, kMorvexBlackSuffix)});
        filters.push_back(modelFilter('G'));
        addAllVariants(filters, 'G');
        return true;
    case SensorFamilyVondra:
        filters.push_back(modelFilter('I', 0));
        return true;
    case SensorFamilyVondra2:
        addAllVariants(filters, 'I');
        return true;
    case SensorFamilyLorrel:
        filters.push_back(modelFilter('P'));
        return true;
    case SensorFamilyDravik:
        addAllVariants(filters, 'd');
        return true;
    case SensorFamilyMorvex2Model2:
        filters.push_back(modelFilter('0', 2));
        return true;
    case SensorFamilyMorvex2:
        filters.push_back(modelFilter('0', 3));
        return true;
    case SensorFamilyMorvex2F:
        addAllVariants(filters, 'f');
        return true;
    case SensorFamilyPhotoStim:
        addAllVariants(filters, 'g');
        return true;
    default:
        return false;
    }
}

bool isTesselFamily(uint8_t family) {
    return family == SensorFamilyTessel ||
           family == SensorFamilyTesselQuindle;
}

// Families found by their manufacturer record only, whose advertisements need not list services.
bool isFoundByModelCode(uint8_t family) {
    return !isTesselFamily(family) && family != SensorFamilyMorvex;
}

}  // namespace

ScanSetup buildScanSetup(const uint8_t* families, int32_t count) {
    ScanSetup setup;
    BLE::ScanParams& params = setup.params;
    params.passive = 0;
    params.requireServiceUuids = 1;
    params.requireName = 1;
    params.requirePaired = 1;
    params.outOfRangeTimeoutSec = kOutOfRangeTimeoutSec;

    for (int32_t index = count - 1; index >= 0; --index) {
        const uint8_t family = families[index];
        if (setup.acceptedFamilies.contains(family) || !addFamilyFilters(family, params.filters)) {
            continue;
        }
        setup.acceptedFamilies.insert(family);
        if (isFoundByModelCode(family)) {
            params.requireServiceUuids = 0;
        }
    }
    const bool tesselRequested = std::any_of(setup.acceptedFamilies.begin(), setup.acceptedFamilies.end(), isTesselFamily);
    params.requireManufacturerData = tesselRequested ? 0 : 1;
    return setup;
}

}  // namespace VexaDevice::Api
