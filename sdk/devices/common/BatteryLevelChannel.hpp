#pragma once
// The level characteristic of the standard Battery service: read when the protocol starts,
// then followed through its notifications. Each value's first byte is the level in percent,
// at most 100; an empty value is ignored.

#include <atomic>
#include <cstdint>
#include <memory>

#include "sdk/ble/IBLEDevice.hpp"
#include "sdk/core/CvWait.hpp"
#include "sdk/core/Uuid.hpp"

namespace VexaDevice::Devices {

inline const Utility::UUID BatteryServiceUuid = Utility::parseUuid("0000180F-0000-1000-8000-00805F9B34FB");
inline const Utility::UUID BatteryLevelUuid = Utility::parseUuid("00002A19-0000-1000-8000-00805F9B34FB");

class BatteryLevelChannel {
public:
    // Finds the characteristic (rt_exception "Battery Channel cannot be null." or "Battery
    // characteristic must have both read and notify properties"), reads the level and starts
    // the notifications, each of which stores the level and wakes `wake`.
    BatteryLevelChannel(const BLE::ChannelMap& channels, const std::atomic<bool>& stopped, int readAttempts,
                        std::weak_ptr<Utility::CvWait> wake);
    // Stops the notifications.
    ~BatteryLevelChannel();
    BatteryLevelChannel(const BatteryLevelChannel&) = delete;
    BatteryLevelChannel& operator=(const BatteryLevelChannel&) = delete;

    // Up to readAttempts reads, none once `stopped` is set; rt_exception "Can not read Battery
    // power" when every one failed.
    void read();
    int32_t level() const { return level_->load(); }

private:
    const std::atomic<bool>& stopped_;
    const int readAttempts_;
    const std::shared_ptr<std::atomic<int32_t>> level_ = std::make_shared<std::atomic<int32_t>>(0);
    std::shared_ptr<BLE::IBLEChannel> channel_;
    std::shared_ptr<BLE::DataBus::Callback> handler_;
};

}  // namespace VexaDevice::Devices
