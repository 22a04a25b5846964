#include "sdk/api/families/ScanFilters.hpp"
#include "sdk/api/families/morvex/Morvex2Access.hpp"
#include "sdk/api/families/morvex/Morvex2Control.hpp"
#include "sdk/api/families/morvex/MorvexFamilies.hpp"
#include "sdk/devices/morvex/Morvex2BLE.hpp"

namespace VexaDevice::Api {

const FamilyDescriptor& morvex2Family() {
    static const FamilyDescriptor family{
        .codes =
            {
                {SensorFamilyMorvex2Model2, {modelFilter('0', 2)}},
                {SensorFamilyMorvex2, {modelFilter('0', 3)}},
                {SensorFamilyMorvex2F, allVariants('f')},
            },
        .modelCodes =
            {
                {'0', 2, SensorFamilyMorvex2Model2},
                {'0', std::nullopt, SensorFamilyMorvex2},
                {'f', std::nullopt, SensorFamilyMorvex2F},
            },
        .possibleFeatures =
            [](uint8_t) {
                return std::set<int8_t>{0, 4};
            },
        .creation =
            {
                {{SensorFamilyMorvex2Model2, SensorFamilyMorvex2}, {templateService(1, "97")}},
                {{SensorFamilyMorvex2F}, {templateService(1, "98")}},
                {{SensorFamilyMorvexBlack}, {templateService(1, "99")}},
            },
        .make =
            [](const std::shared_ptr<BLE::IBLEDevice>& device, uint8_t family, uint8_t, const SensorTiming& timing) {
                auto morvex2 = Morvex2::makeMorvex2BLE(device, timing.protocol);
                return BuiltSensor{std::make_shared<Morvex2Access>(morvex2, family),
                                   std::make_unique<Morvex2Control>(*morvex2, family), family};
            },
    };
    return family;
}

}  // namespace VexaDevice::Api
