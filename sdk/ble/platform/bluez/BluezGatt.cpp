#include "sdk/ble/platform/bluez/BluezGatt.hpp"

#include <systemd/sd-bus.h>

#include "sdk/ble/platform/bluez/BluezNames.hpp"
#include "sdk/ble/platform/bluez/GattRebinder.hpp"
#include "sdk/ble/platform/bluez/NotifySwitch.hpp"

namespace VexaDevice::BLE::Platform::Bluez {

namespace {

constexpr int32_t objectClosedCode = 0x13;
constexpr uint16_t kBatteryLevel = 0x2A19;
// What the daemon answers a call that reaches an object it has just removed.
constexpr const char* kUnknownObject = "org.freedesktop.DBus.Error.UnknownObject";

int appendNoOptions(sd_bus_message* message) { return sd_bus_message_append(message, "a{sv}", 0); }

}  // namespace

void throwIfClosed(const ClosedFlag& closed) {
    if (closed->load()) throw PlatformError{objectClosedCode, "The object has been closed."};
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

// A characteristic whose object went away with its table is called on its new one: a call
// waits until the table is back with its notifications on again (or the link is gone).
void BluezCharacteristic::awaitRebind() {
    platform_->waitFor([&] { return (!link_->stale.load() && !device_->rebinding.load()) || !device_->up(); },
                       std::chrono::steady_clock::now() + platform_->timing().rebindTimeout);
}

template <class Call>
CallOutcome BluezCharacteristic::callOnLiveObject(Call call) {
    awaitRebind();
    CallOutcome outcome = call();
    // The table went away while the call was on its way: the device never saw it.
    if (outcome.errorName == kUnknownObject) {
        awaitRebind();
        outcome = call();
    }
    return outcome;
}

CallOutcome BluezCharacteristic::callRetryingBusy(const char* member, const BluezPlatform::Builder& build,
                                                  BusLoop::ReplyHandler handler) {
    return callOnLiveObject([&] {
        CallOutcome outcome;
        for (int attempt = 0; attempt < 2; ++attempt) {
            outcome = platform_->call(link_->path(), kGattCharacteristic, member, build, handler,
                                      platform_->timing().callTimeout, device_);
            if (outcome.errorName != "org.bluez.Error.InProgress") break;
        }
        return outcome;
    });
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
    const char* type =
        (properties_ & CharacteristicProperty::Write) || !(properties_ & CharacteristicProperty::WriteWithoutResponse)
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
    return outcomeStatus(callOnLiveObject(
        [&] { return value == ClientConfiguration::None ? stopNotifications() : startNotifications(); }));
}

CallOutcome BluezCharacteristic::startNotifications() {
    // A socket closed a moment ago is still the daemon's until it notices the hang-up: wait for that.
    const auto deadline = std::chrono::steady_clock::now() + platform_->timing().callTimeout;
    platform_->waitFor([&] { return !link_->releasing.load() || !platform_->linkUp(device_->path); }, deadline);
    BluezPlatform* platform = platform_.get();
    // A refused socket costs a second call: StartNotify.
    return platform_->await([platform, device = device_, link = link_](
                                auto done) { NotifySwitch::start(*platform, device, link, std::move(done)); },
                            2 * platform_->timing().callTimeout, device_);
}

CallOutcome BluezCharacteristic::stopNotifications() {
    BluezPlatform* platform = platform_.get();
    return platform_->await(
        [platform, link = link_](auto done) { NotifySwitch::stop(*platform, link, std::move(done)); },
        platform_->timing().callTimeout, device_);
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
    const auto percentage =
        battery && battery->contains("Percentage") ? battery->at("Percentage").asInt() : std::nullopt;
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

BluezService::BluezService(std::shared_ptr<BluezPlatform> platform, std::shared_ptr<DeviceLink> device,
                           std::string path, UUID uuid, ClosedFlag closed)
    : platform_(std::move(platform)),
      device_(std::move(device)),
      path_(std::move(path)),
      uuid_(uuid),
      closed_(std::move(closed)) {}

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
        const auto uuid = uuidProperty(*properties);
        if (!uuid) continue;
        const auto identity = GattRebinder::identify(*platform_, device_->path, path);
        if (!identity) continue;
        const auto flags =
            properties->contains("Flags") ? properties->at("Flags").asStrings() : std::vector<std::string>{};
        result.characteristics.push_back(std::make_shared<BluezCharacteristic>(
            platform_, device_, device_->characteristic(path, *identity), *uuid, propertiesOfFlags(flags), closed_));
    }
    // A service whose object went with its table (found again under new paths) has no
    // characteristics to list: the caller is to ask the device's table again.
    if (!platform_->properties(path_, kGattService)) {
        result.characteristics.clear();
        result.status = GattStatus::ProtocolError;
    }
    return result;
}

}  // namespace VexaDevice::BLE::Platform::Bluez
