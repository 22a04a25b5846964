#include "sim/radio/SimCentral.hpp"

#include <future>

#include "sim/radio/SimRadio.hpp"

namespace VexaSim {

using Platform::GattStatus;

namespace {
constexpr int32_t objectClosedCode = 0x13;
}

void throwIfClosed(const ClosedFlag& closed) {
    if (closed->load()) throw Platform::PlatformError{objectClosedCode, "The object has been closed."};
}

// ---- SimGattCharacteristic -----------------------------------------------------------------

SimGattCharacteristic::SimGattCharacteristic(std::shared_ptr<SimCharacteristic> peer, std::shared_ptr<SimLink> link,
                                             ClosedFlag closed)
    : peer_(std::move(peer)), link_(std::move(link)), closed_(std::move(closed)) {}

Platform::UUID SimGattCharacteristic::uuid() const { return peer_->uuid(); }

uint32_t SimGattCharacteristic::properties() const { return peer_->properties(); }

Platform::GattReadResult SimGattCharacteristic::readValue() {
    throwIfClosed(closed_);
    Platform::GattReadResult result;
    if (!link_->connected()) {
        result.status = GattStatus::Unreachable;
        return result;
    }
    result.status = peer_->centralRead(result.value);
    return result;
}

GattStatus SimGattCharacteristic::writeValue(const std::vector<uint8_t>& value, Acknowledged acknowledged) {
    throwIfClosed(closed_);
    if (!link_->connected()) return GattStatus::Unreachable;
    return peer_->centralWrite(value, std::move(acknowledged));
}

GattStatus SimGattCharacteristic::writeClientConfiguration(Platform::ClientConfiguration value) {
    throwIfClosed(closed_);
    if (!link_->connected()) return GattStatus::Unreachable;
    return peer_->centralConfigure(value != Platform::ClientConfiguration::None);
}

Platform::Registration SimGattCharacteristic::onValueChanged(std::function<void(const std::vector<uint8_t>&)> handler) {
    return valueHandlers_->add(std::move(handler));
}

// ---- SimGattService ------------------------------------------------------------------------

SimGattService::SimGattService(std::shared_ptr<SimService> peer, std::shared_ptr<SimLink> link, ClosedFlag closed)
    : peer_(std::move(peer)), link_(std::move(link)), closed_(std::move(closed)) {}

Platform::UUID SimGattService::uuid() const { return peer_->uuid(); }

Platform::GattCharacteristicsResult SimGattService::characteristics() {
    throwIfClosed(closed_);
    Platform::GattCharacteristicsResult result;
    if (!link_->connected()) {
        result.status = GattStatus::Unreachable;
        return result;
    }
    result.status = peer_->takeCharacteristicsStatus();
    if (result.status != GattStatus::Success) return result;
    for (const auto& characteristic : peer_->characteristics()) {
        auto view = std::make_shared<SimGattCharacteristic>(characteristic, link_, closed_);
        characteristic->attachView(view);
        result.characteristics.push_back(std::move(view));
    }
    return result;
}

// ---- SimPeripheralHandle -------------------------------------------------------------------

SimPeripheralHandle::SimPeripheralHandle(std::shared_ptr<SimPeripheral> peer) : peer_(std::move(peer)) {
    peer_->link()->addHandle(statusHandlers_);
}

SimPeripheralHandle::~SimPeripheralHandle() { close(); }

uint64_t SimPeripheralHandle::address() const { return peer_->address(); }

std::string SimPeripheralHandle::name() const { return peer_->name(); }

Platform::ConnectionStatus SimPeripheralHandle::connectionStatus() const {
    return peer_->link()->connected() ? Platform::ConnectionStatus::Connected
                                      : Platform::ConnectionStatus::Disconnected;
}

Platform::Registration SimPeripheralHandle::onConnectionStatusChanged(std::function<void()> handler) {
    return statusHandlers_->add(std::move(handler));
}

Platform::PairingInfo SimPeripheralHandle::pairingInfo() const {
    const SimPairing pairing = peer_->pairing();
    return Platform::PairingInfo{pairing.canPair, pairing.isPaired};
}

Platform::Registration SimPeripheralHandle::onPairingRequested(std::function<void(Platform::PairingRequest&)> handler) {
    return pairingHandlers_->add(std::move(handler));
}

Platform::PairingStatus SimPeripheralHandle::pair(Platform::PairingKind, Platform::ProtectionLevel) {
    throwIfClosed(closed_);
    if (!peer_->reachable()) return Platform::PairingStatus::ConnectionRejected;
    if (pairingHandlers_->empty()) return Platform::PairingStatus::RequiredHandlerNotRegistered;
    auto request = std::make_shared<Platform::PairingRequest>(peer_->pairing().requestedKind);
    auto& dispatcher = peer_->link()->dispatcher();
    if (dispatcher.onOwnThread()) {
        pairingHandlers_->invoke(*request);
    } else {
        std::promise<void> asked;
        auto done = asked.get_future();
        dispatcher.post([handlers = pairingHandlers_, request, &asked] {
            handlers->invoke(*request);
            asked.set_value();
        });
        done.wait();
    }
    return peer_->completePairing(request->accepted());
}

Platform::GattServicesResult SimPeripheralHandle::gattServices() {
    throwIfClosed(closed_);
    Platform::GattServicesResult result;
    if (!peer_->reachable()) {
        result.status = GattStatus::Unreachable;
        return result;
    }
    result.status = peer_->takeServicesStatus();
    if (result.status != GattStatus::Success) return result;
    peer_->link()->connect();
    for (const auto& service : peer_->services()) {
        result.services.push_back(std::make_shared<SimGattService>(service, peer_->link(), closed_));
    }
    return result;
}

void SimPeripheralHandle::close() {
    if (closed_->exchange(true)) return;
    peer_->link()->closeHandle();
}

// ---- SimWatcher ----------------------------------------------------------------------------

SimWatcher::SimWatcher(std::weak_ptr<SimRadio> radio) : radio_(std::move(radio)) {}

void SimWatcher::configure(const Platform::WatcherSettings& settings) {
    std::lock_guard lock(mutex_);
    settings_ = settings;
}

void SimWatcher::start() {
    auto radio = radio_.lock();
    if (!radio || !radio->adapterReady()) {
        finish(Platform::WatcherStatus::Aborted);
        return;
    }
    {
        std::lock_guard lock(mutex_);
        status_ = Platform::WatcherStatus::Started;
    }
    radio->countWatcherStart();
}

void SimWatcher::stop() {
    {
        std::lock_guard lock(mutex_);
        if (status_ != Platform::WatcherStatus::Started) return;
    }
    finish(Platform::WatcherStatus::Stopped);
}

void SimWatcher::abort() {
    {
        std::lock_guard lock(mutex_);
        if (status_ != Platform::WatcherStatus::Started) return;
    }
    finish(Platform::WatcherStatus::Aborted);
}

void SimWatcher::finish(Platform::WatcherStatus finalStatus) {
    {
        std::lock_guard lock(mutex_);
        status_ = finalStatus;
    }
    if (auto radio = radio_.lock()) {
        radio->dispatcher().post([handlers = stoppedHandlers_] { handlers->invoke(); });
    }
}

Platform::WatcherStatus SimWatcher::status() const {
    std::lock_guard lock(mutex_);
    return status_;
}

Platform::Registration SimWatcher::onReceived(std::function<void(const Platform::Advertisement&)> handler) {
    return receivedHandlers_->add(std::move(handler));
}

Platform::Registration SimWatcher::onStopped(std::function<void()> handler) {
    return stoppedHandlers_->add(std::move(handler));
}

void SimWatcher::deliver(const Platform::Advertisement& advertisement) {
    {
        std::lock_guard lock(mutex_);
        if (status_ != Platform::WatcherStatus::Started) return;
        if (advertisement.scanResponse && settings_.mode == Platform::ScanningMode::Passive) return;
        if (advertisement.rssi < settings_.inRangeThresholdDbm) return;
    }
    receivedHandlers_->invoke(advertisement);
}

}  // namespace VexaSim
