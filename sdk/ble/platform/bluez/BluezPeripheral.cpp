#include "sdk/ble/platform/bluez/BluezPeripheral.hpp"

#include <algorithm>
#include <set>

#include "sdk/ble/platform/bluez/BluezGatt.hpp"
#include "sdk/ble/platform/bluez/BluezNames.hpp"
#include "sdk/core/Log.hpp"

namespace VexaDevice::BLE::Platform::Bluez {

namespace {

// Services the daemon keeps to itself: Generic Access, Generic Attribute, and Battery (behind
// its battery interface).
constexpr uint16_t kHiddenServices[] = {0x1800, 0x1801, kBatteryService};

}  // namespace

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
    return platform_->linkUp(device_->path) && !device_->lost() ? ConnectionStatus::Connected
                                                                : ConnectionStatus::Disconnected;
}

Registration BluezPeripheral::onConnectionStatusChanged(std::function<void()> handler) {
    return statusHandlers_->add(std::move(handler));
}

Registration BluezPeripheral::onServicesRebound(std::function<void()> handler) {
    return device_->reboundHandlers()->add(std::move(handler));
}

PairingInfo BluezPeripheral::pairingInfo() const {
    const auto device = platform_->properties(device_->path, kDevice);
    if (!device) return {};
    return PairingInfo{true, isSet(*device, "Paired")};
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
    if (!outcome.ok())
        Utility::sdkLog().warn("Pairing refused by the Bluetooth daemon: {} {}", outcome.errorName,
                               outcome.errorMessage);
    return pairingStatusOf(outcome);
}

bool BluezPeripheral::connect() {
    const auto deadline = std::chrono::steady_clock::now() + platform_->timing().connectTimeout;
    const auto device = platform_->properties(device_->path, kDevice);
    if (!device) return false;
    if (!isSet(*device, "Connected")) {
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
            return !now || !isSet(*now, "Connected") || isSet(*now, "ServicesResolved");
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
        const auto uuid = properties ? uuidProperty(*properties) : std::nullopt;
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
        const auto named =
            device && device->contains("UUIDs") ? device->at("UUIDs").asStrings() : std::vector<std::string>{};
        std::set<UUID> exported;
        for (const auto& path : platform_->children(kGattService, "Device", device_->path)) {
            const auto properties = platform_->properties(path, kGattService);
            if (const auto uuid = properties ? uuidProperty(*properties) : std::nullopt) exported.insert(*uuid);
        }
        return std::all_of(named.begin(), named.end(), [&](const std::string& text) {
            const auto uuid = parseUuidText(text);
            const auto shortForm = uuid ? shortUuid(*uuid) : std::nullopt;
            const bool hidden = shortForm && std::find(std::begin(kHiddenServices), std::end(kHiddenServices),
                                                       *shortForm) != std::end(kHiddenServices);
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
    platform_->call(device_->path, "org.freedesktop.DBus.Peer", "Ping", nullptr, nullptr,
                    platform_->timing().callTimeout);
}

void BluezPeripheral::close() {
    if (closed_->exchange(true)) return;
    platform_->releaseLink(device_, statusHandlers_);
}

}  // namespace VexaDevice::BLE::Platform::Bluez
