#include "sim/radio/SimPeripheral.hpp"

#include <algorithm>
#include <utility>

#include "sdk/ble/platform/PlatformTypes.hpp"
#include "sim/radio/SimCentral.hpp"
#include "sim/radio/SimLink.hpp"

namespace VexaSim {

namespace Property = VexaDevice::BLE::Platform::CharacteristicProperty;

// ---- SimCharacteristic ---------------------------------------------------------------

SimCharacteristic::SimCharacteristic(std::shared_ptr<SimLink> link, UUID uuid, uint32_t properties,
                                     std::vector<uint8_t> value)
    : link_(std::move(link)), uuid_(uuid), properties_(properties), value_(std::move(value)) {}

std::vector<uint8_t> SimCharacteristic::value() const {
    std::lock_guard lock(mutex_);
    return value_;
}

void SimCharacteristic::setValue(std::vector<uint8_t> value) {
    std::lock_guard lock(mutex_);
    value_ = std::move(value);
}

void SimCharacteristic::onWrite(WriteHook hook) {
    WriteHook previous;
    std::lock_guard lock(mutex_);
    previous = std::exchange(writeHook_, std::move(hook));
}

void SimCharacteristic::onAcknowledged(AcknowledgedHook hook) {
    AcknowledgedHook previous;
    std::lock_guard lock(mutex_);
    previous = std::exchange(acknowledgedHook_, std::move(hook));
}

void SimCharacteristic::onRead(ReadHook hook) {
    ReadHook previous;
    std::lock_guard lock(mutex_);
    previous = std::exchange(readHook_, std::move(hook));
}

bool SimCharacteristic::takeFault(int& count) {
    if (count <= 0) return false;
    --count;
    return true;
}

bool SimCharacteristic::isNotifying() const {
    std::lock_guard lock(mutex_);
    return notifyEpoch_ != 0 && notifyEpoch_ == link_->epoch() && link_->connected();
}

bool SimCharacteristic::notify(std::vector<uint8_t> value) {
    std::vector<std::shared_ptr<SimGattCharacteristic>> targets;
    std::chrono::milliseconds delay{0};
    {
        std::lock_guard lock(mutex_);
        if (notifyEpoch_ == 0 || notifyEpoch_ != link_->epoch()) return false;
        if (takeFault(droppedNotifications_)) return false;
        if (takeFault(truncatedNotifications_) && value.size() > truncatedLength_) value.resize(truncatedLength_);
        if (takeFault(delayedNotifications_)) delay = notificationDelay_;
        for (const auto& weak : views_) {
            if (auto view = weak.lock(); view && !view->handleClosed()) targets.push_back(std::move(view));
        }
    }
    if (!link_->admitNotification()) return false;
    for (const auto& view : targets) {
        link_->dispatcher().post([handlers = view->valueHandlers(), value] { handlers->invoke(value); }, delay);
    }
    return true;
}

void SimCharacteristic::failNextWrites(int count, GattStatus status) {
    std::lock_guard lock(mutex_);
    failingWrites_ = count;
    writeFailure_ = status;
}

void SimCharacteristic::failNextReads(int count, GattStatus status) {
    std::lock_guard lock(mutex_);
    failingReads_ = count;
    readFailure_ = status;
}

void SimCharacteristic::failNextClientConfigurationWrites(int count, GattStatus status) {
    std::lock_guard lock(mutex_);
    failingConfigurations_ = count;
    configurationFailure_ = status;
}

void SimCharacteristic::dropNextNotifications(int count) {
    std::lock_guard lock(mutex_);
    droppedNotifications_ = count;
}

void SimCharacteristic::delayNextNotifications(int count, std::chrono::milliseconds delay) {
    std::lock_guard lock(mutex_);
    delayedNotifications_ = count;
    notificationDelay_ = delay;
}

void SimCharacteristic::truncateNextNotifications(int count, size_t length) {
    std::lock_guard lock(mutex_);
    truncatedNotifications_ = count;
    truncatedLength_ = length;
}

std::vector<std::vector<uint8_t>> SimCharacteristic::writes() const {
    std::lock_guard lock(mutex_);
    return writes_;
}

int SimCharacteristic::clientConfigurationWrites() const {
    std::lock_guard lock(mutex_);
    return clientConfigurationWrites_;
}

GattStatus SimCharacteristic::centralWrite(const std::vector<uint8_t>& value, std::function<void()> acknowledged) {
    WriteHook hook;
    {
        std::lock_guard lock(mutex_);
        if (takeFault(failingWrites_)) return writeFailure_;
        if ((properties_ & (Property::Write | Property::WriteWithoutResponse)) == 0) return GattStatus::ProtocolError;
        writes_.push_back(value);
        hook = writeHook_;
    }
    const GattStatus status = hook ? hook(value) : GattStatus::Success;
    if (status != GattStatus::Success) return status;
    AcknowledgedHook after;
    {
        std::lock_guard lock(mutex_);
        value_ = value;
        after = acknowledgedHook_;
    }
    if (acknowledged) link_->dispatcher().post(std::move(acknowledged));
    if (after) after(value);
    return status;
}

GattStatus SimCharacteristic::centralRead(std::vector<uint8_t>& value) {
    ReadHook hook;
    {
        std::lock_guard lock(mutex_);
        if (takeFault(failingReads_)) return readFailure_;
        if ((properties_ & Property::Read) == 0) return GattStatus::ProtocolError;
        hook = readHook_;
    }
    std::vector<uint8_t> fresh;
    if (hook) fresh = hook();
    std::lock_guard lock(mutex_);
    if (hook) value_ = std::move(fresh);
    value = value_;
    return GattStatus::Success;
}

GattStatus SimCharacteristic::centralConfigure(bool notify) {
    std::lock_guard lock(mutex_);
    ++clientConfigurationWrites_;
    if (takeFault(failingConfigurations_)) return configurationFailure_;
    if ((properties_ & (Property::Notify | Property::Indicate)) == 0) return GattStatus::ProtocolError;
    notifyEpoch_ = notify ? link_->epoch() : 0;
    return GattStatus::Success;
}

void SimCharacteristic::attachView(const std::shared_ptr<SimGattCharacteristic>& view) {
    std::lock_guard lock(mutex_);
    std::erase_if(views_, [](const auto& weak) { return weak.expired(); });
    views_.push_back(view);
}

// ---- SimService ------------------------------------------------------------------------

SimService::SimService(std::shared_ptr<SimLink> link, UUID uuid) : link_(std::move(link)), uuid_(uuid) {}

std::shared_ptr<SimCharacteristic> SimService::addCharacteristic(const UUID& uuid, uint32_t properties,
                                                                 std::vector<uint8_t> value) {
    auto characteristic = std::make_shared<SimCharacteristic>(link_, uuid, properties, std::move(value));
    std::lock_guard lock(mutex_);
    characteristics_.push_back(characteristic);
    return characteristic;
}

std::shared_ptr<SimCharacteristic> SimService::characteristic(const UUID& uuid) const {
    std::lock_guard lock(mutex_);
    for (const auto& characteristic : characteristics_) {
        if (characteristic->uuid() == uuid) return characteristic;
    }
    return nullptr;
}

std::vector<std::shared_ptr<SimCharacteristic>> SimService::characteristics() const {
    std::lock_guard lock(mutex_);
    return characteristics_;
}

void SimService::scriptCharacteristicsStatuses(std::vector<GattStatus> statuses) {
    std::lock_guard lock(mutex_);
    scriptedStatuses_ = std::move(statuses);
}

GattStatus SimService::takeCharacteristicsStatus() {
    std::lock_guard lock(mutex_);
    if (scriptedStatuses_.empty()) return GattStatus::Success;
    const GattStatus status = scriptedStatuses_.front();
    scriptedStatuses_.erase(scriptedStatuses_.begin());
    return status;
}

// ---- SimPeripheral ---------------------------------------------------------------------

SimPeripheral::SimPeripheral(uint64_t address, std::string name)
    : address_(address), link_(std::make_shared<SimLink>()), name_(std::move(name)) {}

std::string SimPeripheral::name() const {
    std::lock_guard lock(mutex_);
    return name_;
}

void SimPeripheral::setName(std::string name) {
    std::lock_guard lock(mutex_);
    name_ = std::move(name);
}

std::shared_ptr<SimService> SimPeripheral::addService(const UUID& uuid) {
    auto service = std::make_shared<SimService>(link_, uuid);
    std::lock_guard lock(mutex_);
    services_.push_back(service);
    return service;
}

std::shared_ptr<SimService> SimPeripheral::service(const UUID& uuid) const {
    std::lock_guard lock(mutex_);
    for (const auto& service : services_) {
        if (service->uuid() == uuid) return service;
    }
    return nullptr;
}

std::vector<std::shared_ptr<SimService>> SimPeripheral::services() const {
    std::lock_guard lock(mutex_);
    return services_;
}

std::shared_ptr<SimCharacteristic> SimPeripheral::characteristic(const UUID& serviceUuid,
                                                                 const UUID& characteristicUuid) const {
    auto found = service(serviceUuid);
    return found ? found->characteristic(characteristicUuid) : nullptr;
}

void SimPeripheral::releaseHooks() {
    for (const auto& service : services()) {
        for (const auto& characteristic : service->characteristics()) {
            characteristic->onWrite(nullptr);
            characteristic->onAcknowledged(nullptr);
            characteristic->onRead(nullptr);
        }
    }
}

bool SimPeripheral::isConnected() const { return link_->connected(); }

size_t SimPeripheral::connectionHandlerCount() const { return link_->statusHandlerCount(); }

void SimPeripheral::dropLink() { link_->drop(); }

void SimPeripheral::dropLinkAfterNotifications(int count) { link_->dropAfterNotifications(count); }

void SimPeripheral::setReachable(bool reachable) { link_->setReachable(reachable); }

bool SimPeripheral::reachable() const { return link_->reachable(); }

void SimPeripheral::setLingerAfterClose(bool linger) { link_->setLingerAfterClose(linger); }

void SimPeripheral::scriptServicesStatuses(std::vector<GattStatus> statuses) {
    std::lock_guard lock(mutex_);
    scriptedStatuses_ = std::move(statuses);
}

int SimPeripheral::servicesQueries() const {
    std::lock_guard lock(mutex_);
    return servicesQueries_;
}

GattStatus SimPeripheral::takeServicesStatus() {
    std::lock_guard lock(mutex_);
    ++servicesQueries_;
    if (scriptedStatuses_.empty()) return GattStatus::Success;
    const GattStatus status = scriptedStatuses_.front();
    scriptedStatuses_.erase(scriptedStatuses_.begin());
    return status;
}

void SimPeripheral::setPairing(const SimPairing& pairing) {
    std::lock_guard lock(mutex_);
    pairing_ = pairing;
}

SimPairing SimPeripheral::pairing() const {
    std::lock_guard lock(mutex_);
    return pairing_;
}

int SimPeripheral::pairingAttempts() const {
    std::lock_guard lock(mutex_);
    return pairingAttempts_;
}

PairingStatus SimPeripheral::completePairing(bool requestAccepted) {
    std::lock_guard lock(mutex_);
    ++pairingAttempts_;
    if (!requestAccepted) return PairingStatus::RejectedByHandler;
    if (pairing_.outcome == PairingStatus::Paired) pairing_.isPaired = true;
    return pairing_.outcome;
}

}  // namespace VexaSim
