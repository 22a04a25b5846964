#pragma once
// Internal: what the daemon's backend keeps of one remote device while handles are open on it,
// and of each of its characteristics the library holds.

#include <atomic>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "sdk/ble/platform/BlePlatform.hpp"
#include "sdk/ble/platform/HandlerRegistry.hpp"
#include "sdk/ble/platform/bluez/BusLoop.hpp"
#include "sdk/ble/platform/bluez/DeliveryQueue.hpp"

namespace VexaDevice::BLE::Platform::Bluez {

using StatusRegistry = HandlerRegistry<>;
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
    Mode mode = Mode::Off;           // Session: StartNotify, values from PropertiesChanged; Socket: AcquireNotify
    bool wanted = false;             // notifications are on as far as the library knows
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

    // Told on this device's delivery thread, after the values delivered before, that its table
    // was resolved again and every characteristic moved to it works again.
    const std::shared_ptr<StatusRegistry>& reboundHandlers() const { return reboundHandlers_; }
    void announceRebound();
    // Loop thread: notification switches still under way on a table resolved again.
    int rebindSwitches = 0;
    // From the first object of a table resolved again going away until every characteristic
    // works again (or the link goes down): a call waits meanwhile, so that what the device
    // answers on another characteristic is not sent before its notifications are back.
    std::atomic<bool> rebinding{false};

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
    const std::shared_ptr<StatusRegistry> reboundHandlers_ = std::make_shared<StatusRegistry>();
    const std::shared_ptr<ValueRegistry> batteryHandlers_ = std::make_shared<ValueRegistry>();
    std::atomic<bool> batteryNotifying_{false};
    DeliveryQueue queue_;
};

}  // namespace VexaDevice::BLE::Platform::Bluez
