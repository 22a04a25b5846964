#pragma once
// Internal: an advertisement watcher of the daemon's backend, on the platform's shared
// discovery session.

#include <functional>
#include <memory>
#include <mutex>
#include <vector>

#include "sdk/ble/platform/BlePlatform.hpp"
#include "sdk/ble/platform/HandlerRegistry.hpp"
#include "sdk/ble/platform/bluez/DeliveryQueue.hpp"
#include "sdk/ble/platform/bluez/DeviceLink.hpp"

namespace VexaDevice::BLE::Platform::Bluez {

class BluezPlatform;

class BluezWatcher final : public IAdvertisementWatcher, public std::enable_shared_from_this<BluezWatcher> {
public:
    BluezWatcher(std::weak_ptr<BluezPlatform> platform, std::shared_ptr<DeliveryQueue> queue);
    ~BluezWatcher() override;

    void configure(const WatcherSettings& settings) override;
    void start() override;
    void stop() override;
    WatcherStatus status() const override;
    Registration onReceived(std::function<void(const Advertisement&)> handler) override;
    Registration onStopped(std::function<void()> handler) override;

    bool started() const { return status() == WatcherStatus::Started; }
    // On the delivery thread.
    // `heard`: the daemon reported a signal strength (it has none for devices only remembered).
    void deliver(Advertisement advertisement, bool heard);
    // The daemon or the adapter went away: the scan ends on its own.
    void abort();

private:
    void finish(WatcherStatus finalStatus);

    using AdvertisementRegistry = HandlerRegistry<const Advertisement&>;
    const std::weak_ptr<BluezPlatform> platform_;
    const std::shared_ptr<DeliveryQueue> queue_;
    mutable std::mutex mutex_;
    WatcherSettings settings_;
    WatcherStatus status_ = WatcherStatus::Created;
    bool holdsDiscovery_ = false;
    const std::shared_ptr<AdvertisementRegistry> receivedHandlers_ = std::make_shared<AdvertisementRegistry>();
    const std::shared_ptr<StatusRegistry> stoppedHandlers_ = std::make_shared<StatusRegistry>();
};

// The watchers a platform handed out: each hears the devices the daemon hears while it is
// started, on the scanners' delivery thread.
class WatcherSet {
public:
    std::shared_ptr<BluezWatcher> create(std::weak_ptr<BluezPlatform> platform);
    void forget(const BluezWatcher* watcher);
    // Hands the advertisement to every started watcher.
    void announce(const Advertisement& advertisement, bool heard);
    // The daemon or the adapter went away: every scan ends.
    void abortAll();

private:
    std::vector<std::shared_ptr<BluezWatcher>> live() const;

    mutable std::mutex mutex_;
    std::vector<std::weak_ptr<BluezWatcher>> watchers_;
    const std::shared_ptr<DeliveryQueue> queue_ = std::make_shared<DeliveryQueue>();
};

}  // namespace VexaDevice::BLE::Platform::Bluez
