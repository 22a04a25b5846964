#include "sdk/api/families/ScanFilters.hpp"
#include "sdk/api/families/morvex/MorvexBlackAccess.hpp"
#include "sdk/api/families/morvex/MorvexBlackControl.hpp"
#include "sdk/api/families/morvex/MorvexFamilies.hpp"
#include "sdk/devices/morvex/MorvexBlackBLE.hpp"

namespace VexaDevice::Api {

namespace {

std::vector<BLE::ScanFilter> morvexBlackFilters(const std::vector<Utility::UUID>& services) {
    std::vector<BLE::ScanFilter> filters{serviceFilter(services[0]), serviceFilter(services[1]), modelFilter('G')};
    const auto variants = allVariants('G');
    filters.insert(filters.end(), variants.begin(), variants.end());
    return filters;
}

}  // namespace

const FamilyDescriptor& morvexBlackFamily() {
    static const std::vector<Utility::UUID> services{templateService(0, "90"), templateService(1, "90")};
    static const FamilyDescriptor family{
        .codes = {{SensorFamilyMorvexBlack, morvexBlackFilters(services)}},
        .modelCodes = {{'G', std::nullopt, SensorFamilyMorvexBlack}},
        .advertisedServices = services,
        .pairsByDefault = true,
        .possibleFeatures =
            [](uint8_t model) {
                return model != 0 ? std::set<int8_t>{0, 4, 11} : std::set<int8_t>{0, 4};
            },
        .creation = {{{SensorFamilyMorvexBlack}, {services[1]}}},
        .make =
            [](const std::shared_ptr<BLE::IBLEDevice>& device, uint8_t family, uint8_t model,
               const SensorTiming& timing) {
                auto black = MorvexBlack::makeMorvexBlackBLE(device, model, timing.protocol);
                return BuiltSensor{std::make_shared<MorvexBlackAccess>(black, model),
                                   std::make_unique<MorvexBlackControl>(*black, model), family};
            },
    };
    return family;
}

}  // namespace VexaDevice::Api
