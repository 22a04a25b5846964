#pragma once
// Whether a protocol's link is lost, as the connection reports tell it. The reports come on the
// connection's own thread and may arrive late: a loss reported once the link is back is over
// already, and taken for a new one it would cancel the status read of the reconnection and fail
// every command after it.
//
//   LinkLoss loss(device);
//   exchange(write, loss.flag(), ...);      // waits and retries end early while it is set
//   loss.reportLoss();                      // onDisconnected
//   if (loss.relink()) readEverythingAgain; // onConnected
//   loss.markLost();                        // the protocol stops for good
//   if (loss.isDown()) return linkDownFailure();  // a command on a link that is down

#include <atomic>
#include <memory>
#include <mutex>

#include "sdk/ble/IBLEDevice.hpp"
#include "sdk/core/DeviceError.hpp"
#include "sdk/core/OperationResult.hpp"

namespace VexaDevice::Devices {

class LinkLoss {
public:
    explicit LinkLoss(std::shared_ptr<BLE::IBLEDevice> device) : device_(std::move(device)) {}

    // The link went down; nothing happens when it is up again by now. True when it is lost.
    bool reportLoss() {
        std::lock_guard lock(mutex_);
        if (!device_ || device_->isDisconnected()) lost_ = true;
        return lost_;
    }

    // The link is up: true when it had been lost, so that the device is read afresh.
    bool relink() {
        std::lock_guard lock(mutex_);
        return lost_.exchange(false);
    }

    void markLost() { lost_ = true; }
    bool isLost() const { return lost_; }
    // Whether a command must fail: the loss is reported, or the device is down already while
    // its report is still on the way (what the device was last seen doing proves nothing then).
    bool isDown() const { return lost_ || !device_ || device_->isDisconnected(); }
    const std::atomic<bool>& flag() const { return lost_; }

private:
    const std::shared_ptr<BLE::IBLEDevice> device_;
    std::mutex mutex_;
    std::atomic<bool> lost_{false};
};

// What a command gives on a link that is down: its frame cannot be delivered.
inline OperationResult linkDownFailure() { return Utility::formatKspDeviceError(Utility::kKspErrors.dataSend); }

}  // namespace VexaDevice::Devices
