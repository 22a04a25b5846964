#include "sdk/ble/platform/bluez/DeviceLink.hpp"

#include <algorithm>

namespace VexaDevice::BLE::Platform::Bluez {

// ---- CharacteristicLink ----------------------------------------------------------------

std::string CharacteristicLink::path() const {
    std::lock_guard lock(pathMutex_);
    return path_;
}

void CharacteristicLink::setPath(std::string objectPath) {
    std::lock_guard lock(pathMutex_);
    path_ = std::move(objectPath);
}

// ---- DeviceLink ------------------------------------------------------------------------

DeviceLink::DeviceLink(std::string objectPath, uint64_t deviceAddress)
    : path(std::move(objectPath)), address(deviceAddress) {}

void DeviceLink::addHandle(const std::shared_ptr<StatusRegistry>& statusHandlers) {
    std::lock_guard lock(mutex_);
    ++handles_;
    statusHandlers_.push_back(statusHandlers);
}

int DeviceLink::removeHandle(const std::shared_ptr<StatusRegistry>& statusHandlers) {
    std::lock_guard lock(mutex_);
    std::erase_if(statusHandlers_, [&](const auto& weak) {
        auto registry = weak.lock();
        return !registry || registry == statusHandlers;
    });
    return --handles_;
}

void DeviceLink::track(const std::shared_ptr<PendingCall>& call) {
    std::lock_guard lock(mutex_);
    std::erase_if(inFlight_, [](const auto& weak) { return weak.expired(); });
    inFlight_.push_back(call);
}

void DeviceLink::untrack(const std::shared_ptr<PendingCall>& call) {
    std::lock_guard lock(mutex_);
    std::erase_if(inFlight_, [&](const auto& weak) {
        auto pending = weak.lock();
        return !pending || pending == call;
    });
}

bool DeviceLink::setUp(bool up) {
    if (up_.exchange(up) == up) return false;
    if (!up) rebinding = false;
    std::vector<std::shared_ptr<StatusRegistry>> handlers;
    std::vector<std::shared_ptr<PendingCall>> calls;
    {
        std::lock_guard lock(mutex_);
        for (const auto& weak : statusHandlers_) {
            if (auto registry = weak.lock()) handlers.push_back(std::move(registry));
        }
        if (!up) {
            for (const auto& weak : inFlight_) {
                if (auto call = weak.lock()) calls.push_back(std::move(call));
            }
            inFlight_.clear();
        }
    }
    for (const auto& call : calls) call->complete({"org.bluez.Error.NotConnected", "The link to the device was lost."});
    for (const auto& registry : handlers) queue_.post([registry] { registry->invoke(); });
    return true;
}

void DeviceLink::markLost() {
    lost_.store(true);
    setUp(false);
}

std::shared_ptr<CharacteristicLink> DeviceLink::characteristic(const std::string& characteristicPath,
                                                               const CharacteristicIdentity& identity) {
    std::lock_guard lock(mutex_);
    auto& link = characteristics_[characteristicPath];
    if (!link) link = std::make_shared<CharacteristicLink>(characteristicPath, identity);
    return link;
}

void DeviceLink::move(const std::shared_ptr<CharacteristicLink>& characteristic,
                      const std::string& characteristicPath) {
    std::lock_guard lock(mutex_);
    auto old = characteristics_.find(characteristic->path());
    if (old != characteristics_.end() && old->second == characteristic) characteristics_.erase(old);
    characteristics_[characteristicPath] = characteristic;
    characteristic->setPath(characteristicPath);
}

std::shared_ptr<CharacteristicLink> DeviceLink::findCharacteristic(const std::string& characteristicPath) const {
    std::lock_guard lock(mutex_);
    auto found = characteristics_.find(characteristicPath);
    return found == characteristics_.end() ? nullptr : found->second;
}

std::vector<std::shared_ptr<CharacteristicLink>> DeviceLink::characteristics() const {
    std::lock_guard lock(mutex_);
    std::vector<std::shared_ptr<CharacteristicLink>> links;
    for (const auto& [characteristicPath, link] : characteristics_) links.push_back(link);
    return links;
}

void DeviceLink::deliver(const std::shared_ptr<ValueRegistry>& handlers, std::vector<uint8_t> value) {
    queue_.post([handlers, value = std::move(value)] { handlers->invoke(value); });
}

void DeviceLink::valueChanged(CharacteristicLink& characteristic, std::vector<uint8_t> value) {
    if (characteristic.mode != CharacteristicLink::Mode::Session) return;
    if (characteristic.readsInFlight > 0) {
        characteristic.held.push_back(std::move(value));
        return;
    }
    deliver(characteristic.handlers, std::move(value));
}

void DeviceLink::readEnded(CharacteristicLink& characteristic, const std::optional<std::vector<uint8_t>>& value) {
    if (value) {
        auto echo = std::find(characteristic.held.begin(), characteristic.held.end(), *value);
        if (echo != characteristic.held.end()) characteristic.held.erase(echo);
    }
    if (characteristic.readsInFlight > 0) return;
    for (auto& held : characteristic.held) deliver(characteristic.handlers, std::move(held));
    characteristic.held.clear();
}

void DeviceLink::announceRebound() {
    queue_.post([handlers = reboundHandlers_] { handlers->invoke(); });
}

void DeviceLink::setPairingHandlers(std::shared_ptr<PairingRegistry> handlers) {
    std::lock_guard lock(mutex_);
    pairing_ = std::move(handlers);
}

std::shared_ptr<PairingRegistry> DeviceLink::pairingHandlers() const {
    std::lock_guard lock(mutex_);
    return pairing_;
}

}  // namespace VexaDevice::BLE::Platform::Bluez
