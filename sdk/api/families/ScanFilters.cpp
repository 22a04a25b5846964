#include "sdk/api/families/ScanFilters.hpp"

#include <fmt/format.h>

namespace VexaDevice::Api {

namespace {

constexpr uint8_t kHighestModelVariant = 16;

}  // namespace

Utility::UUID templateService(uint8_t index, const char* suffix) {
    return Utility::parseUuid(fmt::format("7E40000{}-B534-F393-68A9-E50E24DCCA{}", index, suffix));
}

BLE::ScanFilter serviceFilter(const Utility::UUID& service) {
    BLE::ScanFilter filter;
    filter.serviceUuid = service;
    return filter;
}

BLE::ScanFilter modelFilter(char modelType) {
    BLE::ScanFilter filter;
    filter.modelType = static_cast<uint8_t>(modelType);
    return filter;
}

BLE::ScanFilter modelFilter(char modelType, uint8_t modelVariant) {
    BLE::ScanFilter filter = modelFilter(modelType);
    filter.modelVariant = modelVariant;
    return filter;
}

std::vector<BLE::ScanFilter> allVariants(char modelType) {
    std::vector<BLE::ScanFilter> filters;
    for (uint8_t variant = kHighestModelVariant; variant >= 1; --variant) {
        filters.push_back(modelFilter(modelType, variant));
    }
    return filters;
}

}  // namespace VexaDevice::Api
