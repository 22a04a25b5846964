#include "sdk/ble/platform/bluez/BluezDevice.hpp"

#include <fcntl.h>
#include <sys/socket.h>
#include <systemd/sd-bus.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

#include "sdk/ble/platform/bluez/BluezNames.hpp"
#include "sdk/ble/platform/bluez/GattRebinder.hpp"
#include "sdk/ble/platform/bluez/NotifySwitch.hpp"
#include "sdk/core/Log.hpp"

namespace VexaDevice::BLE::Platform::Bluez {

namespace {

constexpr int32_t objectClosedCode = 0x13;
constexpr uint16_t kBatteryService = 0x180F;
constexpr uint16_t kBatteryLevel = 0x2A19;
// Services the daemon keeps to itself: Generic Access, Generic Attribute, and Battery (behind
// its battery interface).
constexpr uint16_t kHiddenServices[] = {0x1800, 0x1801, kBatteryService};

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

void DeviceLink::move(const std::shared_ptr<CharacteristicLink>& characteristic, const std::string& characteristicPath) {
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

GattStatus BluezCharacteristic::outcomeStatus(const CallOutcome& outcome) {
    // The daemon answers Failed "Not connected" for a link it lost track of.
    if (outcome.errorName == "org.bluez.Error.NotConnected" ||
        (outcome.errorName == "org.bluez.Error.Failed" && outcome.errorMessage == "Not connected")) {
        platform_->dropLostLink(device_);
        return GattStatus::Unreachable;
    }
    return gattStatusOf(outcome);
}

CallOutcome BluezCharacteristic::callRetryingBusy(const char* member, const BluezPlatform::Builder& build,
                                                  BusLoop::ReplyHandler handler) {
    // A characteristic whose object went away with its table is called on its new one.
    platform_->waitFor([&] { return !link_->stale.load() || !device_->up(); },
                       std::chrono::steady_clock::now() + platform_->timing().rebindTimeout);
    CallOutcome outcome;
    for (int attempt = 0; attempt < 2; ++attempt) {
        outcome = platform_->call(link_->path(), kGattCharacteristic, member, build, handler,
                                  platform_->timing().callTimeout, device_);
        if (outcome.errorName != "org.bluez.Error.InProgress") break;
    }
    return outcome;
}

bool BluezCharacteristic::reachable() const { return device_->up() && platform_->linkUp(device_->path); }

GattReadResult BluezCharacteristic::readValue() {
    throwIfClosed(closed_);
    GattReadResult result;
    if (!reachable()) {
        result.status = GattStatus::Unreachable;
        return result;
    }
    auto value = std::make_shared<std::vector<uint8_t>>();
    auto link = link_;
    auto device = device_;
    const CallOutcome outcome = callRetryingBusy(
        "ReadValue",
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
        });
    result.status = outcomeStatus(outcome);
    if (result.status == GattStatus::Success) result.value = *value;
    return result;
}

GattStatus BluezCharacteristic::writeValue(const std::vector<uint8_t>& value, Acknowledged acknowledged) {
    throwIfClosed(closed_);
    if (!reachable()) return GattStatus::Unreachable;
    // A write with response where the characteristic takes one, else a write command.
    const char* type = (properties_ & CharacteristicProperty::Write) || !(properties_ & CharacteristicProperty::WriteWithoutResponse)
                           ? "request"
                           : "command";
    const CallOutcome outcome = callRetryingBusy(
        "WriteValue",
        [&value, type](sd_bus_message* message) {
            int r = sd_bus_message_append_array(message, 'y', value.data(), value.size());
            if (r >= 0) r = sd_bus_message_append(message, "a{sv}", 1, "type", "s", type);
            return r;
        },
        // The connection keeps the daemon's messages in order: the notifications handed over
        // before this reply are the ones the device sent before it acknowledged the write.
        [platform = platform_.get(), device = device_, acknowledged = std::move(acknowledged)](
            sd_bus_message*, const CallOutcome& outcome) {
            if (!outcome.ok() || !acknowledged) return;
            NotifySwitch::readSockets(*platform, device);
            device->queue().post(acknowledged);
        });
    return outcomeStatus(outcome);
}

GattStatus BluezCharacteristic::writeClientConfiguration(ClientConfiguration value) {
    throwIfClosed(closed_);
    if ((properties_ & (CharacteristicProperty::Notify | CharacteristicProperty::Indicate)) == 0) {
        return GattStatus::ProtocolError;
    }
    if (!reachable()) return GattStatus::Unreachable;
    return value == ClientConfiguration::None ? stopNotifications() : startNotifications();
}

GattStatus BluezCharacteristic::startNotifications() {
    // A socket closed a moment ago is still the daemon's until it notices the hang-up: wait for that.
    const auto deadline = std::chrono::steady_clock::now() + platform_->timing().callTimeout;
    platform_->waitFor([&] { return !link_->releasing.load() || !platform_->linkUp(device_->path); }, deadline);
    BluezPlatform* platform = platform_.get();
    // A refused socket costs a second call: StartNotify.
    const CallOutcome outcome = platform_->await(
        [platform, device = device_, link = link_](auto done) { NotifySwitch::start(*platform, device, link, std::move(done)); },
        2 * platform_->timing().callTimeout, device_);
    return outcomeStatus(outcome);
}

GattStatus BluezCharacteristic::stopNotifications() {
    BluezPlatform* platform = platform_.get();
    const CallOutcome outcome = platform_->await(
        [platform, link = link_](auto done) { NotifySwitch::stop(*platform, link, std::move(done)); },
        platform_->timing().callTimeout, device_);
    return outcomeStatus(outcome);
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

GattStatus BatteryLevelCharacteristic::writeValue(const std::vector<uint8_t>&, Acknowledged) {
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
        const auto identity = GattRebinder::identify(*platform_, device_->path, path);
        if (!identity) continue;
        const auto flags = properties->contains("Flags") ? properties->at("Flags").asStrings() : std::vector<std::string>{};
        result.characteristics.push_back(std::make_shared<BluezCharacteristic>(
            platform_, device_, device_->characteristic(path, *identity), *uuid, propertiesOfFlags(flags), closed_));
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
    return platform_->linkUp(device_->path) && !device_->lost() ? ConnectionStatus::Connected : ConnectionStatus::Disconnected;
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
        // InProgress: a Connect still running, most likely one of ours given up on; the link it
        // brings is taken down when we are done as well.
        if (outcome.errorName != "org.bluez.Error.AlreadyConnected") device_->connectedByUs().store(true);
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
    // Nor is one found lost, which we take down ourselves when we opened it.
    const auto deadline = std::chrono::steady_clock::now() + platform_->timing().connectTimeout;
    platform_->awaitDisconnects(device_->path, deadline);
    if (device_->connectedByUs().load()) platform_->waitFor([&] { return !device_->lost(); }, deadline);
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
    awaitNamedServices();
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

void BluezPeripheral::awaitNamedServices() {
    const auto complete = [&] {
        if (!platform_->linkUp(device_->path)) return true;
        const auto device = platform_->properties(device_->path, kDevice);
        const auto named = device && device->contains("UUIDs") ? device->at("UUIDs").asStrings() : std::vector<std::string>{};
        std::set<UUID> exported;
        for (const auto& path : platform_->children(kGattService, "Device", device_->path)) {
            const auto properties = platform_->properties(path, kGattService);
            if (const auto uuid = properties ? uuidOf(*properties) : std::nullopt) exported.insert(*uuid);
        }
        return std::all_of(named.begin(), named.end(), [&](const std::string& text) {
            const auto uuid = parseUuidText(text);
            const auto shortForm = uuid ? shortUuid(*uuid) : std::nullopt;
            const bool hidden =
                shortForm && std::find(std::begin(kHiddenServices), std::end(kHiddenServices), *shortForm) != std::end(kHiddenServices);
            return !uuid || hidden || exported.contains(*uuid);
        });
    };
    if (complete()) return;
    if (!platform_->waitFor(complete, std::chrono::steady_clock::now() + platform_->timing().servicesTimeout)) {
        Utility::sdkLog().info("Services the device names are still missing: the table is built without them");
        return;
    }
    // The daemon exports a service's characteristics right after the service, each in a signal
    // of its own: a reply from it comes after all of them.
    platform_->call(device_->path, "org.freedesktop.DBus.Peer", "Ping", nullptr, nullptr, platform_->timing().callTimeout);
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
