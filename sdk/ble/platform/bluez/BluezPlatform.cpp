#include "sdk/ble/platform/bluez/BluezPlatform.hpp"

#include <systemd/sd-bus.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <thread>

#include "sdk/ble/platform/bluez/BluezDevice.hpp"
#include "sdk/ble/platform/bluez/BluezNames.hpp"
#include "sdk/ble/platform/bluez/GattRebinder.hpp"
#include "sdk/ble/platform/bluez/NotifySwitch.hpp"
#include "sdk/ble/platform/bluez/PairingAgent.hpp"
#include "sdk/core/Log.hpp"

namespace VexaDevice::BLE::Platform::Bluez {

namespace {

using Clock = std::chrono::steady_clock;
// What the daemon changes of a device only when it hears the device: the signal strength and
// the advertising data. Names and services also change when a link resolves them.
const char* const kHeardProperties[] = {"RSSI", "ManufacturerData", "ServiceData", "AdvertisingFlags", "TxPower"};
constexpr const char* kSystemBusSocket = "unix:path=/run/dbus/system_bus_socket";
constexpr auto kSettleDeadline = std::chrono::milliseconds(3000);
constexpr uint8_t kServiceData16 = 0x16;
constexpr uint8_t kServiceData128 = 0x21;

bool flag(const PropertyMap& properties, const char* name) {
    auto found = properties.find(name);
    return found != properties.end() && found->second.asBool().value_or(false);
}

std::chrono::microseconds micros(std::chrono::milliseconds value) { return value; }

// ConnectDevice is experimental: daemons may lack it or keep it from ordinary users.
bool refusesConnectDevice(const CallOutcome& outcome) {
    static const char* const refusals[] = {"org.freedesktop.DBus.Error.UnknownMethod", "org.freedesktop.DBus.Error.AccessDenied",
                                           "org.bluez.Error.NotSupported", "org.bluez.Error.NotPermitted",
                                           "org.bluez.Error.NotAuthorized"};
    return std::find(std::begin(refusals), std::end(refusals), outcome.errorName) != std::end(refusals);
}

// A service-data section as it would have been advertised: the UUID (little-endian) then data.
DataSection serviceDataSection(const UUID& uuid, const DbusBytes& data) {
    DataSection section;
    if (const auto shortForm = shortUuid(uuid)) {
        section.type = kServiceData16;
        section.data = {static_cast<uint8_t>(*shortForm & 0xFF), static_cast<uint8_t>(*shortForm >> 8)};
    } else {
        section.type = kServiceData128;
        section.data.assign(uuid.bytes.rbegin(), uuid.bytes.rend());
    }
    section.data.insert(section.data.end(), data.begin(), data.end());
    return section;
}

}  // namespace

std::shared_ptr<BluezPlatform> BluezPlatform::create(const std::string& busAddress, BluezTiming timing) {
    std::shared_ptr<BluezPlatform> platform(new BluezPlatform(busAddress, timing));
    platform->start();
    return platform;
}

BluezPlatform::BluezPlatform(const std::string& busAddress, BluezTiming timing)
    : timing_(timing),
      agent_(std::make_shared<PairingAgent>(*this)),
      rebinder_(std::make_unique<GattRebinder>(*this, timing.rebindTimeout)),
      loop_(std::make_unique<BusLoop>(busAddress)) {}

BluezPlatform::~BluezPlatform() {
    // The loop stops first: no handler of it runs once the members start to go.
    loop_->stop();
}

void BluezPlatform::start() {
    loop_->post([this](sd_bus* bus) {
        agent_->exportOn(bus);
        loop_->addMatch(
            "type='signal',sender='org.freedesktop.DBus',interface='org.freedesktop.DBus',member='NameOwnerChanged',"
            "arg0='org.bluez'",
            [this](sd_bus_message* message) { onNameOwnerChanged(message); });
        loop_->addMatch("type='signal',interface='org.freedesktop.DBus.ObjectManager',member='InterfacesAdded'",
                        [this](sd_bus_message* message) { onInterfacesAdded(message); });
        loop_->addMatch("type='signal',interface='org.freedesktop.DBus.ObjectManager',member='InterfacesRemoved'",
                        [this](sd_bus_message* message) { onInterfacesRemoved(message); });
        loop_->addMatch(
            "type='signal',interface='org.freedesktop.DBus.Properties',member='PropertiesChanged',path_namespace='/org/bluez'",
            [this](sd_bus_message* message) { onPropertiesChanged(message); });
        loop_->onBroken([this] { vanish(); });

        sd_bus_message* call = newMethodCall(bus, "org.freedesktop.DBus", "/org/freedesktop/DBus",
                                             "org.freedesktop.DBus", "GetNameOwner");
        if (!call || sd_bus_message_append(call, "s", kService) < 0) {
            sd_bus_message_unref(call);
            return;
        }
        loop_->callAsync(call, micros(timing_.callTimeout), [this](sd_bus_message* reply, const CallOutcome& outcome) {
            const char* owner = nullptr;
            if (outcome.ok() && reply && sd_bus_message_read(reply, "s", &owner) >= 0 && owner) {
                {
                    std::lock_guard lock(mutex_);
                    owner_ = owner;
                }
                loadObjects();
                return;
            }
            std::lock_guard lock(mutex_);
            settled_ = true;
            ++generation_;
            changed_.notify_all();
        });
    });
}

bool BluezPlatform::waitUntilSettled(std::chrono::milliseconds deadline) {
    std::unique_lock lock(mutex_);
    changed_.wait_for(lock, deadline, [&] { return settled_; });
    return settled_ && !owner_.empty();
}

bool BluezPlatform::daemonPresent() const {
    std::lock_guard lock(mutex_);
    return !owner_.empty();
}

bool BluezPlatform::daemonFound() const {
    std::lock_guard lock(mutex_);
    return found_;
}

// ---- the mirrored tree (loop thread) -------------------------------------------------

bool BluezPlatform::fromDaemon(sd_bus_message* message) const {
    const char* sender = sd_bus_message_get_sender(message);
    std::lock_guard lock(mutex_);
    return sender && !owner_.empty() && owner_ == sender;
}

void BluezPlatform::loadObjects() {
    sd_bus_message* call = newMethodCall(loop_->bus(), kService, "/", kObjectManager, "GetManagedObjects");
    if (!call) return;
    loop_->callAsync(call, micros(timing_.callTimeout), [this](sd_bus_message* reply, const CallOutcome& outcome) {
        std::map<std::string, InterfaceMap> objects;
        if (outcome.ok() && reply && sd_bus_message_enter_container(reply, 'a', "{oa{sa{sv}}}") >= 0) {
            while (sd_bus_message_enter_container(reply, 'e', "oa{sa{sv}}") > 0) {
                const char* path = nullptr;
                InterfaceMap interfaces;
                if (sd_bus_message_read_basic(reply, 'o', &path) < 0 || readInterfaces(reply, interfaces) < 0) break;
                sd_bus_message_exit_container(reply);
                objects[path] = std::move(interfaces);
            }
        } else if (!outcome.ok()) {
            Utility::sdkLog().warn("Cannot read the Bluetooth daemon's objects: {} {}", outcome.errorName, outcome.errorMessage);
        }
        std::vector<std::string> devices;
        {
            std::lock_guard lock(mutex_);
            for (auto& [path, interfaces] : objects) {
                auto& known = tree_[path];
                for (auto& [name, properties] : interfaces) known[name] = std::move(properties);
                if (known.contains(kDevice)) devices.push_back(path);
            }
            settled_ = true;
            found_ = found_ || (outcome.ok() && !owner_.empty());
            agentRegistered_ = false;
            ++generation_;
        }
        changed_.notify_all();
        // What the daemon remembers is not heard: only the links follow it.
        for (const auto& path : devices) deviceChanged(path, false);
    });
}

void BluezPlatform::onNameOwnerChanged(sd_bus_message* message) {
    const char* name = nullptr;
    const char* previous = nullptr;
    const char* next = nullptr;
    if (sd_bus_message_read(message, "sss", &name, &previous, &next) < 0) return;
    if (previous && *previous) vanish();
    if (next && *next) {
        {
            std::lock_guard lock(mutex_);
            owner_ = next;
        }
        Utility::sdkLog().info("The Bluetooth daemon is on the bus");
        loadObjects();
    }
}

void BluezPlatform::vanish() {
    std::vector<std::shared_ptr<DeviceLink>> links;
    {
        std::lock_guard lock(mutex_);
        if (owner_.empty() && tree_.empty()) return;
        owner_.clear();
        tree_.clear();
        agentRegistered_ = false;
        discoveryUsers_ = 0;
        discoveryStops_ = 0;
        ++generation_;
        for (const auto& [path, link] : links_) links.push_back(link);
    }
    changed_.notify_all();
    Utility::sdkLog().warn("The Bluetooth daemon left the bus: the adapter reads as absent");
    abortWatchers();
    for (const auto& link : links) {
        // Notification sessions end with the daemon.
        for (const auto& characteristic : link->characteristics()) {
            closeSocket(*characteristic);
            characteristic->releasing = false;
            characteristic->mode = CharacteristicLink::Mode::Off;
            characteristic->held.clear();
        }
        link->setUp(false);
    }
}

void BluezPlatform::onInterfacesAdded(sd_bus_message* message) {
    if (!fromDaemon(message)) return;
    const char* path = nullptr;
    InterfaceMap interfaces;
    if (sd_bus_message_read_basic(message, 'o', &path) < 0 || readInterfaces(message, interfaces) < 0) return;
    const bool device = interfaces.contains(kDevice);
    const bool battery = interfaces.contains(kBattery);
    const bool characteristic = interfaces.contains(kGattCharacteristic);
    // The daemon makes an object with a signal strength for a device it just heard; one made
    // for a connection or a pairing has none.
    const bool heard = device && interfaces.at(kDevice).contains("RSSI");
    {
        std::lock_guard lock(mutex_);
        auto& known = tree_[path];
        for (auto& [name, properties] : interfaces) known[name] = std::move(properties);
        ++generation_;
    }
    changed_.notify_all();
    if (device || battery) deviceChanged(path, heard);
    if (characteristic) {
        if (const auto link = linkOwning(path)) rebinder_->added(link);
    }
}

void BluezPlatform::onInterfacesRemoved(sd_bus_message* message) {
    if (!fromDaemon(message)) return;
    const char* path = nullptr;
    std::vector<std::string> names;
    if (sd_bus_message_read_basic(message, 'o', &path) < 0 || readStrings(message, names) < 0) return;
    bool adapterGone = false;
    {
        std::lock_guard lock(mutex_);
        auto found = tree_.find(path);
        if (found == tree_.end()) return;
        for (const auto& name : names) {
            adapterGone = adapterGone || name == kAdapter;
            found->second.erase(name);
        }
        if (found->second.empty()) tree_.erase(found);
        ++generation_;
    }
    changed_.notify_all();
    if (adapterGone) abortWatchers();
    if (std::find(names.begin(), names.end(), kDevice) != names.end()) deviceChanged(path, false);
    if (std::find(names.begin(), names.end(), kGattCharacteristic) != names.end()) {
        if (const auto link = linkOwning(path)) rebinder_->removed(link, path);
    }
}

void BluezPlatform::onPropertiesChanged(sd_bus_message* message) {
    if (!fromDaemon(message)) return;
    const std::string path = sd_bus_message_get_path(message);
    const char* interface = nullptr;
    PropertyMap changed;
    std::vector<std::string> invalidated;
    if (sd_bus_message_read_basic(message, 's', &interface) < 0 || readProperties(message, changed) < 0) return;
    readStrings(message, invalidated);
    const std::string name = interface;
    if (name == kGattCharacteristic && changed.contains("NotifyAcquired") &&
        !changed.at("NotifyAcquired").asBool().value_or(true)) {
        // The daemon let go of a socket: a new one can be acquired. Cleared before the change
        // is counted, so a caller waiting for it sees the flag with the change.
        const auto link = linkOwning(path);
        if (const auto characteristic = link ? link->findCharacteristic(path) : nullptr) characteristic->releasing = false;
    }
    {
        std::lock_guard lock(mutex_);
        auto object = tree_.find(path);
        if (object == tree_.end()) return;
        auto known = object->second.find(name);
        if (known == object->second.end()) return;
        for (const auto& [key, value] : changed) known->second[key] = value;
        for (const auto& key : invalidated) known->second.erase(key);
        ++generation_;
    }
    changed_.notify_all();

    if (name == kDevice) {
        const bool heard = std::any_of(std::begin(kHeardProperties), std::end(kHeardProperties),
                                       [&](const char* key) { return changed.contains(key); });
        deviceChanged(path, heard);
    } else if (name == kAdapter) {
        if (changed.contains("Powered") && !changed.at("Powered").asBool().value_or(true)) abortWatchers();
    } else if (name == kGattCharacteristic && changed.contains("Value")) {
        const auto link = linkOwning(path);
        const auto characteristic = link ? link->findCharacteristic(path) : nullptr;
        const auto value = changed.at("Value").asBytes();
        if (characteristic && value) link->valueChanged(*characteristic, *value);
    } else if (name == kBattery && changed.contains("Percentage")) {
        const auto link = findLink(path);
        const auto level = changed.at("Percentage").asInt();
        if (link && level && link->batteryNotifying().load()) {
            link->deliver(link->batteryHandlers(), {static_cast<uint8_t>(*level)});
        }
    }
}

void BluezPlatform::deviceChanged(const std::string& path, bool heard) {
    if (heard) {
        std::optional<std::pair<Advertisement, bool>> advertisement;
        std::vector<std::shared_ptr<BluezWatcher>> watchers;
        {
            std::lock_guard lock(mutex_);
            advertisement = advertisementLocked(path);
            for (const auto& weak : watchers_) {
                if (auto watcher = weak.lock()) watchers.push_back(std::move(watcher));
            }
        }
        if (advertisement) {
            for (const auto& watcher : watchers) {
                if (!watcher->started()) continue;
                watcher->queue()->post([weak = std::weak_ptr(watcher), advertisement] {
                    if (auto live = weak.lock()) live->deliver(advertisement->first, advertisement->second);
                });
            }
        }
    }
    if (auto link = findLink(path)) refreshLink(link);
}

void BluezPlatform::followLink(const std::shared_ptr<DeviceLink>& link) {
    loop_->run([&](sd_bus*) { refreshLink(link); });
}

void BluezPlatform::refreshLink(const std::shared_ptr<DeviceLink>& link) {
    const auto device = properties(link->path, kDevice);
    if (!device || !flag(*device, "Connected")) {
        // Whoever connects the device next owns the link; a handle waiting for the lost one to
        // go down hears of it.
        link->connectedByUs().store(false);
        if (link->lost()) {
            link->clearLost();
            announceChange();
        }
    }
    const bool up = linkUp(link->path) && !link->lost();
    if (!link->setUp(up) || up) return;
    // Notification sockets close with the link; sessions started with StartNotify survive it.
    for (const auto& characteristic : link->characteristics()) {
        closeSocket(*characteristic);
        characteristic->releasing = false;
    }
}

void BluezPlatform::closeSocket(CharacteristicLink& link) {
    if (link.mode != CharacteristicLink::Mode::Socket) return;
    loop_->unwatch(link.fd);
    ::close(link.fd);
    link.fd = -1;
    link.mode = CharacteristicLink::Mode::Off;
}

void BluezPlatform::releaseSocket(CharacteristicLink& link) {
    if (link.mode != CharacteristicLink::Mode::Socket) return;
    closeSocket(link);
    link.releasing = true;
}

void BluezPlatform::abortWatchers() {
    std::vector<std::shared_ptr<BluezWatcher>> watchers;
    {
        std::lock_guard lock(mutex_);
        for (const auto& weak : watchers_) {
            if (auto watcher = weak.lock()) watchers.push_back(std::move(watcher));
        }
    }
    for (const auto& watcher : watchers) watcher->abort();
}

std::optional<std::string> BluezPlatform::adapterPathLocked() const {
    for (const auto& [path, interfaces] : tree_) {
        if (interfaces.contains(kAdapter)) return path;
    }
    return std::nullopt;
}

std::optional<std::pair<Advertisement, bool>> BluezPlatform::advertisementLocked(const std::string& path) const {
    auto object = tree_.find(path);
    if (object == tree_.end()) return std::nullopt;
    auto device = object->second.find(kDevice);
    if (device == object->second.end()) return std::nullopt;
    const PropertyMap& properties = device->second;
    auto get = [&](const char* key) -> const DbusValue* {
        auto found = properties.find(key);
        return found == properties.end() ? nullptr : &found->second;
    };
    const DbusValue* address = get("Address");
    const auto parsed = address ? parseAddress(address->asString().value_or("")) : std::nullopt;
    if (!parsed) return std::nullopt;

    Advertisement advertisement;
    advertisement.address = *parsed;
    bool heard = false;
    if (const DbusValue* rssi = get("RSSI"); rssi && rssi->asInt()) {
        advertisement.rssi = static_cast<int16_t>(*rssi->asInt());
        heard = true;
    }
    if (const DbusValue* name = get("Name")) advertisement.localName = name->asString().value_or("");
    if (const DbusValue* uuids = get("UUIDs")) {
        for (const auto& text : uuids->asStrings()) {
            if (auto uuid = parseUuidText(text)) advertisement.serviceUuids.push_back(*uuid);
        }
    }
    // Only daemons with experimental features report the advertised flags (and only for
    // packets that carried some). Where the property is missing nothing is known of them.
    const DbusValue* flags = get("AdvertisingFlags");
    const auto bytes = flags ? flags->asBytes() : std::nullopt;
    if (bytes && !bytes->empty()) {
        advertisement.flags = (*bytes)[0];
    } else {
        advertisement.flagsUnknown = true;
    }
    if (const DbusValue* manufacturer = get("ManufacturerData")) {
        if (const auto* entries = std::get_if<DbusDict>(&manufacturer->data)) {
            for (const auto& [key, value] : *entries) {
                const auto company = key.asInt();
                const auto data = value.asBytes();
                if (company && data) advertisement.manufacturerData.push_back({static_cast<uint16_t>(*company), *data});
            }
        }
    }
    if (const DbusValue* serviceData = get("ServiceData")) {
        if (const auto* entries = std::get_if<DbusDict>(&serviceData->data)) {
            for (const auto& [key, value] : *entries) {
                const auto uuid = parseUuidText(key.asString().value_or(""));
                const auto data = value.asBytes();
                if (uuid && data) advertisement.dataSections.push_back(serviceDataSection(*uuid, *data));
            }
        }
    }
    return std::pair{std::move(advertisement), heard};
}

// ---- queries from the library's threads ----------------------------------------------

std::optional<PropertyMap> BluezPlatform::properties(const std::string& path, const char* interface) const {
    std::lock_guard lock(mutex_);
    auto object = tree_.find(path);
    if (object == tree_.end()) return std::nullopt;
    auto found = object->second.find(interface);
    if (found == object->second.end()) return std::nullopt;
    return found->second;
}

std::vector<std::string> BluezPlatform::children(const char* interface, const char* parentKey,
                                                 const std::string& parent) const {
    std::vector<std::string> paths;
    std::lock_guard lock(mutex_);
    // The daemon names GATT objects by handle (service000a, char000b): path order is table order.
    for (auto object = tree_.lower_bound(parent + "/"); object != tree_.end(); ++object) {
        if (object->first.compare(0, parent.size() + 1, parent + "/") != 0) break;
        auto found = object->second.find(interface);
        if (found == object->second.end()) continue;
        auto owner = found->second.find(parentKey);
        if (owner != found->second.end() && owner->second.asString() == parent) paths.push_back(object->first);
    }
    return paths;
}

bool BluezPlatform::linkUp(const std::string& devicePath) const {
    const auto device = properties(devicePath, kDevice);
    return device && flag(*device, "Connected") && flag(*device, "ServicesResolved");
}

void BluezPlatform::announceChange() {
    {
        std::lock_guard lock(mutex_);
        ++generation_;
    }
    changed_.notify_all();
}

bool BluezPlatform::waitFor(const std::function<bool()>& condition, Clock::time_point deadline) {
    for (;;) {
        uint64_t seen = 0;
        {
            std::lock_guard lock(mutex_);
            seen = generation_;
        }
        if (condition()) return true;
        std::unique_lock lock(mutex_);
        if (!changed_.wait_until(lock, deadline, [&] { return generation_ != seen; })) {
            lock.unlock();
            return condition();
        }
    }
}

void BluezPlatform::send(const std::string& path, const char* interface, const char* member, const Builder& build,
                        BusLoop::ReplyHandler handler, std::chrono::milliseconds timeout) {
    sd_bus_message* message = newMethodCall(loop_->bus(), kService, path, interface, member);
    if (!message || (build && build(message) < 0)) {
        sd_bus_message_unref(message);
        if (handler) handler(nullptr, {"org.freedesktop.DBus.Error.InvalidArgs", "The call could not be built."});
        return;
    }
    loop_->callAsync(message, micros(timeout), std::move(handler));
}

CallOutcome BluezPlatform::await(Operation operation, std::chrono::milliseconds timeout, const std::shared_ptr<DeviceLink>& link) {
    auto pending = std::make_shared<PendingCall>();
    if (link) link->track(pending);
    loop_->post([pending, operation = std::move(operation)](sd_bus*) {
        operation([pending](const CallOutcome& outcome) { pending->complete(outcome); });
    });
    // The bus answers a timed-out call itself; the margin only guards a loop that stopped.
    const CallOutcome outcome = pending->wait(Clock::now() + timeout + std::chrono::milliseconds(500));
    if (link) link->untrack(pending);
    return outcome;
}

CallOutcome BluezPlatform::call(const std::string& path, const char* interface, const char* member,
                                const Builder& build, BusLoop::ReplyHandler handler, std::chrono::milliseconds timeout,
                                const std::shared_ptr<DeviceLink>& link) {
    return await(
        [this, path, interface, member, build, handler = std::move(handler), timeout](auto done) {
            send(path, interface, member, build,
                 [handler, done](sd_bus_message* reply, const CallOutcome& outcome) {
                     if (handler) handler(reply, outcome);
                     done(outcome);
                 },
                 timeout);
        },
        timeout, link);
}

void BluezPlatform::dropLostLink(const std::shared_ptr<DeviceLink>& link) {
    // On the loop, where the link's state is brought in line with the daemon's.
    loop_->run([&](sd_bus*) {
        // A link the daemon already reports down is no news.
        if (link->lost() || !linkUp(link->path)) return;
        link->markLost();
        if (!link->connectedByUs().load()) return;
        send(link->path, kDevice, "Disconnect", nullptr, [](sd_bus_message*, const CallOutcome&) {}, timing_.callTimeout);
    });
}

// ---- platform interface --------------------------------------------------------------

std::shared_ptr<IAdapter> BluezPlatform::defaultAdapter() {
    std::lock_guard lock(mutex_);
    const auto path = adapterPathLocked();
    if (!path) return nullptr;
    return std::make_shared<BluezAdapter>(flag(tree_.at(*path).at(kAdapter), "Powered"));
}

std::vector<RadioKind> BluezPlatform::radios() {
    std::lock_guard lock(mutex_);
    if (!adapterPathLocked()) return {};
    return {RadioKind::Bluetooth};
}

std::shared_ptr<IAdvertisementWatcher> BluezPlatform::createWatcher() {
    auto watcher = std::make_shared<BluezWatcher>(weak_from_this(), scannerQueue_);
    std::lock_guard lock(mutex_);
    std::erase_if(watchers_, [](const auto& weak) { return weak.expired(); });
    watchers_.push_back(watcher);
    return watcher;
}

void BluezPlatform::forgetWatcher(const BluezWatcher* watcher) {
    std::lock_guard lock(mutex_);
    std::erase_if(watchers_, [&](const auto& weak) {
        auto live = weak.lock();
        return !live || live.get() == watcher;
    });
}

bool BluezPlatform::acquireDiscovery() {
    std::string adapter;
    bool shared = false;
    {
        std::lock_guard lock(mutex_);
        const auto path = adapterPathLocked();
        if (!path || !flag(tree_.at(*path).at(kAdapter), "Powered")) return false;
        adapter = *path;
        shared = discoveryUsers_++ > 0;
    }
    if (!shared && !startDiscovery(adapter)) {
        std::lock_guard lock(mutex_);
        if (discoveryUsers_ > 0) --discoveryUsers_;
        return false;
    }
    // The daemon answers before its discovery runs: the scan counts as started once it does.
    if (waitFor([&] { return discovering(adapter); }, Clock::now() + timing_.callTimeout)) return true;
    Utility::sdkLog().warn("Discovery accepted but not running");
    releaseDiscovery();
    return false;
}

bool BluezPlatform::startDiscovery(const std::string& adapter) {
    // The daemon keeps a session of ours until it answered our StopDiscovery: a start before
    // that would be answered InProgress, then ended by the stop. The stop's own call timeout
    // bounds the wait.
    waitFor(
        [&] {
            std::lock_guard lock(mutex_);
            return discoveryStops_ == 0;
        },
        Clock::now() + timing_.callTimeout + std::chrono::milliseconds(500));
    const auto deadline = Clock::now() + timing_.callTimeout;
    // Low energy only, and every report of a device, not just its first.
    const CallOutcome filter = call(
        adapter, kAdapter, "SetDiscoveryFilter",
        [](sd_bus_message* message) {
            return sd_bus_message_append(message, "a{sv}", 2, "Transport", "s", "le", "DuplicateData", "b", 1);
        },
        nullptr, timing_.callTimeout);
    if (!filter.ok()) Utility::sdkLog().warn("Discovery filter refused: {} {}", filter.errorName, filter.errorMessage);
    for (;;) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
        const CallOutcome started =
            call(adapter, kAdapter, "StartDiscovery", nullptr, nullptr, std::max(left, std::chrono::milliseconds(1)));
        if (started.ok()) return true;
        // InProgress: a session of ours is still being stopped (one we stopped without waiting,
        // or whose stop timed out here).
        if (started.errorName != "org.bluez.Error.InProgress" || Clock::now() + timing_.discoveryRetryPause >= deadline) {
            Utility::sdkLog().warn("Discovery refused: {} {}", started.errorName, started.errorMessage);
            return false;
        }
        std::this_thread::sleep_for(timing_.discoveryRetryPause);
    }
}

bool BluezPlatform::discovering(const std::string& adapter) const {
    const auto properties = this->properties(adapter, kAdapter);
    return properties && flag(*properties, "Discovering");
}

void BluezPlatform::releaseDiscovery() {
    std::string adapter;
    {
        std::lock_guard lock(mutex_);
        if (discoveryUsers_ == 0 || --discoveryUsers_ > 0) return;
        const auto path = adapterPathLocked();
        if (!path) return;
        adapter = *path;
        ++discoveryStops_;
    }
    loop_->post([this, adapter](sd_bus* bus) {
        auto ended = [this] {
            {
                std::lock_guard lock(mutex_);
                if (discoveryStops_ > 0) --discoveryStops_;
                ++generation_;
            }
            changed_.notify_all();
        };
        sd_bus_message* message = newMethodCall(bus, kService, adapter, kAdapter, "StopDiscovery");
        if (!message) {
            ended();
            return;
        }
        loop_->callAsync(message, micros(timing_.callTimeout), [ended](sd_bus_message*, const CallOutcome&) { ended(); });
    });
}

std::shared_ptr<DeviceLink> BluezPlatform::findLink(const std::string& path) const {
    std::lock_guard lock(mutex_);
    auto found = links_.find(path);
    return found == links_.end() ? nullptr : found->second;
}

std::shared_ptr<DeviceLink> BluezPlatform::linkOwning(const std::string& objectPath) const {
    std::lock_guard lock(mutex_);
    for (const auto& [path, link] : links_) {
        if (objectPath.compare(0, path.size() + 1, path + "/") == 0) return link;
    }
    return nullptr;
}

std::shared_ptr<DeviceLink> BluezPlatform::holdLink(const std::string& path, uint64_t address,
                                                   const std::shared_ptr<StatusRegistry>& statusHandlers) {
    // Under the tree's lock: a handle closing meanwhile cannot forget the link this one joins.
    std::lock_guard lock(mutex_);
    auto& link = links_[path];
    if (!link) link = std::make_shared<DeviceLink>(path, address);
    link->addHandle(statusHandlers);
    return link;
}

std::shared_ptr<IPeripheral> BluezPlatform::openPeripheral(uint64_t address) {
    std::string adapter;
    {
        std::lock_guard lock(mutex_);
        const auto path = adapterPathLocked();
        if (!path) return nullptr;
        adapter = *path;
    }
    const std::string path = devicePath(adapter, address);
    bool connected = false;  // by ConnectDevice
    if (!properties(path, kDevice)) {
        // Static random addresses carry 11 in their top bits; the rest are taken as public.
        const char* type = ((address >> 46) & 0x3) == 0x3 ? "random" : "public";
        const std::string text = addressText(address);
        const CallOutcome created = call(
            adapter, kAdapter, "ConnectDevice",
            [&](sd_bus_message* message) {
                return sd_bus_message_append(message, "a{sv}", 2, "Address", "s", text.c_str(), "AddressType", "s", type);
            },
            nullptr, timing_.connectTimeout);
        const auto deadline = Clock::now() + timing_.connectTimeout;
        if (refusesConnectDevice(created)) {
            // Daemons without the call (or refusing it) find the device by discovering.
            Utility::sdkLog().info("Device not created directly ({}): discovering it", created.errorName);
            if (acquireDiscovery()) {
                waitFor([&] { return properties(path, kDevice).has_value(); }, deadline);
                releaseDiscovery();
            }
        } else if (created.ok() || created.errorName == "org.bluez.Error.AlreadyExists") {
            waitFor([&] { return properties(path, kDevice).has_value(); }, deadline);
        }
        if (!properties(path, kDevice)) return nullptr;
        connected = created.ok();
    }
    auto statusHandlers = std::make_shared<StatusRegistry>();
    auto link = holdLink(path, address, statusHandlers);
    if (connected) link->connectedByUs().store(true);
    return std::make_shared<BluezPeripheral>(shared_from_this(), std::move(link), std::move(statusHandlers));
}

void BluezPlatform::releaseLink(const std::shared_ptr<DeviceLink>& link, const std::shared_ptr<StatusRegistry>& statusHandlers) {
    {
        std::lock_guard lock(mutex_);
        if (link->removeHandle(statusHandlers) > 0) return;
        auto found = links_.find(link->path);
        if (found != links_.end() && found->second == link) links_.erase(found);
        // Counted with the link's removal: a handle opened from now on, which finds no link to
        // share, waits until this release has taken the link down (awaitDisconnects).
        ++disconnecting_[link->path];
    }
    // The sockets' watches hold the link: they go now, while the caller still holds it too.
    // The daemon keeps a session for this client until it is stopped.
    loop_->run([&](sd_bus*) {
        for (const auto& characteristic : link->characteristics()) {
            NotifySwitch::stop(*this, characteristic, [](const CallOutcome&) {});
            closeSocket(*characteristic);
        }
    });
    const auto device = properties(link->path, kDevice);
    // A link another program opened stays up for it.
    if (!device || !flag(*device, "Connected") || !link->connectedByUs().load()) {
        disconnectEnded(link->path);
        return;
    }
    // The daemon may take seconds to drop a link: nobody waits for it here.
    loop_->post([this, path = link->path](sd_bus* bus) {
        sd_bus_message* message = newMethodCall(bus, kService, path, kDevice, "Disconnect");
        if (!message) {
            disconnectEnded(path);
            return;
        }
        loop_->callAsync(message, micros(timing_.callTimeout),
                         [this, path](sd_bus_message*, const CallOutcome&) { disconnectEnded(path); });
    });
}

void BluezPlatform::disconnectEnded(const std::string& path) {
    {
        std::lock_guard lock(mutex_);
        auto found = disconnecting_.find(path);
        if (found != disconnecting_.end() && --found->second <= 0) disconnecting_.erase(found);
        ++generation_;
    }
    changed_.notify_all();
}

void BluezPlatform::awaitDisconnects(const std::string& devicePath, Clock::time_point deadline) {
    waitFor(
        [&] {
            std::lock_guard lock(mutex_);
            return !disconnecting_.contains(devicePath);
        },
        deadline);
}

bool BluezPlatform::ensureAgent() {
    {
        std::lock_guard lock(mutex_);
        if (agentRegistered_) return true;
    }
    const CallOutcome outcome = call(
        kRoot, kAgentManager, "RegisterAgent",
        [](sd_bus_message* message) {
            return sd_bus_message_append(message, "os", PairingAgent::kPath, PairingAgent::kCapability);
        },
        nullptr, timing_.callTimeout);
    if (!outcome.ok() && outcome.errorName != "org.bluez.Error.AlreadyExists") {
        Utility::sdkLog().warn("Pairing agent refused: {} {}", outcome.errorName, outcome.errorMessage);
        return false;
    }
    std::lock_guard lock(mutex_);
    agentRegistered_ = true;
    return true;
}

// ---- selection -----------------------------------------------------------------------

std::shared_ptr<BluezPlatform> systemPlatform() {
    const char* configured = std::getenv("DBUS_SYSTEM_BUS_ADDRESS");
    const std::string address = configured && *configured ? configured : kSystemBusSocket;
    try {
        auto platform = BluezPlatform::create(address);
        if (platform->waitUntilSettled(kSettleDeadline)) {
            Utility::sdkLog().info("Bluetooth through the Linux Bluetooth daemon on {}", address);
        } else {
            Utility::sdkLog().info("No Bluetooth daemon on {} yet: waiting for it", address);
        }
        return platform;
    } catch (const PlatformError& error) {
        Utility::sdkLog().info("No system bus: {}", error.message);
    }
    return nullptr;
}

}  // namespace VexaDevice::BLE::Platform::Bluez
