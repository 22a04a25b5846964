#include "sdk/ble/platform/bluez/BluezPlatform.hpp"

#include <systemd/sd-bus.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>

#include "sdk/ble/platform/bluez/BluezGatt.hpp"
#include "sdk/ble/platform/bluez/BluezPeripheral.hpp"
#include "sdk/ble/platform/bluez/BluezWatcher.hpp"
#include "sdk/ble/platform/bluez/DeviceAdvertisement.hpp"
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

class BluezAdapter final : public IAdapter {
public:
    explicit BluezAdapter(bool powered) : powered_(powered) {}
    bool isCentralRoleSupported() const override { return true; }
    std::optional<RadioState> radioState() const override { return powered_ ? RadioState::On : RadioState::Off; }

private:
    bool powered_;
};

std::chrono::microseconds micros(std::chrono::milliseconds value) { return value; }

// ConnectDevice is experimental: daemons may lack it or keep it from ordinary users.
bool refusesConnectDevice(const CallOutcome& outcome) {
    static const char* const refusals[] = {"org.freedesktop.DBus.Error.UnknownMethod",
                                           "org.freedesktop.DBus.Error.AccessDenied", "org.bluez.Error.NotSupported",
                                           "org.bluez.Error.NotPermitted", "org.bluez.Error.NotAuthorized"};
    return std::find(std::begin(refusals), std::end(refusals), outcome.errorName) != std::end(refusals);
}

}  // namespace

std::shared_ptr<BluezPlatform> BluezPlatform::create(const std::string& busAddress, BluezTiming timing) {
    std::shared_ptr<BluezPlatform> platform(new BluezPlatform(busAddress, timing));
    platform->start();
    return platform;
}

BluezPlatform::BluezPlatform(const std::string& busAddress, BluezTiming timing)
    : timing_(timing),
      watchers_(std::make_unique<WatcherSet>()),
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
            "type='signal',interface='org.freedesktop.DBus.Properties',member='PropertiesChanged',path_namespace='/org/"
            "bluez'",
            [this](sd_bus_message* message) { onPropertiesChanged(message); });
        loop_->onBroken([this] { vanish(); });

        sd_bus_message* call =
            newMethodCall(bus, "org.freedesktop.DBus", "/org/freedesktop/DBus", "org.freedesktop.DBus", "GetNameOwner");
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
            {
                std::lock_guard lock(mutex_);
                settled_ = true;
            }
            objects_.announceChange();
        });
    });
}

bool BluezPlatform::waitUntilSettled(std::chrono::milliseconds deadline) {
    const auto settled = [&] {
        std::lock_guard lock(mutex_);
        return settled_;
    };
    objects_.waitFor(settled, Clock::now() + deadline);
    std::lock_guard lock(mutex_);
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
            Utility::sdkLog().warn("Cannot read the Bluetooth daemon's objects: {} {}", outcome.errorName,
                                   outcome.errorMessage);
        }
        {
            std::lock_guard lock(mutex_);
            settled_ = true;
            found_ = found_ || (outcome.ok() && !owner_.empty());
            agentRegistered_ = false;
        }
        // The tree's change wakes whoever waits for the daemon to be settled as well.
        const auto devices = objects_.load(std::move(objects));
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
    bool known = false;
    {
        std::lock_guard lock(mutex_);
        known = !owner_.empty();
        owner_.clear();
        agentRegistered_ = false;
        for (const auto& [path, link] : links_) links.push_back(link);
    }
    discovery_.reset();
    if (!objects_.clear() && !known) return;
    objects_.announceChange();
    Utility::sdkLog().warn("The Bluetooth daemon left the bus: the adapter reads as absent");
    watchers_->abortAll();
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
    objects_.add(path, std::move(interfaces));
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
    if (!objects_.remove(path, names)) return;
    if (std::find(names.begin(), names.end(), kAdapter) != names.end()) watchers_->abortAll();
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
        if (const auto characteristic = link ? link->findCharacteristic(path) : nullptr)
            characteristic->releasing = false;
    }
    if (!objects_.change(path, name, changed, invalidated)) return;

    if (name == kDevice) {
        const bool heard = std::any_of(std::begin(kHeardProperties), std::end(kHeardProperties),
                                       [&](const char* key) { return changed.contains(key); });
        deviceChanged(path, heard);
    } else if (name == kAdapter) {
        if (changed.contains("Powered") && !changed.at("Powered").asBool().value_or(true)) watchers_->abortAll();
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
        const auto device = objects_.properties(path, kDevice);
        const auto advertisement = device ? advertisementOf(*device) : std::nullopt;
        if (advertisement) watchers_->announce(advertisement->first, advertisement->second);
    }
    if (auto link = findLink(path)) refreshLink(link);
}

void BluezPlatform::followLink(const std::shared_ptr<DeviceLink>& link) {
    loop_->run([&](sd_bus*) { refreshLink(link); });
}

void BluezPlatform::refreshLink(const std::shared_ptr<DeviceLink>& link) {
    const auto device = properties(link->path, kDevice);
    if (!device || !isSet(*device, "Connected")) {
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

// ---- queries from the library's threads ----------------------------------------------

std::optional<PropertyMap> BluezPlatform::properties(const std::string& path, const char* interface) const {
    return objects_.properties(path, interface);
}

std::vector<std::string> BluezPlatform::children(const char* interface, const char* parentKey,
                                                 const std::string& parent) const {
    return objects_.children(interface, parentKey, parent);
}

bool BluezPlatform::linkUp(const std::string& devicePath) const {
    const auto device = properties(devicePath, kDevice);
    return device && isSet(*device, "Connected") && isSet(*device, "ServicesResolved");
}

void BluezPlatform::announceChange() { objects_.announceChange(); }

bool BluezPlatform::waitFor(const std::function<bool()>& condition, Clock::time_point deadline) {
    return objects_.waitFor(condition, deadline);
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

CallOutcome BluezPlatform::await(Operation operation, std::chrono::milliseconds timeout,
                                 const std::shared_ptr<DeviceLink>& link) {
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
            send(
                path, interface, member, build,
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
        send(
            link->path, kDevice, "Disconnect", nullptr, [](sd_bus_message*, const CallOutcome&) {},
            timing_.callTimeout);
    });
}

// ---- platform interface --------------------------------------------------------------

std::shared_ptr<IAdapter> BluezPlatform::defaultAdapter() {
    const auto path = objects_.adapterPath();
    const auto adapter = path ? objects_.properties(*path, kAdapter) : std::nullopt;
    if (!adapter) return nullptr;
    return std::make_shared<BluezAdapter>(isSet(*adapter, "Powered"));
}

std::vector<RadioKind> BluezPlatform::radios() {
    if (!objects_.adapterPath()) return {};
    return {RadioKind::Bluetooth};
}

std::shared_ptr<IAdvertisementWatcher> BluezPlatform::createWatcher() { return watchers_->create(weak_from_this()); }

void BluezPlatform::forgetWatcher(const BluezWatcher* watcher) { watchers_->forget(watcher); }

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
    const auto adapterPath = objects_.adapterPath();
    if (!adapterPath) return nullptr;
    const std::string& adapter = *adapterPath;
    const std::string path = devicePath(adapter, address);
    bool connected = false;  // by ConnectDevice
    if (!properties(path, kDevice)) {
        // Static random addresses carry 11 in their top bits; the rest are taken as public.
        const char* type = ((address >> 46) & 0x3) == 0x3 ? "random" : "public";
        const std::string text = addressText(address);
        const CallOutcome created = call(
            adapter, kAdapter, "ConnectDevice",
            [&](sd_bus_message* message) {
                return sd_bus_message_append(message, "a{sv}", 2, "Address", "s", text.c_str(), "AddressType", "s",
                                             type);
            },
            nullptr, timing_.connectTimeout);
        const auto deadline = Clock::now() + timing_.connectTimeout;
        if (refusesConnectDevice(created)) {
            // Daemons without the call (or refusing it) find the device by discovering.
            Utility::sdkLog().info("Device not created directly ({}): discovering it", created.errorName);
            if (discovery_.acquire()) {
                waitFor([&] { return properties(path, kDevice).has_value(); }, deadline);
                discovery_.release();
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

void BluezPlatform::releaseLink(const std::shared_ptr<DeviceLink>& link,
                                const std::shared_ptr<StatusRegistry>& statusHandlers) {
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
    if (!device || !isSet(*device, "Connected") || !link->connectedByUs().load()) {
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
    }
    objects_.announceChange();
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
