#include "sdk/api/families/photostim/PhotoStimFamily.hpp"

#include "sdk/api/families/ScanFilters.hpp"
#include "sdk/api/families/photostim/PhotoStimAccess.hpp"
#include "sdk/api/families/photostim/PhotoStimControl.hpp"
#include "sdk/devices/photostim/PhotoStimBLE.hpp"
#include "sdk/devices/photostim/PhotoStimWire.hpp"

namespace VexaDevice::Api {

const FamilyDescriptor& photoStimFamily() {
    static const FamilyDescriptor family{
        .codes = {{SensorFamilyPhotoStim, allVariants('g')}},
        .modelCodes = {{'g', std::nullopt, SensorFamilyPhotoStim}},
        .possibleFeatures = [](uint8_t) { return std::set<int8_t>{7}; },
        .creation = {{{SensorFamilyPhotoStim}, {PhotoStim::PtsServiceUuid}}},
        .make =
            [](const std::shared_ptr<BLE::IBLEDevice>& device, uint8_t family, uint8_t, const SensorTiming& timing) {
                auto photoStim = std::make_shared<PhotoStim::PhotoStimBLE>(device, timing.protocol);
                return BuiltSensor{std::make_shared<PhotoStimAccess>(photoStim),
                                   std::make_unique<PhotoStimControl>(*photoStim), family};
            },
    };
    return family;
}

}  // namespace VexaDevice::Api
