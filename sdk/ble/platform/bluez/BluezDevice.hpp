#pragma once
// Internal: the per-device state of the daemon's backend and the platform objects built on it.

#include <atomic>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <vector>

#include "sdk/ble/platform/BlePlatform.hpp"
#include "sdk/ble/platform/HandlerRegistry.hpp"
#include "sdk/ble/platform/bluez/BluezPlatform.hpp"
#include "sdk/ble/platform/bluez/DeliveryQueue.hpp"

namespace VexaDevice::BLE::Platform::Bluez {

using ValueRegistry = HandlerRegistry<const std::vector<uint8_t>&>;
using PairingRegistry = HandlerRegistry<PairingRequest&>;

// Which characteristic of a device's table a link stands for, whatever its object path: its
// service's UUID, its own, and how many before it in the table have both.
struct CharacteristicIdentity {
    UUID service;
    UUID characteristic;
    int ordinal = 0;
    bool operator==(const CharacteristicIdentity&) const = default;
};

// One remote characteristic as this platform follows it. Every field but the handler list, the
// path and the release flag belongs to the loop thread.
struct CharacteristicLink {
    enum class Mode { Off, Session, Socket };

    CharacteristicLink(std::string objectPath, CharacteristicIdentity identity)
        : identity(identity), path_(std::move(objectPath)) {}

    const CharacteristicIdentity identity;
    // The daemon's object for it; a table resolved again moves it to a new one.
    std::string path() const;
    void setPath(std::string objectPath);

    const std::shared_ptr<ValueRegistry> handlers = std::make_shared<ValueRegistry>();
    Mode mode = Mode::Off;  // Session: StartNotify, values from PropertiesChanged; Socket: AcquireNotify
    bool wanted = false;    // notifications are on as far as the library knows
    std::atomic<bool> stale{false};  // its object is gone and no new one was found yet
    int fd = -1;
    uint16_t mtu = 0;  // of the acquired socket
    // Told how a start of notifications in flight ended.
    std::vector<std::function<void(const CallOutcome&)>> starting;
    // Set when this side closed an acquired socket on a live link: the daemon refuses a new one
    // until it has noticed the hang-up, which it reports as NotifyAcquired turning false.
    std::atomic<bool> releasing{false};
    // Reads in flight: the daemon announces each read's value as a change of Value too, and
    // such changes are held until the read's reply says which one was the read.
    int readsInFlight = 0;
    std::deque<std::vector<uint8_t>> held;

private:
    mutable std::mutex pathMutex_;
    std::string path_;
};

// One remote device: its delivery thread, the handles open on it, its calls in flight.
class DeviceLink {
public:
    DeviceLink(std::string path, uint64_t address);

    const std::string path;
    const uint64_t address;

    void addHandle(const std::shared_ptr<StatusRegistry>& statusHandlers);
    // The number of handles still open.
    int removeHandle(const std::shared_ptr<StatusRegistry>& statusHandlers);

    void track(const std::shared_ptr<PendingCall>& call);
    void untrack(const std::shared_ptr<PendingCall>& call);

    // The link's state from the daemon (down until first seen up). A change is announced to every open handle;
    // a lost link fails the calls in flight at once. True when the state changed.
    bool setUp(bool up);
    bool up() const { return up_.load(); }
    // The link stopped working though the daemon still reports it: it reads as down (setUp)
    // until the daemon reports it dropped.
    void markLost();
    bool lost() const { return lost_.load(); }
    void clearLost() { lost_.store(false); }
    // This platform connected the device (and so takes the link down when done with it).
    std::atomic<bool>& connectedByUs() { return connectedByUs_; }

    std::shared_ptr<CharacteristicLink> characteristic(const std::string& path, const CharacteristicIdentity& identity);
    // Loop thread: the characteristic moves to a new object path.
    void move(const std::shared_ptr<CharacteristicLink>& characteristic, const std::string& path);
    std::shared_ptr<CharacteristicLink> findCharacteristic(const std::string& path) const;
    std::vector<std::shared_ptr<CharacteristicLink>> characteristics() const;

    // Hands a value to the handlers on this device's delivery thread.
    void deliver(const std::shared_ptr<ValueRegistry>& handlers, std::vector<uint8_t> value);
    // Loop thread: a change of Value seen for the characteristic.
    void valueChanged(CharacteristicLink& characteristic, std::vector<uint8_t> value);
    // Loop thread: one read of the characteristic ended (with its value when it succeeded).
    void readEnded(CharacteristicLink& characteristic, const std::optional<std::vector<uint8_t>>& value);

    // Battery level presented from the daemon's battery interface.
    const std::shared_ptr<ValueRegistry>& batteryHandlers() const { return batteryHandlers_; }
    std::atomic<bool>& batteryNotifying() { return batteryNotifying_; }

    // The pairing handlers of the handle pairing right now, for the agent.
    void setPairingHandlers(std::shared_ptr<PairingRegistry> handlers);
    std::shared_ptr<PairingRegistry> pairingHandlers() const;

    DeliveryQueue& queue() { return queue_; }

private:
    mutable std::mutex mutex_;
    std::atomic<bool> up_{false};
    std::atomic<bool> lost_{false};
    std::atomic<bool> connectedByUs_{false};
    std::vector<std::weak_ptr<StatusRegistry>> statusHandlers_;
    int handles_ = 0;
    std::vector<std::weak_ptr<PendingCall>> inFlight_;
    std::map<std::string, std::shared_ptr<CharacteristicLink>> characteristics_;
    std::shared_ptr<PairingRegistry> pairing_;
    const std::shared_ptr<ValueRegistry> batteryHandlers_ = std::make_shared<ValueRegistry>();
    std::atomic<bool> batteryNotifying_{false};
    DeliveryQueue queue_;
};

using ClosedFlag = std::shared_ptr<const std::atomic<bool>>;

class BluezCharacteristic final : public IGattCharacteristic {
public:
    BluezCharacteristic(std::shared_ptr<BluezPlatform> platform, std::shared_ptr<DeviceLink> device,
                        std::shared_ptr<CharacteristicLink> link, UUID uuid, uint32_t properties, ClosedFlag closed);

    UUID uuid() const override { return uuid_; }
    uint32_t properties() const override { return properties_; }
    GattReadResult readValue() override;
    using IGattCharacteristic::writeValue;
    GattStatus writeValue(const std::vector<uint8_t>& value, Acknowledged acknowledged) override;
    GattStatus writeClientConfiguration(ClientConfiguration value) override;
    Registration onValueChanged(std::function<void(const std::vector<uint8_t>&)> handler) override;

private:
    // The daemon refused the call because the link is gone, which it does not always report.
    GattStatus outcomeStatus(const CallOutcome& outcome);
    // A call the daemon answered InProgress is made once more.
    CallOutcome callRetryingBusy(const char* member, const BluezPlatform::Builder& build, BusLoop::ReplyHandler handler);
    GattStatus startNotifications();
    GattStatus stopNotifications();
    bool reachable() const;

    const std::shared_ptr<BluezPlatform> platform_;
    const std::shared_ptr<DeviceLink> device_;
    const std::shared_ptr<CharacteristicLink> link_;
    const UUID uuid_;
    const uint32_t properties_;
    const ClosedFlag closed_;
};

// Battery Level read from the daemon's battery interface, for devices whose Battery service
// the daemon keeps to itself.
class BatteryLevelCharacteristic final : public IGattCharacteristic {
public:
    BatteryLevelCharacteristic(std::shared_ptr<BluezPlatform> platform, std::shared_ptr<DeviceLink> device,
                               ClosedFlag closed);

    UUID uuid() const override;
    uint32_t properties() const override;
    GattReadResult readValue() override;
    using IGattCharacteristic::writeValue;
    GattStatus writeValue(const std::vector<uint8_t>& value, Acknowledged acknowledged) override;
    GattStatus writeClientConfiguration(ClientConfiguration value) override;
    Registration onValueChanged(std::function<void(const std::vector<uint8_t>&)> handler) override;

private:
    const std::shared_ptr<BluezPlatform> platform_;
    const std::shared_ptr<DeviceLink> device_;
    const ClosedFlag closed_;
};

class BluezService final : public IGattService {
public:
    // An empty object path stands for the Battery service made from the battery interface.
    BluezService(std::shared_ptr<BluezPlatform> platform, std::shared_ptr<DeviceLink> device, std::string path,
                 UUID uuid, ClosedFlag closed);

    UUID uuid() const override { return uuid_; }
    GattCharacteristicsResult characteristics() override;

private:
    const std::shared_ptr<BluezPlatform> platform_;
    const std::shared_ptr<DeviceLink> device_;
    const std::string path_;
    const UUID uuid_;
    const ClosedFlag closed_;
};

class BluezPeripheral final : public IPeripheral {
public:
    // The platform opened the handle on the link with these status handlers.
    BluezPeripheral(std::shared_ptr<BluezPlatform> platform, std::shared_ptr<DeviceLink> device,
                    std::shared_ptr<StatusRegistry> statusHandlers);
    ~BluezPeripheral() override;

    uint64_t address() const override { return device_->address; }
    std::string name() const override;
    ConnectionStatus connectionStatus() const override;
    Registration onConnectionStatusChanged(std::function<void()> handler) override;
    PairingInfo pairingInfo() const override;
    Registration onPairingRequested(std::function<void(PairingRequest&)> handler) override;
    PairingStatus pair(PairingKind kinds, ProtectionLevel minimumLevel) override;
    GattServicesResult gattServices() override;
    void close() override;

private:
    bool connect();
    // Waits (bounded) until the daemon exported every service the device names: some export
    // the last ones after reporting the services resolved.
    void awaitNamedServices();

    const std::shared_ptr<BluezPlatform> platform_;
    const std::shared_ptr<DeviceLink> device_;
    const std::shared_ptr<std::atomic<bool>> closed_ = std::make_shared<std::atomic<bool>>(false);
    const std::shared_ptr<StatusRegistry> statusHandlers_;
    const std::shared_ptr<PairingRegistry> pairingHandlers_ = std::make_shared<PairingRegistry>();
};

class BluezWatcher final : public IAdvertisementWatcher, public std::enable_shared_from_this<BluezWatcher> {
public:
    BluezWatcher(std::weak_ptr<BluezPlatform> platform, std::shared_ptr<DeliveryQueue> queue);
    ~BluezWatcher() override;

    void configure(const WatcherSettings& settings) override;
    void start() override;
    void stop() override;
    WatcherStatus status() const override;
    Registration onReceived(std::function<void(const Advertisement&)> handler) override;
    Registration onStopped(std::function<void()> handler) override;

    bool started() const { return status() == WatcherStatus::Started; }
    // On the delivery thread.
    // `heard`: the daemon reported a signal strength (it has none for devices only remembered).
    void deliver(Advertisement advertisement, bool heard);
    // The daemon or the adapter went away: the scan ends on its own.
    void abort();
    const std::shared_ptr<DeliveryQueue>& queue() const { return queue_; }

private:
    void finish(WatcherStatus finalStatus);

    using AdvertisementRegistry = HandlerRegistry<const Advertisement&>;
    const std::weak_ptr<BluezPlatform> platform_;
    const std::shared_ptr<DeliveryQueue> queue_;
    mutable std::mutex mutex_;
    WatcherSettings settings_;
    WatcherStatus status_ = WatcherStatus::Created;
    bool holdsDiscovery_ = false;
    const std::shared_ptr<AdvertisementRegistry> receivedHandlers_ = std::make_shared<AdvertisementRegistry>();
    const std::shared_ptr<StatusRegistry> stoppedHandlers_ = std::make_shared<StatusRegistry>();
};

class BluezAdapter final : public IAdapter {
public:
    explicit BluezAdapter(bool powered) : powered_(powered) {}
    bool isCentralRoleSupported() const override { return true; }
    std::optional<RadioState> radioState() const override { return powered_ ? RadioState::On : RadioState::Off; }

private:
    bool powered_;
};

}  // namespace VexaDevice::BLE::Platform::Bluez
