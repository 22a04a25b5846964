#include "sdk/ble/platform/BlePlatform.hpp"

#include <mutex>
#include <utility>

#include "sdk/ble/platform/bluez/BluezPlatform.hpp"
#include "sdk/core/Log.hpp"

namespace VexaDevice::BLE::Platform {

namespace {

// A watcher on a machine without Bluetooth: it never starts and never reports anything.
class AbsentWatcher final : public IAdvertisementWatcher {
public:
    void configure(const WatcherSettings&) override {}
    void start() override {}
    void stop() override {}
    WatcherStatus status() const override { return WatcherStatus::Created; }
    Registration onReceived(std::function<void(const Advertisement&)>) override { return {}; }
    Registration onStopped(std::function<void()>) override { return {}; }
};

class AbsentPlatform final : public IBlePlatform {
public:
    std::shared_ptr<IAdapter> defaultAdapter() override { return nullptr; }
    std::vector<RadioKind> radios() override { return {}; }
    std::shared_ptr<IAdvertisementWatcher> createWatcher() override { return std::make_shared<AbsentWatcher>(); }
    std::shared_ptr<IPeripheral> openPeripheral(uint64_t) override { return nullptr; }
};

std::mutex& platformMutex() {
    static std::mutex mutex;
    return mutex;
}

std::shared_ptr<IBlePlatform>& installed() {
    static std::shared_ptr<IBlePlatform> platform;
    return platform;
}

const std::shared_ptr<IBlePlatform>& absentPlatform() {
    static const std::shared_ptr<IBlePlatform> absent = std::make_shared<AbsentPlatform>();
    return absent;
}

// The system bus's Bluetooth daemon, connected at first use. It stands in for the machine's
// Bluetooth once the daemon was found, which may be later (a daemon starting after the host).
const std::shared_ptr<Bluez::BluezPlatform>& systemBackend() {
    static const std::shared_ptr<Bluez::BluezPlatform> platform = Bluez::systemPlatform();
    return platform;
}

}  // namespace

std::shared_ptr<IBlePlatform> currentPlatform() {
    std::lock_guard lock(platformMutex());
    if (installed()) return installed();
    if (const auto& system = systemBackend(); system && system->daemonFound()) return system;
    static std::once_flag reported;
    std::call_once(reported,
                   [] { Utility::sdkLog().warn("No Bluetooth backend installed: the adapter reads as absent"); });
    return absentPlatform();
}

std::shared_ptr<IBlePlatform> installPlatform(std::shared_ptr<IBlePlatform> platform) {
    std::lock_guard lock(platformMutex());
    return std::exchange(installed(), std::move(platform));
}

}  // namespace VexaDevice::BLE::Platform
