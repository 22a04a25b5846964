#include "sim/peers/kestrane/KestranePeerService.hpp"

namespace VexaSim {

using VexaDevice::Kestrane::KestraneRole;
using VexaDevice::Kestrane::kestraneUuid;

VexaDevice::Utility::UUID KestranePeerService::service() const { return kestraneUuid(suffix, KestraneRole::Service); }

VexaDevice::Utility::UUID KestranePeerService::status() const { return kestraneUuid(suffix, KestraneRole::Status); }

VexaDevice::Utility::UUID KestranePeerService::command() const { return kestraneUuid(suffix, KestraneRole::Command); }

std::shared_ptr<SimCharacteristic> KestranePeerService::stream(SimService& added, KestraneRole role,
                                                               bool present) const {
    namespace Property = VexaDevice::BLE::Platform::CharacteristicProperty;
    return present ? added.addCharacteristic(kestraneUuid(suffix, role), Property::Notify) : nullptr;
}

}  // namespace VexaSim
