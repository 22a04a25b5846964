#include "sdk/ble/platform/bluez/DiscoverySession.hpp"

#include <systemd/sd-bus.h>

#include <algorithm>
#include <thread>

#include "sdk/ble/platform/bluez/BluezNames.hpp"
#include "sdk/ble/platform/bluez/BluezPlatform.hpp"
#include "sdk/ble/platform/bluez/ObjectMirror.hpp"
#include "sdk/core/Log.hpp"

namespace VexaDevice::BLE::Platform::Bluez {

namespace {

using Clock = std::chrono::steady_clock;

}  // namespace

bool DiscoverySession::acquire() {
    const auto adapter = objects_.adapterPath();
    if (!adapter) return false;
    const auto properties = objects_.properties(*adapter, kAdapter);
    if (!properties || !isSet(*properties, "Powered")) return false;
    bool shared = false;
    {
        std::lock_guard lock(mutex_);
        shared = users_++ > 0;
    }
    if (!shared && !start(*adapter)) {
        std::lock_guard lock(mutex_);
        if (users_ > 0) --users_;
        return false;
    }
    // The daemon answers before its discovery runs: the scan counts as started once it does.
    if (objects_.waitFor([&] { return discovering(*adapter); }, Clock::now() + platform_.timing().callTimeout))
        return true;
    Utility::sdkLog().warn("Discovery accepted but not running");
    release();
    return false;
}

bool DiscoverySession::start(const std::string& adapter) {
    const BluezTiming& timing = platform_.timing();
    // The daemon keeps a session of ours until it answered our StopDiscovery: a start before
    // that would be answered InProgress, then ended by the stop. The stop's own call timeout
    // bounds the wait.
    objects_.waitFor(
        [&] {
            std::lock_guard lock(mutex_);
            return stops_ == 0;
        },
        Clock::now() + timing.callTimeout + std::chrono::milliseconds(500));
    const auto deadline = Clock::now() + timing.callTimeout;
    // Low energy only, and every report of a device, not just its first.
    const CallOutcome filter = platform_.call(
        adapter, kAdapter, "SetDiscoveryFilter",
        [](sd_bus_message* message) {
            return sd_bus_message_append(message, "a{sv}", 2, "Transport", "s", "le", "DuplicateData", "b", 1);
        },
        nullptr, timing.callTimeout);
    if (!filter.ok()) Utility::sdkLog().warn("Discovery filter refused: {} {}", filter.errorName, filter.errorMessage);
    for (;;) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
        const CallOutcome started = platform_.call(adapter, kAdapter, "StartDiscovery", nullptr, nullptr,
                                                   std::max(left, std::chrono::milliseconds(1)));
        if (started.ok()) return true;
        // InProgress: a session of ours is still being stopped (one we stopped without waiting,
        // or whose stop timed out here).
        if (started.errorName != "org.bluez.Error.InProgress" ||
            Clock::now() + timing.discoveryRetryPause >= deadline) {
            Utility::sdkLog().warn("Discovery refused: {} {}", started.errorName, started.errorMessage);
            return false;
        }
        std::this_thread::sleep_for(timing.discoveryRetryPause);
    }
}

bool DiscoverySession::discovering(const std::string& adapter) const {
    const auto properties = objects_.properties(adapter, kAdapter);
    return properties && isSet(*properties, "Discovering");
}

void DiscoverySession::release() {
    {
        std::lock_guard lock(mutex_);
        if (users_ == 0 || --users_ > 0) return;
    }
    const auto adapter = objects_.adapterPath();
    if (!adapter) return;
    {
        std::lock_guard lock(mutex_);
        ++stops_;
    }
    platform_.loop().post([this, path = *adapter](sd_bus*) {
        platform_.send(
            path, kAdapter, "StopDiscovery", nullptr, [this](sd_bus_message*, const CallOutcome&) { stopEnded(); },
            platform_.timing().callTimeout);
    });
}

void DiscoverySession::stopEnded() {
    {
        std::lock_guard lock(mutex_);
        if (stops_ > 0) --stops_;
    }
    objects_.announceChange();
}

void DiscoverySession::reset() {
    std::lock_guard lock(mutex_);
    users_ = 0;
    stops_ = 0;
}

}  // namespace VexaDevice::BLE::Platform::Bluez
