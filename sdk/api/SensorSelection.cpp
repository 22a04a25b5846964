#include "sdk/api/SensorSelection.hpp"

#include <algorithm>

namespace VexaDevice::Api {

namespace {

bool matches(const CreationRule& rule, uint8_t requestedFamily, const BLE::ChannelMap& services) {
    const bool family = rule.families.empty() ||
                        std::find(rule.families.begin(), rule.families.end(), requestedFamily) != rule.families.end();
    return family && std::any_of(rule.services.begin(), rule.services.end(),
                                 [&](const Utility::UUID& service) { return services.contains(service); });
}

}  // namespace

bool isCreatableFamily(uint8_t family) { return descriptorOf(family) != nullptr; }

BuiltSensor selectSensor(uint8_t requestedFamily, uint8_t model, const std::shared_ptr<BLE::IBLEDevice>& device,
                         const SensorTiming& timing) {
    const BLE::ChannelMap services = device->getChannelMap();
    for (const FamilyDescriptor* family : familyDescriptors()) {
        for (const CreationRule& rule : family->creation) {
            if (matches(rule, requestedFamily, services)) {
                return family->make(device, requestedFamily, model, timing);
            }
        }
    }
    return {};
}

}  // namespace VexaDevice::Api
