#pragma once
// The command service of an emulated device in the Kestrane layout: the UUIDs of its service,
// status and command characteristics end in the family suffix, and its data characteristics are
// added by role where the device has them.

#include <memory>
#include <string>

#include "sdk/core/Uuid.hpp"
#include "sdk/devices/kestrane/KestraneGatt.hpp"
#include "sim/radio/SimPeripheral.hpp"

namespace VexaSim {

struct KestranePeerService {
    std::string suffix;

    VexaDevice::Utility::UUID service() const;
    VexaDevice::Utility::UUID status() const;
    VexaDevice::Utility::UUID command() const;
    // A notify characteristic of `role` on `added`, or null where the device has none.
    std::shared_ptr<SimCharacteristic> stream(SimService& added, VexaDevice::Kestrane::KestraneRole role,
                                              bool present = true) const;
};

}  // namespace VexaSim
