#include "sdk/api/families/ScanFilters.hpp"
#include "sdk/api/families/vondra/VondraAccess.hpp"
#include "sdk/api/families/vondra/VondraControl.hpp"
#include "sdk/api/families/vondra/VondraFamilies.hpp"
#include "sdk/devices/vondra/VondraBLE.hpp"

namespace VexaDevice::Api {

const FamilyDescriptor& vondraFamily() {
    static const FamilyDescriptor family{
        .codes = {{SensorFamilyVondra, {modelFilter('I', 0)}}},
        .modelCodes = {{'I', 0, SensorFamilyVondra}},
        .pairsByDefault = true,
        .possibleFeatures =
            [](uint8_t) {
                return std::set<int8_t>{0, 4, 11};
            },
        .creation = {{{SensorFamilyVondra}, {templateService(1, "96")}}},
        .make =
            [](const std::shared_ptr<BLE::IBLEDevice>& device, uint8_t family, uint8_t, const SensorTiming& timing) {
                auto vondra = std::make_shared<Vondra::VondraBLE>(device, timing.protocol);
                return BuiltSensor{std::make_shared<VondraAccess>(vondra), std::make_unique<VondraControl>(*vondra),
                                   family};
            },
    };
    return family;
}

}  // namespace VexaDevice::Api
