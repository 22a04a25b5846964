#include "sdk/ble/platform/bluez/BluezWatcher.hpp"

#include <utility>

#include "sdk/ble/platform/bluez/BluezPlatform.hpp"

namespace VexaDevice::BLE::Platform::Bluez {

// ---- BluezWatcher ----------------------------------------------------------------------

BluezWatcher::BluezWatcher(std::weak_ptr<BluezPlatform> platform, std::shared_ptr<DeliveryQueue> queue)
    : platform_(std::move(platform)), queue_(std::move(queue)) {}

BluezWatcher::~BluezWatcher() {
    bool holds = false;
    {
        std::lock_guard lock(mutex_);
        holds = std::exchange(holdsDiscovery_, false);
    }
    if (auto platform = platform_.lock()) {
        platform->forgetWatcher(this);
        if (holds) platform->discovery().release();
    }
}

void BluezWatcher::configure(const WatcherSettings& settings) {
    std::lock_guard lock(mutex_);
    settings_ = settings;
}

void BluezWatcher::start() {
    auto platform = platform_.lock();
    {
        std::lock_guard lock(mutex_);
        if (status_ == WatcherStatus::Started) return;
    }
    if (!platform || !platform->discovery().acquire()) {
        finish(WatcherStatus::Aborted);
        return;
    }
    {
        std::lock_guard lock(mutex_);
        status_ = WatcherStatus::Started;
        holdsDiscovery_ = true;
    }
}

void BluezWatcher::stop() {
    {
        std::lock_guard lock(mutex_);
        if (status_ != WatcherStatus::Started) return;
    }
    finish(WatcherStatus::Stopped);
}

void BluezWatcher::abort() {
    {
        std::lock_guard lock(mutex_);
        if (status_ != WatcherStatus::Started) return;
        // The daemon's session ended with it.
        holdsDiscovery_ = false;
    }
    finish(WatcherStatus::Aborted);
}

void BluezWatcher::finish(WatcherStatus finalStatus) {
    bool release = false;
    {
        std::lock_guard lock(mutex_);
        status_ = finalStatus;
        release = std::exchange(holdsDiscovery_, false);
    }
    if (release) {
        if (auto platform = platform_.lock()) platform->discovery().release();
    }
    queue_->post([handlers = stoppedHandlers_] { handlers->invoke(); });
}

WatcherStatus BluezWatcher::status() const {
    std::lock_guard lock(mutex_);
    return status_;
}

Registration BluezWatcher::onReceived(std::function<void(const Advertisement&)> handler) {
    return receivedHandlers_->add(std::move(handler));
}

Registration BluezWatcher::onStopped(std::function<void()> handler) {
    return stoppedHandlers_->add(std::move(handler));
}

void BluezWatcher::deliver(Advertisement advertisement, bool heard) {
    {
        std::lock_guard lock(mutex_);
        if (status_ != WatcherStatus::Started) return;
        // A device known to the daemon but not heard in this scan has no signal strength: it
        // counts as just in range.
        if (!heard) advertisement.rssi = settings_.inRangeThresholdDbm;
        if (advertisement.rssi < settings_.inRangeThresholdDbm) return;
    }
    receivedHandlers_->invoke(advertisement);
}

// ---- WatcherSet -------------------------------------------------------------------------

std::shared_ptr<BluezWatcher> WatcherSet::create(std::weak_ptr<BluezPlatform> platform) {
    auto watcher = std::make_shared<BluezWatcher>(std::move(platform), queue_);
    std::lock_guard lock(mutex_);
    std::erase_if(watchers_, [](const auto& weak) { return weak.expired(); });
    watchers_.push_back(watcher);
    return watcher;
}

void WatcherSet::forget(const BluezWatcher* watcher) {
    std::lock_guard lock(mutex_);
    std::erase_if(watchers_, [&](const auto& weak) {
        auto live = weak.lock();
        return !live || live.get() == watcher;
    });
}

std::vector<std::shared_ptr<BluezWatcher>> WatcherSet::live() const {
    std::vector<std::shared_ptr<BluezWatcher>> watchers;
    std::lock_guard lock(mutex_);
    for (const auto& weak : watchers_) {
        if (auto watcher = weak.lock()) watchers.push_back(std::move(watcher));
    }
    return watchers;
}

void WatcherSet::announce(const Advertisement& advertisement, bool heard) {
    for (const auto& watcher : live()) {
        if (!watcher->started()) continue;
        queue_->post([weak = std::weak_ptr(watcher), advertisement, heard] {
            if (auto live = weak.lock()) live->deliver(advertisement, heard);
        });
    }
}

void WatcherSet::abortAll() {
    for (const auto& watcher : live()) watcher->abort();
}

}  // namespace VexaDevice::BLE::Platform::Bluez
