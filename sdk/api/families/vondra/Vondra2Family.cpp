#include "sdk/api/families/ScanFilters.hpp"
#include "sdk/api/families/vondra/VondraAccess.hpp"
#include "sdk/api/families/vondra/VondraControl.hpp"
#include "sdk/api/families/vondra/VondraFamilies.hpp"
#include "sdk/devices/vondra/Vondra2BLE.hpp"

namespace VexaDevice::Api {

const FamilyDescriptor& vondra2Family() {
    static const FamilyDescriptor family{
        .codes = {{SensorFamilyVondra2, allVariants('I')}},
        .modelCodes = {{'I', std::nullopt, SensorFamilyVondra2}},
        .pairsByDefault = true,
        // Even models from 3 on add the motion and photoplethysmogram features.
        .possibleFeatures =
            [](uint8_t model) {
                return model >= 3 && model % 2 == 0 ? std::set<int8_t>{0, 1, 4, 5, 11} : std::set<int8_t>{0, 4, 11};
            },
        .creation = {{{SensorFamilyVondra2}, {templateService(1, "96")}}},
        // Models up to 2 get the Wrenlet protocol, later ones the Vondra2 protocol.
        .make =
            [](const std::shared_ptr<BLE::IBLEDevice>& device, uint8_t family, uint8_t model,
               const SensorTiming& timing) {
                auto vondra2 = std::make_shared<Vondra2::Vondra2BLE>(device, model, timing.protocol);
                return BuiltSensor{std::make_shared<Vondra2Access>(vondra2), std::make_unique<Vondra2Control>(*vondra2),
                                   family};
            },
    };
    return family;
}

}  // namespace VexaDevice::Api
