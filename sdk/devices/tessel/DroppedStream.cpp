#include "sdk/devices/tessel/DroppedStream.hpp"

#include "sdk/core/Log.hpp"
#include "sdk/devices/tessel/TesselRecords.hpp"

namespace VexaDevice::Tessel {

bool DroppedStream::settingsKnown(std::initializer_list<Setting> settings) {
    for (const Setting& setting : settings) {
        if (setting.value != UnknownSetting) continue;
        if (!told_)
            Utility::sdkLog().warn("{} packs are dropped: the device reports no known {}", stream_, setting.name);
        told_ = true;
        return false;
    }
    told_ = false;
    return true;
}

}  // namespace VexaDevice::Tessel
