#include "sim/radio/SimRadio.hpp"

#include "sim/radio/SimCentral.hpp"
#include "sim/radio/SimLink.hpp"

namespace VexaSim {

std::shared_ptr<SimRadio> SimRadio::create() { return std::shared_ptr<SimRadio>(new SimRadio()); }

SimRadio::~SimRadio() {
    for (const auto& [address, peripheral] : peripherals_) peripheral->releaseHooks();
}

void SimRadio::setAdapterState(SimAdapterState state) {
    std::lock_guard lock(mutex_);
    adapterState_ = state;
}

SimAdapterState SimRadio::adapterState() const {
    std::lock_guard lock(mutex_);
    return adapterState_;
}

bool SimRadio::adapterReady() const { return adapterState() == SimAdapterState::Ready; }

void SimRadio::advertise(Platform::Advertisement advertisement) {
    std::vector<std::weak_ptr<SimWatcher>> watchers;
    {
        std::lock_guard lock(mutex_);
        watchers = watchers_;
    }
    dispatcher_.post([watchers = std::move(watchers), advertisement = std::move(advertisement)] {
        for (const auto& weak : watchers) {
            if (auto watcher = weak.lock()) watcher->deliver(advertisement);
        }
    });
}

void SimRadio::abortWatchers() {
    std::vector<std::weak_ptr<SimWatcher>> watchers;
    {
        std::lock_guard lock(mutex_);
        watchers = watchers_;
    }
    for (const auto& weak : watchers) {
        if (auto watcher = weak.lock()) watcher->abort();
    }
}

void SimRadio::countWatcherStart() {
    std::lock_guard lock(mutex_);
    ++watchersStarted_;
}

int SimRadio::watchersStarted() const {
    std::lock_guard lock(mutex_);
    return watchersStarted_;
}

std::shared_ptr<SimPeripheral> SimRadio::addPeripheral(uint64_t address, std::string name) {
    auto peripheral = std::make_shared<SimPeripheral>(address, std::move(name));
    std::lock_guard lock(mutex_);
    if (paused_) peripheral->link()->dispatcher().pause();
    peripherals_[address] = peripheral;
    return peripheral;
}

std::shared_ptr<SimPeripheral> SimRadio::peripheral(uint64_t address) const {
    std::lock_guard lock(mutex_);
    auto found = peripherals_.find(address);
    return found == peripherals_.end() ? nullptr : found->second;
}

std::vector<uint64_t> SimRadio::addresses() const {
    std::lock_guard lock(mutex_);
    std::vector<uint64_t> addresses;
    for (const auto& [address, peripheral] : peripherals_) addresses.push_back(address);
    return addresses;
}

void SimRadio::removePeripheral(uint64_t address) {
    std::lock_guard lock(mutex_);
    peripherals_.erase(address);
}

std::vector<std::shared_ptr<SimLink>> SimRadio::links() const {
    std::lock_guard lock(mutex_);
    std::vector<std::shared_ptr<SimLink>> links;
    for (const auto& [address, peripheral] : peripherals_) links.push_back(peripheral->link());
    return links;
}

void SimRadio::drain() {
    // A delivery may queue more work elsewhere: repeat until a full pass posted nothing new.
    for (;;) {
        const auto links = this->links();
        uint64_t before = dispatcher_.postedCount();
        for (const auto& link : links) before += link->dispatcher().postedCount();
        dispatcher_.drain();
        for (const auto& link : links) link->dispatcher().drain();
        uint64_t after = dispatcher_.postedCount();
        for (const auto& link : links) after += link->dispatcher().postedCount();
        if (after == before) return;
    }
}

void SimRadio::pause() {
    std::lock_guard lock(mutex_);
    paused_ = true;
    dispatcher_.pause();
    for (const auto& [address, peripheral] : peripherals_) peripheral->link()->dispatcher().pause();
}

void SimRadio::resume() {
    std::lock_guard lock(mutex_);
    paused_ = false;
    dispatcher_.resume();
    for (const auto& [address, peripheral] : peripherals_) peripheral->link()->dispatcher().resume();
}

std::shared_ptr<Platform::IAdapter> SimRadio::defaultAdapter() {
    switch (adapterState()) {
    case SimAdapterState::Absent: return nullptr;
    case SimAdapterState::NoCentralRole: return std::make_shared<SimAdapter>(false, Platform::RadioState::On);
    case SimAdapterState::RadioOff: return std::make_shared<SimAdapter>(true, Platform::RadioState::Off);
    case SimAdapterState::NoAdapterRadio: return std::make_shared<SimAdapter>(true, std::nullopt);
    case SimAdapterState::Ready:
    case SimAdapterState::NoBluetoothRadio: break;
    }
    return std::make_shared<SimAdapter>(true, Platform::RadioState::On);
}

std::vector<Platform::RadioKind> SimRadio::radios() {
    if (adapterState() == SimAdapterState::NoBluetoothRadio) return {Platform::RadioKind::WiFi};
    if (adapterState() == SimAdapterState::Absent) return {Platform::RadioKind::WiFi};
    return {Platform::RadioKind::WiFi, Platform::RadioKind::Bluetooth};
}

std::shared_ptr<Platform::IAdvertisementWatcher> SimRadio::createWatcher() {
    auto watcher = std::make_shared<SimWatcher>(weak_from_this());
    std::lock_guard lock(mutex_);
    std::erase_if(watchers_, [](const auto& weak) { return weak.expired(); });
    watchers_.push_back(watcher);
    return watcher;
}

std::shared_ptr<Platform::IPeripheral> SimRadio::openPeripheral(uint64_t address) {
    auto peer = peripheral(address);
    if (!peer || !peer->reachable() || !adapterReady()) return nullptr;
    return std::make_shared<SimPeripheralHandle>(std::move(peer));
}

SimRadioInstallation::SimRadioInstallation(std::shared_ptr<SimRadio> radio)
    : previous_(Platform::installPlatform(std::move(radio))) {}

SimRadioInstallation::~SimRadioInstallation() { Platform::installPlatform(std::move(previous_)); }

}  // namespace VexaSim
