#include "sdk/devices/common/StatusIntake.hpp"

#include <exception>

#include "sdk/core/RtException.hpp"

namespace VexaDevice::Devices {

void readStatusValue(BLE::IBLEChannel& status, int attempts, const std::atomic<bool>& linkLost,
                     const std::function<void(const std::vector<uint8_t>&)>& handle) {
    for (int attempt = 0; attempt < attempts && !linkLost; ++attempt) {
        if (status.readUnlessNotified(handle)) return;
    }
    throw Utility::rt_exception("Can not read Status");
}

void stopStatusNotify(BLE::IBLEChannel* status, const std::string& subject) {
    if (status == nullptr) return;
    try {
        status->stopNotify();
    } catch (const std::exception& e) {
        Utility::sdkLog().warn("[{}] stopping the status notification failed: {}", subject, e.what());
    }
}

}  // namespace VexaDevice::Devices
