#include "sdk/api/families/lorrel/LorrelFamily.hpp"

#include "sdk/api/families/ScanFilters.hpp"
#include "sdk/api/families/lorrel/LorrelAccess.hpp"
#include "sdk/api/families/lorrel/LorrelControl.hpp"
#include "sdk/devices/lorrel/LorrelBLE.hpp"

namespace VexaDevice::Api {

const FamilyDescriptor& lorrelFamily() {
    static const FamilyDescriptor family{
        .codes = {{SensorFamilyLorrel, {modelFilter('P')}}},
        .modelCodes = {{'P', std::nullopt, SensorFamilyLorrel}},
        .pairsByDefault = true,
        // Models from 3 on (the Wrenlet protocols) add feature 11, even models but 0 features 1 and 5.
        .possibleFeatures =
            [](uint8_t model) {
                std::set<int8_t> features{0, 4};
                if (model > 2) {
                    features.insert(11);
                }
                if (model % 2 == 0 && model != 0) {
                    features.insert({1, 5});
                }
                return features;
            },
        .creation = {{{SensorFamilyLorrel}, {templateService(1, "95")}}},
        // Model bytes 0 to 2 drive the Lorrel protocol, 3 and 4 the first Wrenlet protocol, 5 and
        // above the second.
        .make =
            [](const std::shared_ptr<BLE::IBLEDevice>& device, uint8_t family, uint8_t model,
               const SensorTiming& timing) {
                auto lorrel = std::make_shared<Lorrel::LorrelBLE>(device, model, timing.protocol);
                return BuiltSensor{std::make_shared<LorrelAccess>(lorrel), std::make_unique<LorrelControl>(*lorrel),
                                   family};
            },
    };
    return family;
}

}  // namespace VexaDevice::Api
