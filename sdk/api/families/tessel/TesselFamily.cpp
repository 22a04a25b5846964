#include "sdk/api/families/tessel/TesselFamily.hpp"

#include "sdk/api/families/ScanFilters.hpp"
#include "sdk/api/families/tessel/TesselAccess.hpp"
#include "sdk/api/families/tessel/TesselControl.hpp"
#include "sdk/devices/tessel/TesselBLE.hpp"
#include "sdk/devices/tessel/TesselGattInfo.hpp"

namespace VexaDevice::Api {

namespace {

uint8_t familyOfNameKind(int32_t nameKind) {
    return nameKind == Tessel::NameKind::Quindle ? SensorFamilyTesselQuindle : SensorFamilyTessel;
}

std::vector<BLE::ScanFilter> tesselFilters() {
    std::vector<BLE::ScanFilter> filters;
    for (const auto& service : Tessel::tesselServices()) {
        filters.push_back(serviceFilter(service));
    }
    return filters;
}

// The family by the advertised name, the model by the service set.
bool recogniseTessel(const BLE::DeviceInfo& device, _SensorInfo& info) {
    const auto tessel = Tessel::makeTesselGattInfo(device);
    if (!tessel) {
        return false;
    }
    info.SensFamily = familyOfNameKind(tessel->nameKind());
    info.SensModel = static_cast<uint8_t>(tessel->serviceSet());
    return true;
}

}  // namespace

const FamilyDescriptor& tesselFamily() {
    static const std::vector<BLE::ScanFilter> filters = tesselFilters();
    static const FamilyDescriptor family{
        .codes = {{SensorFamilyTessel, filters}, {SensorFamilyTesselQuindle, filters}},
        .foundByModelCode = false,
        .advertisesWithoutManufacturerData = true,
        .recognise = recogniseTessel,
        .creation = {{{}, {Tessel::tesselServices().begin(), Tessel::tesselServices().end()}}},
        // A Tessel handle whatever accepted family was asked for: the Quindle variant family 2,
        // any other family 1.
        .make =
            [](const std::shared_ptr<BLE::IBLEDevice>& device, uint8_t, uint8_t, const SensorTiming& timing) {
                auto tessel = std::make_shared<Tessel::TesselBLE>(device, timing.tessel);
                const uint8_t family = familyOfNameKind(tessel->nameKind());
                return BuiltSensor{std::make_shared<TesselAccess>(tessel), std::make_unique<TesselControl>(*tessel),
                                   family};
            },
    };
    return family;
}

}  // namespace VexaDevice::Api
