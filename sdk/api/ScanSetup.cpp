#include "sdk/api/ScanSetup.hpp"

#include "sdk/api/families/FamilyDescriptor.hpp"

namespace VexaDevice::Api {
namespace {

constexpr int64_t kOutOfRangeTimeoutSec = 12;

}  // namespace

ScanSetup buildScanSetup(const uint8_t* families, int32_t count) {
    ScanSetup setup;
    BLE::ScanParams& params = setup.params;
    params.passive = 0;
    params.requireServiceUuids = 1;
    params.requireName = 1;
    params.requirePaired = 1;
    params.outOfRangeTimeoutSec = kOutOfRangeTimeoutSec;

    bool manufacturerDataOptional = false;
    for (int32_t index = count - 1; index >= 0; --index) {
        const uint8_t code = families[index];
        const FamilyDescriptor* family = descriptorOf(code);
        if (family == nullptr || setup.acceptedFamilies.contains(code)) {
            continue;
        }
        const auto& filters = family->code(code)->scanFilters;
        params.filters.insert(params.filters.end(), filters.begin(), filters.end());
        setup.acceptedFamilies.insert(code);
        if (family->foundByModelCode) {
            params.requireServiceUuids = 0;
        }
        manufacturerDataOptional = manufacturerDataOptional || family->advertisesWithoutManufacturerData;
    }
    params.requireManufacturerData = manufacturerDataOptional ? 0 : 1;
    return setup;
}

}  // namespace VexaDevice::Api
