#include "sdk/ble/platform/bluez/BluezDevice.hpp"

#include <fcntl.h>
#include <sys/socket.h>
#include <systemd/sd-bus.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

#include "sdk/ble/platform/bluez/BluezNames.hpp"
#include "sdk/core/Log.hpp"

namespace VexaDevice::BLE::Platform::Bluez {

namespace {

constexpr int32_t objectClosedCode = 0x13;
constexpr uint16_t kBatteryService = 0x180F;
constexpr uint16_t kBatteryLevel = 0x2A19;
constexpr size_t kLargestNotification = 1024;

void throwIfClosed(const ClosedFlag& closed) {
    if (closed->load()) throw PlatformError{objectClosedCode, "The object has been closed."};
}

int appendNoOptions(sd_bus_message* message) { return sd_bus_message_append(message, "a{sv}", 0); }

bool flag(const PropertyMap& properties, const char* name) {
    auto found = properties.find(name);
    return found != properties.end() && found->second.asBool().value_or(false);
}

std::optional<UUID> uuidOf(const PropertyMap& properties) {
    auto found = properties.find("UUID");
    if (found == properties.end()) return std::nullopt;
    return parseUuidText(found->second.asString().value_or(""));
}

}  // namespace

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

std::shared_ptr<CharacteristicLink> DeviceLink::characteristic(const std::string& characteristicPath) {
    std::lock_guard lock(mutex_);
    auto& link = characteristics_[characteristicPath];
    if (!link) link = std::make_shared<CharacteristicLink>(characteristicPath);
    return link;
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

void DeviceLink::setPairingHandlers(std::shared_ptr<PairingRegistry> handlers) {
    std::lock_guard lock(mutex_);
    pairing_ = std::move(handlers);
}

std::shared_ptr<PairingRegistry> DeviceLink::pairingHandlers() const {
    std::lock_guard lock(mutex_);
    return pairing_;
}

// ---- BluezCharacteristic ---------------------------------------------------------------

BluezCharacteristic::BluezCharacteristic(std::shared_ptr<BluezPlatform> platform, std::shared_ptr<DeviceLink> device,
                                         std::shared_ptr<CharacteristicLink> link, UUID uuid, uint32_t properties,
                                         ClosedFlag closed)
    : platform_(std::move(platform)),
      device_(std::move(device)),
      link_(std::move(link)),
      uuid_(uuid),
      properties_(properties),
      closed_(std::move(closed)) {}

GattReadResult BluezCharacteristic::readValue() {
    throwIfClosed(closed_);
    GattReadResult result;
    if (!platform_->linkUp(device_->path)) {
        result.status = GattStatus::Unreachable;
        return result;
    }
    auto value = std::make_shared<std::vector<uint8_t>>();
    auto link = link_;
    auto device = device_;
    const CallOutcome outcome = platform_->call(
        link_->path, kGattCharacteristic, "ReadValue",
        [link](sd_bus_message* message) {
            const int r = appendNoOptions(message);
            if (r >= 0) ++link->readsInFlight;
            return r;
        },
        [link, device, value](sd_bus_message* reply, const CallOutcome& outcome) {
            --link->readsInFlight;
            std::optional<std::vector<uint8_t>> read;
            DbusValue bytes;
            if (outcome.ok() && reply && Bluez::readValue(reply, bytes) >= 0) read = bytes.asBytes();
            if (read) *value = *read;
            device->readEnded(*link, read);
        },
        platform_->timing().callTimeout, device_);
    result.status = gattStatusOf(outcome);
    if (result.status == GattStatus::Success) result.value = *value;
    return result;
}

GattStatus BluezCharacteristic::writeValue(const std::vector<uint8_t>& value) {
    throwIfClosed(closed_);
    if (!platform_->linkUp(device_->path)) return GattStatus::Unreachable;
    // A write with response where the characteristic takes one, else a write command.
    const char* type = (properties_ & CharacteristicProperty::Write) || !(properties_ & CharacteristicProperty::WriteWithoutResponse)
                           ? "request"
                           : "command";
    const CallOutcome outcome = platform_->call(
        link_->path, kGattCharacteristic, "WriteValue",
        [&value, type](sd_bus_message* message) {
            int r = sd_bus_message_append_array(message, 'y', value.data(), value.size());
            if (r >= 0) r = sd_bus_message_append(message, "a{sv}", 1, "type", "s", type);
            return r;
        },
        nullptr, platform_->timing().callTimeout, device_);
    return gattStatusOf(outcome);
}

GattStatus BluezCharacteristic::writeClientConfiguration(ClientConfiguration value) {
    throwIfClosed(closed_);
    if ((properties_ & (CharacteristicProperty::Notify | CharacteristicProperty::Indicate)) == 0) {
        return GattStatus::ProtocolError;
    }
    if (!platform_->linkUp(device_->path)) return GattStatus::Unreachable;
    return value == ClientConfiguration::None ? stopNotifications() : startNotifications();
}

GattStatus BluezCharacteristic::startNotifications() {
    auto mode = CharacteristicLink::Mode::Off;
    platform_->loop().run([&](sd_bus*) { mode = link_->mode; });
    if (mode != CharacteristicLink::Mode::Off) return GattStatus::Success;

    const auto properties = platform_->properties(link_->path, kGattCharacteristic);
    const bool acquire = properties && properties->contains("NotifyAcquired");
    auto link = link_;
    auto device = device_;
    BluezPlatform* platform = platform_.get();
    if (acquire) {
        // The fast path: one datagram per notification on a socket of our own. A socket closed
        // a moment ago is still the daemon's until it notices the hang-up: wait for that.
        const auto deadline = std::chrono::steady_clock::now() + platform_->timing().callTimeout;
        platform_->waitFor([&] { return !link_->releasing.load() || !platform_->linkUp(device_->path); }, deadline);
        const CallOutcome outcome = platform_->call(
            link_->path, kGattCharacteristic, "AcquireNotify", appendNoOptions,
            [link, device, platform](sd_bus_message* reply, const CallOutcome& outcome) {
                int fd = -1;
                uint16_t mtu = 0;
                if (!outcome.ok() || !reply || sd_bus_message_read(reply, "hq", &fd, &mtu) < 0) return;
                const int own = fcntl(fd, F_DUPFD_CLOEXEC, 3);
                if (own < 0) return;
                if (!platform->linkUp(device->path) || link->mode != CharacteristicLink::Mode::Off) {
                    ::close(own);
                    return;
                }
                link->fd = own;
                link->mode = CharacteristicLink::Mode::Socket;
                platform->loop().watch(own, [link, device, platform] {
                    uint8_t buffer[kLargestNotification];
                    for (;;) {
                        const ssize_t got = recv(link->fd, buffer, sizeof(buffer), MSG_DONTWAIT);
                        if (got > 0) {
                            device->deliver(link->handlers, std::vector<uint8_t>(buffer, buffer + got));
                            continue;
                        }
                        if (got < 0 && errno == EINTR) continue;
                        if (got < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) return;
                        platform->closeSocket(*link);
                        return;
                    }
                });
            },
            platform_->timing().callTimeout, device_);
        return gattStatusOf(outcome);
    }
    const CallOutcome outcome = platform_->call(
        link_->path, kGattCharacteristic, "StartNotify", nullptr,
        [link](sd_bus_message*, const CallOutcome& outcome) {
            if (outcome.ok() || outcome.errorName == "org.bluez.Error.InProgress") link->mode = CharacteristicLink::Mode::Session;
        },
        platform_->timing().callTimeout, device_);
    if (outcome.errorName == "org.bluez.Error.InProgress") return GattStatus::Success;
    return gattStatusOf(outcome);
}

GattStatus BluezCharacteristic::stopNotifications() {
    auto mode = CharacteristicLink::Mode::Off;
    platform_->loop().run([&](sd_bus*) {
        mode = link_->mode;
        if (mode == CharacteristicLink::Mode::Socket) platform_->releaseSocket(*link_);
    });
    if (mode != CharacteristicLink::Mode::Session) return GattStatus::Success;
    auto link = link_;
    const CallOutcome outcome = platform_->call(
        link_->path, kGattCharacteristic, "StopNotify", nullptr,
        [link](sd_bus_message*, const CallOutcome&) { link->mode = CharacteristicLink::Mode::Off; },
        platform_->timing().callTimeout, device_);
    return gattStatusOf(outcome);
}

Registration BluezCharacteristic::onValueChanged(std::function<void(const std::vector<uint8_t>&)> handler) {
    return link_->handlers->add(std::move(handler));
}

// ---- BatteryLevelCharacteristic --------------------------------------------------------

BatteryLevelCharacteristic::BatteryLevelCharacteristic(std::shared_ptr<BluezPlatform> platform,
                                                       std::shared_ptr<DeviceLink> device, ClosedFlag closed)
    : platform_(std::move(platform)), device_(std::move(device)), closed_(std::move(closed)) {}

UUID BatteryLevelCharacteristic::uuid() const { return uuidOfShort(kBatteryLevel); }

uint32_t BatteryLevelCharacteristic::properties() const {
    return CharacteristicProperty::Read | CharacteristicProperty::Notify;
}

GattReadResult BatteryLevelCharacteristic::readValue() {
    throwIfClosed(closed_);
    GattReadResult result;
    const auto battery = platform_->properties(device_->path, kBattery);
    const auto percentage = battery && battery->contains("Percentage") ? battery->at("Percentage").asInt() : std::nullopt;
    if (!platform_->linkUp(device_->path) || !percentage) {
        result.status = GattStatus::Unreachable;
        return result;
    }
    result.value = {static_cast<uint8_t>(*percentage)};
    return result;
}

GattStatus BatteryLevelCharacteristic::writeValue(const std::vector<uint8_t>&) {
    throwIfClosed(closed_);
    return GattStatus::ProtocolError;
}

GattStatus BatteryLevelCharacteristic::writeClientConfiguration(ClientConfiguration value) {
    throwIfClosed(closed_);
    if (!platform_->linkUp(device_->path)) return GattStatus::Unreachable;
    device_->batteryNotifying().store(value != ClientConfiguration::None);
    return GattStatus::Success;
}

Registration BatteryLevelCharacteristic::onValueChanged(std::function<void(const std::vector<uint8_t>&)> handler) {
    return device_->batteryHandlers()->add(std::move(handler));
}

// ---- BluezService ----------------------------------------------------------------------

BluezService::BluezService(std::shared_ptr<BluezPlatform> platform, std::shared_ptr<DeviceLink> device, std::string path,
                           UUID uuid, ClosedFlag closed)
    : platform_(std::move(platform)), device_(std::move(device)), path_(std::move(path)), uuid_(uuid), closed_(std::move(closed)) {}

GattCharacteristicsResult BluezService::characteristics() {
    throwIfClosed(closed_);
    GattCharacteristicsResult result;
    if (!platform_->linkUp(device_->path)) {
        result.status = GattStatus::Unreachable;
        return result;
    }
    if (path_.empty()) {
        result.characteristics.push_back(std::make_shared<BatteryLevelCharacteristic>(platform_, device_, closed_));
        return result;
    }
    for (const auto& path : platform_->children(kGattCharacteristic, "Service", path_)) {
        const auto properties = platform_->properties(path, kGattCharacteristic);
        if (!properties) continue;
        const auto uuid = uuidOf(*properties);
        if (!uuid) continue;
        const auto flags = properties->contains("Flags") ? properties->at("Flags").asStrings() : std::vector<std::string>{};
        result.characteristics.push_back(std::make_shared<BluezCharacteristic>(
            platform_, device_, device_->characteristic(path), *uuid, propertiesOfFlags(flags), closed_));
    }
    return result;
}

// ---- BluezPeripheral -------------------------------------------------------------------

BluezPeripheral::BluezPeripheral(std::shared_ptr<BluezPlatform> platform, std::shared_ptr<DeviceLink> device,
                                 std::shared_ptr<StatusRegistry> statusHandlers)
    : platform_(std::move(platform)), device_(std::move(device)), statusHandlers_(std::move(statusHandlers)) {}

BluezPeripheral::~BluezPeripheral() { close(); }

std::string BluezPeripheral::name() const {
    const auto device = platform_->properties(device_->path, kDevice);
    if (!device || !device->contains("Name")) return {};
    return device->at("Name").asString().value_or("");
}

ConnectionStatus BluezPeripheral::connectionStatus() const {
    return platform_->linkUp(device_->path) ? ConnectionStatus::Connected : ConnectionStatus::Disconnected;
}

Registration BluezPeripheral::onConnectionStatusChanged(std::function<void()> handler) {
    return statusHandlers_->add(std::move(handler));
}

PairingInfo BluezPeripheral::pairingInfo() const {
    const auto device = platform_->properties(device_->path, kDevice);
    if (!device) return {};
    return PairingInfo{true, flag(*device, "Paired")};
}

Registration BluezPeripheral::onPairingRequested(std::function<void(PairingRequest&)> handler) {
    return pairingHandlers_->add(std::move(handler));
}

PairingStatus BluezPeripheral::pair(PairingKind, ProtectionLevel) {
    throwIfClosed(closed_);
    if (!platform_->properties(device_->path, kDevice)) return PairingStatus::ConnectionRejected;
    if (pairingHandlers_->empty()) return PairingStatus::RequiredHandlerNotRegistered;
    if (!platform_->ensureAgent()) return PairingStatus::RequiredHandlerNotRegistered;
    device_->setPairingHandlers(pairingHandlers_);
    // A link lost meanwhile ends the pairing at once, as it ends every call made for the device.
    const CallOutcome outcome =
        platform_->call(device_->path, kDevice, "Pair", nullptr, nullptr, platform_->timing().pairTimeout, device_);
    device_->setPairingHandlers(nullptr);
    if (!outcome.ok()) Utility::sdkLog().warn("Pairing refused by the Bluetooth daemon: {} {}", outcome.errorName, outcome.errorMessage);
    return pairingStatusOf(outcome);
}

bool BluezPeripheral::connect() {
    const auto deadline = std::chrono::steady_clock::now() + platform_->timing().connectTimeout;
    const auto device = platform_->properties(device_->path, kDevice);
    if (!device) return false;
    if (!flag(*device, "Connected")) {
        const CallOutcome outcome =
            platform_->call(device_->path, kDevice, "Connect", nullptr, nullptr, platform_->timing().connectTimeout);
        if (!outcome.ok() && outcome.errorName != "org.bluez.Error.AlreadyConnected" &&
            outcome.errorName != "org.bluez.Error.InProgress") {
            Utility::sdkLog().warn("Bluetooth connection failed: {} {}", outcome.errorName, outcome.errorMessage);
            return false;
        }
    }
    // The daemon answers Connect before it has resolved the services; a link that drops
    // meanwhile ends the wait.
    platform_->waitFor(
        [&] {
            const auto now = platform_->properties(device_->path, kDevice);
            return !now || !flag(*now, "Connected") || flag(*now, "ServicesResolved");
        },
        deadline);
    return platform_->linkUp(device_->path);
}

GattServicesResult BluezPeripheral::gattServices() {
    throwIfClosed(closed_);
    GattServicesResult result;
    // A link an earlier handle is taking down still reads as up: it is not this handle's to use.
    platform_->awaitDisconnects(device_->path, std::chrono::steady_clock::now() + platform_->timing().connectTimeout);
    if (!platform_->linkUp(device_->path) && !connect()) {
        result.status = GattStatus::Unreachable;
        return result;
    }
    // A link that came up before this handle (ConnectDevice connects at once) is announced now.
    platform_->followLink(device_);
    if (!device_->up()) {
        result.status = GattStatus::Unreachable;
        return result;
    }
    bool batteryService = false;
    for (const auto& path : platform_->children(kGattService, "Device", device_->path)) {
        const auto properties = platform_->properties(path, kGattService);
        const auto uuid = properties ? uuidOf(*properties) : std::nullopt;
        if (!uuid) continue;
        batteryService = batteryService || shortUuid(*uuid) == kBatteryService;
        result.services.push_back(std::make_shared<BluezService>(platform_, device_, path, *uuid, closed_));
    }
    if (!batteryService && platform_->properties(device_->path, kBattery)) {
        result.services.push_back(
            std::make_shared<BluezService>(platform_, device_, std::string(), uuidOfShort(kBatteryService), closed_));
    }
    return result;
}

void BluezPeripheral::close() {
    if (closed_->exchange(true)) return;
    platform_->releaseLink(device_, statusHandlers_);
}

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
        if (holds) platform->releaseDiscovery();
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
    if (!platform || !platform->acquireDiscovery()) {
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
        if (auto platform = platform_.lock()) platform->releaseDiscovery();
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

Registration BluezWatcher::onStopped(std::function<void()> handler) { return stoppedHandlers_->add(std::move(handler)); }

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

}  // namespace VexaDevice::BLE::Platform::Bluez
