#pragma once
// The platform interface on the Linux Bluetooth daemon's D-Bus API.
//
// The backend mirrors the daemon's object tree (ObjectManager plus PropertiesChanged) and
// answers the platform's questions from it: the first object with Adapter1 is the adapter,
// the daemon hearing a device (a Device1 object added with a signal strength, a change of its
// signal strength or advertising data) is an advertisement, GattService1 / GattCharacteristic1
// objects under a resolved device are its GATT table. The daemon's name is watched: when it
// goes away the adapter reads as absent, watchers abort and links drop; when it returns the
// tree is loaded again.
//
// Threads: one loop thread owns the D-Bus connection; handlers of the library run on delivery
// threads (one for the watchers, one per device), never on the loop.

#include <chrono>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "sdk/ble/platform/BlePlatform.hpp"
#include "sdk/ble/platform/HandlerRegistry.hpp"
#include "sdk/ble/platform/bluez/BusLoop.hpp"
#include "sdk/ble/platform/bluez/DbusValue.hpp"
#include "sdk/ble/platform/bluez/DeviceLink.hpp"
#include "sdk/ble/platform/bluez/DiscoverySession.hpp"
#include "sdk/ble/platform/bluez/ObjectMirror.hpp"

namespace VexaDevice::BLE::Platform::Bluez {

struct BluezTiming {
    std::chrono::milliseconds callTimeout{10000};     // any one D-Bus call
    std::chrono::milliseconds connectTimeout{20000};  // Connect until the services are resolved
    std::chrono::milliseconds pairTimeout{60000};     // Pair, the agent's questions included
    // Services the device names but the daemon has not exported yet when ServicesResolved turns true
    std::chrono::milliseconds servicesTimeout{2000};
    // An open characteristic whose object went away, until one standing for it is exported again
    std::chrono::milliseconds rebindTimeout{1500};
    // Pause before StartDiscovery is asked again when the daemon answered InProgress (a stop
    // of ours still being carried out).
    std::chrono::milliseconds discoveryRetryPause{100};
};

class BluezWatcher;
class WatcherSet;
class PairingAgent;
class GattRebinder;

class BluezPlatform final : public IBlePlatform, public std::enable_shared_from_this<BluezPlatform> {
public:
    // Connects to the bus at the address and follows the daemon's name there. Throws
    // PlatformError when the bus cannot be reached.
    static std::shared_ptr<BluezPlatform> create(const std::string& busAddress, BluezTiming timing = {});
    ~BluezPlatform() override;

    // Waits until the daemon's name was looked up (and its objects loaded when it has an
    // owner); true when the daemon is there.
    bool waitUntilSettled(std::chrono::milliseconds deadline);
    bool daemonPresent() const;
    // True once the daemon's objects were loaded, even when the daemon came after this
    // platform and whether or not it left since.
    bool daemonFound() const;

    std::shared_ptr<IAdapter> defaultAdapter() override;
    std::vector<RadioKind> radios() override;
    std::shared_ptr<IAdvertisementWatcher> createWatcher() override;
    std::shared_ptr<IPeripheral> openPeripheral(uint64_t address) override;

    // ---- used by the objects the platform hands out ----
    const BluezTiming& timing() const { return timing_; }

    // One method call to the daemon, waited for on the calling thread. The builder appends the
    // arguments and the handler sees the reply, both on the loop thread. A call made for a
    // device fails at once when that device's link drops.
    using Builder = std::function<int(sd_bus_message*)>;
    CallOutcome call(const std::string& path, const char* interface, const char* member, const Builder& build,
                     BusLoop::ReplyHandler handler, std::chrono::milliseconds timeout,
                     const std::shared_ptr<DeviceLink>& link = nullptr);
    BusLoop& loop() { return *loop_; }
    // Loop thread: sends one method call; the handler sees the reply or the error on the loop.
    void send(const std::string& path, const char* interface, const char* member, const Builder& build,
              BusLoop::ReplyHandler handler, std::chrono::milliseconds timeout);
    // Starts an operation on the loop and waits until it reports its outcome (or the timeout
    // passes). An operation made for a device fails at once when that device's link drops.
    using Operation = std::function<void(std::function<void(const CallOutcome&)> done)>;
    CallOutcome await(Operation operation, std::chrono::milliseconds timeout, const std::shared_ptr<DeviceLink>& link);
    // The link stopped working while the daemon still reports it up: every handle hears of the
    // loss and a link this platform connected is taken down, so that a reconnection starts afresh.
    void dropLostLink(const std::shared_ptr<DeviceLink>& link);

    // The mirrored tree, as ObjectMirror answers.
    std::optional<PropertyMap> properties(const std::string& path, const char* interface) const;
    std::vector<std::string> children(const char* interface, const char* parentKey, const std::string& parent) const;
    void announceChange();
    bool waitFor(const std::function<bool()>& condition, std::chrono::steady_clock::time_point deadline);
    // Connected and ServicesResolved.
    bool linkUp(const std::string& devicePath) const;

    // The discovery session every watcher of this platform shares.
    DiscoverySession& discovery() { return discovery_; }
    void forgetWatcher(const BluezWatcher* watcher);
    // Loop thread: closes a characteristic's notification socket.
    void closeSocket(CharacteristicLink& link);
    // Loop thread: closes the socket because notifications are switched off, while the daemon
    // still holds its end.
    void releaseSocket(CharacteristicLink& link);

    // Closes one handle on the link. The last one closed forgets the link (its delivery
    // thread ends with it), closes its notification sockets and asks the daemon to drop it.
    void releaseLink(const std::shared_ptr<DeviceLink>& link, const std::shared_ptr<StatusRegistry>& statusHandlers);
    // Waits until the daemon answered every Disconnect this platform asked of the device (or the
    // deadline passes): until then the link the daemon reports is the one being taken down.
    void awaitDisconnects(const std::string& devicePath, std::chrono::steady_clock::time_point deadline);
    // Brings the link's state in line with the daemon's, on the loop thread where every other
    // change of it is made: a state read elsewhere could be outdated by the time it is applied.
    void followLink(const std::shared_ptr<DeviceLink>& link);
    // The link of a device path while a handle was opened on it; empty otherwise.
    std::shared_ptr<DeviceLink> findLink(const std::string& path) const;
    // Makes sure the pairing agent is registered with the daemon.
    bool ensureAgent();

private:
    BluezPlatform(const std::string& busAddress, BluezTiming timing);
    void start();

    // Loop thread.
    void onNameOwnerChanged(sd_bus_message* message);
    void onInterfacesAdded(sd_bus_message* message);
    void onInterfacesRemoved(sd_bus_message* message);
    void onPropertiesChanged(sd_bus_message* message);
    void loadObjects();
    void vanish();
    // `heard`: the change is the daemon hearing the device (a signal strength or advertising
    // data reported); only such changes reach the watchers.
    void deviceChanged(const std::string& path, bool heard);
    bool fromDaemon(sd_bus_message* message) const;
    // Opens a handle on the device's link, making the link when no handle is open.
    std::shared_ptr<DeviceLink> holdLink(const std::string& path, uint64_t address,
                                         const std::shared_ptr<StatusRegistry>& statusHandlers);
    void refreshLink(const std::shared_ptr<DeviceLink>& link);
    // Loop thread: the daemon answered (or the bus gave up on) a Disconnect of the device.
    void disconnectEnded(const std::string& path);
    std::shared_ptr<DeviceLink> linkOwning(const std::string& objectPath) const;

    const BluezTiming timing_;
    ObjectMirror objects_;
    // Guards what follows that is not a class of its own.
    mutable std::mutex mutex_;
    std::string owner_;  // unique name of the daemon, empty while it is away
    bool settled_ = false;
    bool found_ = false;  // the daemon's objects were loaded once
    bool agentRegistered_ = false;
    std::map<std::string, std::shared_ptr<DeviceLink>> links_;
    std::map<std::string, int> disconnecting_;  // Disconnect calls in flight, by device path
    DiscoverySession discovery_{*this, objects_};
    const std::unique_ptr<WatcherSet> watchers_;
    std::shared_ptr<PairingAgent> agent_;
    std::unique_ptr<GattRebinder> rebinder_;
    // Last: the loop stops (and with it every handler that uses the members above) first.
    std::unique_ptr<BusLoop> loop_;
};

// The daemon's backend on the system bus (DBUS_SYSTEM_BUS_ADDRESS, else the standard socket),
// once the daemon's name was looked up; empty when the bus cannot be reached. The daemon may
// come later: the backend follows its name (see daemonFound).
std::shared_ptr<BluezPlatform> systemPlatform();

}  // namespace VexaDevice::BLE::Platform::Bluez
