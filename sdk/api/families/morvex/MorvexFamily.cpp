#include "sdk/api/families/ScanFilters.hpp"
#include "sdk/api/families/morvex/MorvexAccess.hpp"
#include "sdk/api/families/morvex/MorvexControl.hpp"
#include "sdk/api/families/morvex/MorvexFamilies.hpp"
#include "sdk/devices/morvex/MorvexBLE.hpp"
#include "sdk/devices/morvex/MorvexGatt.hpp"

namespace VexaDevice::Api {

const FamilyDescriptor& morvexFamily() {
    // The device advertises this one next to the service it is driven through.
    static const Utility::UUID advertised = Utility::parseUuid("6E400000-B534-F393-68A9-E50E24DCCA9E");
    static const FamilyDescriptor family{
        .codes = {{SensorFamilyMorvex, {serviceFilter(advertised), serviceFilter(Morvex::MorvexServiceUuid)}}},
        .foundByModelCode = false,
        .advertisedServices = {advertised, Morvex::MorvexServiceUuid},
        .possibleFeatures =
            [](uint8_t) {
                return std::set<int8_t>{0, 4};
            },
        .creation = {{{SensorFamilyMorvex}, {Morvex::MorvexServiceUuid}}},
        .make =
            [](const std::shared_ptr<BLE::IBLEDevice>& device, uint8_t family, uint8_t, const SensorTiming& timing) {
                auto morvex = std::make_shared<Morvex::MorvexBLE>(device, timing.protocol);
                return BuiltSensor{std::make_shared<MorvexAccess>(morvex), std::make_unique<MorvexControl>(*morvex),
                                   family};
            },
    };
    return family;
}

}  // namespace VexaDevice::Api
