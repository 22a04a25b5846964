#include "sim/bluez/BluezEmulator.hpp"

#include <sys/socket.h>
#include <systemd/sd-bus.h>
#include <unistd.h>

#include <algorithm>
#include <future>
#include <map>
#include <mutex>
#include <set>
#include <thread>
#include <utility>
#include <vector>

#include "sdk/ble/platform/bluez/BluezNames.hpp"
#include "sdk/ble/platform/bluez/BusLoop.hpp"
#include "sdk/ble/platform/bluez/DbusValue.hpp"

namespace VexaSim {

namespace Platform = VexaDevice::BLE::Platform;
namespace Bluez = VexaDevice::BLE::Platform::Bluez;
using Bluez::BusLoop;
using Bytes = std::vector<uint8_t>;

namespace {

constexpr const char* kAdapterPath = "/org/bluez/hci0";
constexpr const char* kAdapterAddress = "00:1A:7D:DA:71:13";
constexpr uint16_t kBatteryService = 0x180F;
constexpr uint16_t kBatteryLevel = 0x2A19;
constexpr uint16_t kClientConfiguration = 0x2902;
constexpr auto kAgentTimeout = std::chrono::seconds(5);
constexpr uint8_t kServiceData16 = 0x16;
constexpr uint8_t kServiceData128 = 0x21;

// A read or write the device refused, as the daemon answers it.
int replyGattError(sd_bus_message* message, Platform::GattStatus status, const char* refusal) {
    switch (status) {
    case Platform::GattStatus::Unreachable:
        return sd_bus_reply_method_errorf(message, "org.bluez.Error.Failed", "Not connected");
    case Platform::GattStatus::AccessDenied:
        return sd_bus_reply_method_errorf(message, "org.bluez.Error.NotPermitted", "%s", refusal);
    default:
        return sd_bus_reply_method_errorf(message, "org.bluez.Error.Failed", "Operation failed");
    }
}

int replyNotConnected(sd_bus_message* message) {
    return sd_bus_reply_method_errorf(message, "org.bluez.Error.Failed", "Not connected");
}

const char* refusalText(const std::string& errorName) {
    return errorName == "org.bluez.Error.InProgress" ? "In Progress" : "Notify acquired";
}

const char* errorOf(Platform::PairingStatus status) {
    switch (status) {
    case Platform::PairingStatus::AlreadyPaired:
        return "org.bluez.Error.AlreadyExists";
    case Platform::PairingStatus::RejectedByHandler:
    case Platform::PairingStatus::RequiredHandlerNotRegistered:
        return "org.bluez.Error.AuthenticationRejected";
    case Platform::PairingStatus::AuthenticationFailure:
        return "org.bluez.Error.AuthenticationFailed";
    case Platform::PairingStatus::PairingCanceled:
        return "org.bluez.Error.AuthenticationCanceled";
    case Platform::PairingStatus::AuthenticationTimeout:
        return "org.bluez.Error.AuthenticationTimeout";
    case Platform::PairingStatus::ConnectionRejected:
        return "org.bluez.Error.ConnectionAttemptFailed";
    default:
        return "org.bluez.Error.Failed";
    }
}

int appendStrings(sd_bus_message* reply, const std::vector<std::string>& strings) {
    int r = sd_bus_message_open_container(reply, 'a', "s");
    for (const auto& text : strings) {
        if (r >= 0) r = sd_bus_message_append_basic(reply, 's', text.c_str());
    }
    return r < 0 ? r : sd_bus_message_close_container(reply);
}

int appendBytes(sd_bus_message* reply, const Bytes& bytes) {
    return sd_bus_message_append_array(reply, 'y', bytes.data(), bytes.size());
}

}  // namespace

struct EmulatedDevice;

struct EmulatedService {
    std::string path;
    std::string devicePath;
    Platform::UUID uuid;
};

struct EmulatedCharacteristic {
    BluezEmulator::Impl* impl = nullptr;
    EmulatedDevice* device = nullptr;
    std::string path;
    std::string servicePath;
    Platform::UUID uuid;
    uint32_t properties = 0;
    size_t index = 0;  // position in the device's table, to match the views of each connection
    std::shared_ptr<Platform::IGattCharacteristic> sim;
    Platform::Registration valueHandler;
    Bytes value;
    bool notifying = false;
    std::mutex socketMutex;
    int socket = -1;  // our end of an acquired notification socket
};

struct EmulatedDescriptor {
    BluezEmulator::Impl* impl = nullptr;
    std::string path;
    std::string characteristicPath;
};

struct EmulatedDevice {
    BluezEmulator::Impl* impl = nullptr;
    std::string path;
    uint64_t address = 0;
    bool heard = false;  // first reported by a scan (it reports its advertised flags)
    int16_t rssi = 0;
    // The signal strength exists while the running discovery hears the device: the daemon
    // drops it when discovery stops.
    sd_bus_slot* rssiSlot = nullptr;
    std::optional<uint8_t> flags;
    std::string name;
    std::set<std::string> uuids;  // the daemon keeps them sorted
    std::map<uint16_t, Bytes> manufacturer;
    std::map<std::string, Bytes> serviceData;  // by UUID text
    bool connected = false;
    bool resolved = false;
    bool paired = false;
    std::optional<uint8_t> battery;
    LinkFaults faults;
    int connectAttempts = 0;
    bool inProgressAnswered = false;
    int busyAnswered = 0;
    bool lateServiceDone = false;
    bool reresolveScheduled = false;
    std::shared_ptr<Platform::IPeripheral> handle;
    Platform::Registration statusHandler;
    Platform::Registration pairingHandler;
    bool gattExported = false;
    uint16_t nextHandle = 0x000A;
    std::vector<std::shared_ptr<EmulatedService>> services;
    std::vector<std::shared_ptr<EmulatedCharacteristic>> characteristics;
    std::vector<std::shared_ptr<EmulatedDescriptor>> descriptors;
    std::shared_ptr<Platform::IGattCharacteristic> batterySim;
    Platform::Registration batteryHandler;
    std::vector<sd_bus_slot*> slots;
    std::vector<sd_bus_slot*> gattSlots;
};

// Lets other threads post to the loop until it is closed; what is posted after is dropped.
class LoopEntry {
public:
    explicit LoopEntry(BusLoop& loop) : loop_(&loop) {}
    void post(BusLoop::Task task) {
        std::lock_guard lock(mutex_);
        if (loop_) loop_->post(std::move(task));
    }
    void close() {
        std::lock_guard lock(mutex_);
        loop_ = nullptr;
    }

private:
    std::mutex mutex_;
    BusLoop* loop_;
};

class BluezEmulator::Impl {
public:
    Impl(std::shared_ptr<SimRadio> radio, const std::string& address, BluezEmulatorOptions options)
        : radio_(std::move(radio)), options_(options), loop_(address) {
        loop_.run([this](sd_bus* bus) {
            setUp(bus);
            if (options_.appearAfter.count() == 0) {
                sd_bus_request_name(bus, Bluez::kService, 0);
            } else {
                loop_.after(options_.appearAfter, [this, bus] {
                    if (!stopping_) sd_bus_request_name(bus, Bluez::kService, 0);
                });
            }
        });
    }

    ~Impl() {
        acknowledgements_->close();
        loop_.run([this](sd_bus*) {
            stopping_ = true;
            finishStops();
            finishDisconnects();
            for (auto& [address, device] : devices_) dropLink(*device, false);
            watcherHandler_.reset();
            if (watcher_) watcher_->stop();
        });
        for (auto& worker : workers_) worker.join();
        loop_.run([this](sd_bus*) {
            for (auto& [address, device] : devices_) unexport(*device);
            for (auto* slot : slots_) sd_bus_slot_unref(slot);
        });
    }

    // ---- control from tests ----

    void release() {
        loop_.run([this](sd_bus* bus) {
            finishStops();
            finishDisconnects();
            for (auto& [address, device] : devices_) dropLink(*device, true);
            for (auto& [address, device] : devices_) {
                for (auto& characteristic : device->characteristics) characteristic->notifying = false;
            }
            discoverers_.clear();
            updateDiscovery();
            agent_.clear();
            sd_bus_release_name(bus, Bluez::kService);
        });
    }

    void claim() {
        loop_.run([](sd_bus* bus) { sd_bus_request_name(bus, Bluez::kService, 0); });
    }

    void setPowered(bool powered) {
        loop_.run([this, powered](sd_bus* bus) {
            powered_ = powered;
            if (!powered) {
                for (auto& [address, device] : devices_) dropLink(*device, true);
                discoverers_.clear();
                updateDiscovery();
            }
            emitChanged(bus, kAdapterPath, Bluez::kAdapter, {"Powered"});
        });
    }

    void holdDisconnects(bool hold) {
        loop_.run([this, hold](sd_bus*) {
            holdDisconnects_ = hold;
            if (!hold) finishDisconnects();
        });
    }

    int discoverySessions() {
        int count = 0;
        loop_.run([&](sd_bus*) { count = static_cast<int>(discoverers_.size()); });
        return count;
    }

    void setBatteryLevel(uint64_t address, uint8_t percent) {
        loop_.run([&](sd_bus* bus) {
            const bool known = devices_.contains(address);
            auto& device = deviceFor(bus, address, false);
            setBattery(bus, device, percent);
            if (!known) sd_bus_emit_object_added(bus, device.path.c_str());
        });
    }

    void setFaults(uint64_t address, LinkFaults faults) {
        loop_.run([&](sd_bus*) {
            faults_[address] = faults;
            auto found = devices_.find(address);
            if (found != devices_.end()) found->second->faults = faults;
        });
    }

    int calls(const std::string& member) {
        std::lock_guard lock(countMutex_);
        auto found = calls_.find(member);
        return found == calls_.end() ? 0 : found->second;
    }

    void remember(uint64_t address, const std::string& name, bool paired, std::optional<int16_t> rssi) {
        loop_.run([&](sd_bus* bus) {
            const bool known = devices_.contains(address);
            auto& device = deviceFor(bus, address, false);
            device.name = name;
            device.paired = paired;
            if (rssi) showRssi(bus, device, *rssi);
            if (!known) sd_bus_emit_object_added(bus, device.path.c_str());
        });
    }

    bool onBus() {
        bool owned = false;
        loop_.run([&](sd_bus* bus) {
            const char* unique = nullptr;
            sd_bus_get_unique_name(bus, &unique);
            sd_bus_creds* creds = nullptr;
            const char* owner = nullptr;
            owned = sd_bus_get_name_creds(bus, Bluez::kService, SD_BUS_CREDS_UNIQUE_NAME, &creds) >= 0 &&
                    sd_bus_creds_get_unique_name(creds, &owner) >= 0 && unique && owner && std::string(unique) == owner;
            sd_bus_creds_unref(creds);
        });
        return owned;
    }

    // ---- vtable handlers (loop thread) ----

    void count(sd_bus_message* message) {
        std::lock_guard lock(countMutex_);
        ++calls_[sd_bus_message_get_member(message)];
    }

    int adapterProperty(const std::string& name, sd_bus_message* reply) {
        if (name == "Address") return sd_bus_message_append(reply, "s", kAdapterAddress);
        if (name == "AddressType") return sd_bus_message_append(reply, "s", "public");
        if (name == "Name" || name == "Alias") return sd_bus_message_append(reply, "s", "emulated");
        if (name == "Powered") return sd_bus_message_append(reply, "b", powered_);
        if (name == "Discovering") return sd_bus_message_append(reply, "b", !discoverers_.empty());
        if (name == "Discoverable") return sd_bus_message_append(reply, "b", 0);
        if (name == "Pairable") return sd_bus_message_append(reply, "b", 1);
        if (name == "UUIDs") return appendStrings(reply, {});
        if (name == "Roles") return appendStrings(reply, {"central", "peripheral"});
        return -EINVAL;
    }

    int startDiscovery(sd_bus_message* message) {
        count(message);
        if (!powered_) return sd_bus_reply_method_errorf(message, "org.bluez.Error.NotReady", "Resource Not Ready");
        const std::string client = sd_bus_message_get_sender(message);
        if (!discoverers_.insert(client).second) {
            return sd_bus_reply_method_errorf(message, "org.bluez.Error.InProgress", "Operation already in progress");
        }
        updateDiscovery();
        return sd_bus_reply_method_return(message, "");
    }

    int stopDiscovery(sd_bus_message* message) {
        count(message);
        const std::string client = sd_bus_message_get_sender(message);
        if (!discoverers_.contains(client)) {
            return sd_bus_reply_method_errorf(message, "org.bluez.Error.Failed", "No discovery started");
        }
        if (pendingStops_.contains(client)) {
            return sd_bus_reply_method_errorf(message, "org.bluez.Error.InProgress", "Operation already in progress");
        }
        // The session lasts until the controller has stopped: the reply waits for it.
        pendingStops_[client] = sd_bus_message_ref(message);
        loop_.after(options_.stopDiscoveryDelay, [this, client] { finishStop(client); });
        return 1;
    }

    // Ends every stop still being carried out (the daemon going away ends them at once).
    void finishStops() {
        while (!pendingStops_.empty()) finishStop(pendingStops_.begin()->first);
    }

    void finishStop(std::string client) {  // a copy: the entry naming the client goes
        auto pending = pendingStops_.find(client);
        if (pending == pendingStops_.end()) return;
        sd_bus_message* message = pending->second;
        pendingStops_.erase(pending);
        duplicateData_.erase(client);
        const bool last = discoverers_.erase(client) > 0 && discoverers_.empty();
        // Whether the reply or the end of Discovering reaches clients first is the daemon's
        // business: both orders are played.
        if (last && (stops_++ % 2) == 0) updateDiscovery();
        sd_bus_reply_method_return(message, "");
        sd_bus_message_unref(message);
        updateDiscovery();
    }

    int setDiscoveryFilter(sd_bus_message* message) {
        count(message);
        Bluez::PropertyMap filter;
        if (Bluez::readProperties(message, filter) < 0) {
            return sd_bus_reply_method_errorf(message, "org.bluez.Error.InvalidArguments", "Invalid arguments");
        }
        const std::string client = sd_bus_message_get_sender(message);
        auto duplicates = filter.find("DuplicateData");
        if (duplicates != filter.end() && duplicates->second.asBool().value_or(false)) {
            duplicateData_.insert(client);
        } else {
            duplicateData_.erase(client);
        }
        return sd_bus_reply_method_return(message, "");
    }

    int connectDevice(sd_bus_message* message) {
        count(message);
        Bluez::PropertyMap properties;
        if (Bluez::readProperties(message, properties) < 0 || !properties.contains("Address")) {
            return sd_bus_reply_method_errorf(message, "org.bluez.Error.InvalidArguments", "Invalid arguments");
        }
        const auto address = Bluez::parseAddress(properties.at("Address").asString().value_or(""));
        if (!address) return sd_bus_reply_method_errorf(message, "org.bluez.Error.InvalidArguments", "Invalid arguments");
        sd_bus* bus = sd_bus_message_get_bus(message);
        if (devices_.contains(*address)) return sd_bus_reply_method_errorf(message, "org.bluez.Error.AlreadyExists", "Already Exists");
        auto handle = radio_->openPeripheral(*address);
        if (!handle) return sd_bus_reply_method_errorf(message, "org.bluez.Error.Failed", "Page Timeout");
        auto& device = deviceFor(bus, *address, false);
        device.handle = std::move(handle);
        device.name = device.handle->name();
        sd_bus_emit_object_added(bus, device.path.c_str());
        if (abortsConnect(device)) return sd_bus_reply_method_errorf(message, "org.bluez.Error.Failed", "le-connection-abort-by-local");
        if (const char* error = connect(bus, device)) return sd_bus_reply_method_errorf(message, error, "Connection failed");
        return sd_bus_reply_method_return(message, "o", device.path.c_str());
    }

    int removeDevice(sd_bus_message* message) {
        count(message);
        const char* path = nullptr;
        if (sd_bus_message_read(message, "o", &path) < 0) return -EINVAL;
        for (auto it = devices_.begin(); it != devices_.end(); ++it) {
            if (it->second->path != path) continue;
            dropLink(*it->second, false);
            unexport(*it->second);
            devices_.erase(it);
            return sd_bus_reply_method_return(message, "");
        }
        return sd_bus_reply_method_errorf(message, "org.bluez.Error.DoesNotExist", "Does Not Exist");
    }

    int registerAgent(sd_bus_message* message) {
        count(message);
        const char* path = nullptr;
        const char* capability = nullptr;
        if (sd_bus_message_read(message, "os", &path, &capability) < 0) return -EINVAL;
        if (!agent_.empty()) return sd_bus_reply_method_errorf(message, "org.bluez.Error.AlreadyExists", "Already Exists");
        agent_ = sd_bus_message_get_sender(message);
        agentPath_ = path;
        return sd_bus_reply_method_return(message, "");
    }

    int unregisterAgent(sd_bus_message* message) {
        count(message);
        agent_.clear();
        return sd_bus_reply_method_return(message, "");
    }

    int deviceProperty(EmulatedDevice& device, const std::string& name, sd_bus_message* reply) {
        if (name == "Address") return sd_bus_message_append(reply, "s", Bluez::addressText(device.address).c_str());
        if (name == "AddressType") return sd_bus_message_append(reply, "s", "public");
        if (name == "Name") return sd_bus_message_append(reply, "s", device.name.c_str());
        if (name == "Alias") {
            return sd_bus_message_append(reply, "s", device.name.empty() ? Bluez::addressText(device.address).c_str() : device.name.c_str());
        }
        if (name == "Paired") return sd_bus_message_append(reply, "b", device.paired);
        if (name == "Trusted" || name == "Blocked") return sd_bus_message_append(reply, "b", 0);
        if (name == "Connected") return sd_bus_message_append(reply, "b", device.connected);
        if (name == "ServicesResolved") return sd_bus_message_append(reply, "b", device.resolved);
        if (name == "RSSI") return sd_bus_message_append(reply, "n", device.rssi);
        if (name == "AdvertisingFlags") return appendBytes(reply, device.flags ? Bytes{*device.flags} : Bytes{});
        if (name == "Adapter") return sd_bus_message_append(reply, "o", kAdapterPath);
        if (name == "UUIDs") return appendStrings(reply, {device.uuids.begin(), device.uuids.end()});
        if (name == "ServiceData") {
            int r = sd_bus_message_open_container(reply, 'a', "{sv}");
            for (const auto& [uuid, data] : device.serviceData) {
                if (r >= 0) r = sd_bus_message_open_container(reply, 'e', "sv");
                if (r >= 0) r = sd_bus_message_append(reply, "s", uuid.c_str());
                if (r >= 0) r = sd_bus_message_open_container(reply, 'v', "ay");
                if (r >= 0) r = appendBytes(reply, data);
                if (r >= 0) r = sd_bus_message_close_container(reply);
                if (r >= 0) r = sd_bus_message_close_container(reply);
            }
            return r < 0 ? r : sd_bus_message_close_container(reply);
        }
        if (name == "ManufacturerData") {
            int r = sd_bus_message_open_container(reply, 'a', "{qv}");
            for (const auto& [company, data] : device.manufacturer) {
                if (r >= 0) r = sd_bus_message_open_container(reply, 'e', "qv");
                if (r >= 0) r = sd_bus_message_append(reply, "q", company);
                if (r >= 0) r = sd_bus_message_open_container(reply, 'v', "ay");
                if (r >= 0) r = appendBytes(reply, data);
                if (r >= 0) r = sd_bus_message_close_container(reply);
                if (r >= 0) r = sd_bus_message_close_container(reply);
            }
            return r < 0 ? r : sd_bus_message_close_container(reply);
        }
        if (name == "Percentage") return sd_bus_message_append(reply, "y", device.battery.value_or(0));
        if (name == "Source") return sd_bus_message_append(reply, "s", "GATT Battery Service");
        return -EINVAL;
    }

    int connectMethod(EmulatedDevice& device, sd_bus_message* message) {
        count(message);
        if (device.connected) return sd_bus_reply_method_errorf(message, "org.bluez.Error.AlreadyConnected", "Already Connected");
        if (abortsConnect(device)) return sd_bus_reply_method_errorf(message, "org.bluez.Error.Failed", "le-connection-abort-by-local");
        sd_bus* bus = sd_bus_message_get_bus(message);
        if (!device.handle) device.handle = radio_->openPeripheral(device.address);
        if (!device.handle) return sd_bus_reply_method_errorf(message, "org.bluez.Error.Failed", "le-connection-timeout");
        if (const char* error = connect(bus, device)) return sd_bus_reply_method_errorf(message, error, "Connection failed");
        // Another Connect of the device still running, as the daemon sees it: this one is told
        // so while the link comes up all the same.
        if (device.faults.connectInProgress && !std::exchange(device.inProgressAnswered, true)) {
            return sd_bus_reply_method_errorf(message, "org.bluez.Error.InProgress", "br-connection-busy");
        }
        return sd_bus_reply_method_return(message, "");
    }

    int disconnectMethod(EmulatedDevice& device, sd_bus_message* message) {
        count(message);
        if (!device.connected) return sd_bus_reply_method_errorf(message, "org.bluez.Error.NotConnected", "Not Connected");
        if (holdDisconnects_) {
            heldDisconnects_.emplace_back(device.address, sd_bus_message_ref(message));
            return 1;
        }
        dropLink(device, true);
        return sd_bus_reply_method_return(message, "");
    }

    // The held Disconnects take their links down and are answered.
    void finishDisconnects() {
        for (auto [address, message] : std::exchange(heldDisconnects_, {})) {
            auto found = devices_.find(address);
            if (found != devices_.end()) dropLink(*found->second, true);
            sd_bus_reply_method_return(message, "");
            sd_bus_message_unref(message);
        }
    }

    int pairMethod(EmulatedDevice& device, sd_bus_message* message) {
        count(message);
        if (device.paired) return sd_bus_reply_method_errorf(message, "org.bluez.Error.AlreadyExists", "Already Exists");
        if (!device.handle) device.handle = radio_->openPeripheral(device.address);
        if (!device.handle) return sd_bus_reply_method_errorf(message, "org.bluez.Error.ConnectionAttemptFailed", "Page Timeout");
        // The simulated pairing waits for its request to be answered, and the answer comes
        // from the client's agent over this loop: it runs on a worker of its own.
        auto handle = device.handle;
        device.pairingHandler = handle->onPairingRequested([this, path = device.path](Platform::PairingRequest& request) {
            if (askAgent(path, request.kind())) request.accept();
        });
        sd_bus_message_ref(message);
        workers_.emplace_back([this, handle, message, address = device.address] {
            const auto status = handle->pair(Platform::PairingKind::ConfirmOnly, Platform::ProtectionLevel::Encryption);
            loop_.post([this, message, status, address](sd_bus* bus) {
                auto found = devices_.find(address);
                if (found != devices_.end()) {
                    found->second->pairingHandler.reset();
                    if (status == Platform::PairingStatus::Paired) {
                        found->second->paired = true;
                        emitChanged(bus, found->second->path, Bluez::kDevice, {"Paired"});
                    }
                }
                if (status == Platform::PairingStatus::Paired) {
                    sd_bus_reply_method_return(message, "");
                } else {
                    sd_bus_reply_method_errorf(message, errorOf(status), "Pairing failed");
                }
                sd_bus_message_unref(message);
            });
        });
        return 1;
    }

    int characteristicProperty(EmulatedCharacteristic& characteristic, const std::string& name, sd_bus_message* reply) {
        if (name == "UUID") return sd_bus_message_append(reply, "s", Bluez::uuidText(characteristic.uuid).c_str());
        if (name == "Service") return sd_bus_message_append(reply, "o", characteristic.servicePath.c_str());
        if (name == "Value") return appendBytes(reply, characteristic.value);
        if (name == "Notifying") return sd_bus_message_append(reply, "b", characteristic.notifying);
        if (name == "Flags") return appendStrings(reply, Bluez::flagsOfProperties(characteristic.properties));
        if (name == "MTU") return sd_bus_message_append(reply, "q", characteristic.device->faults.mtu);
        if (name == "NotifyAcquired") {
            std::lock_guard lock(characteristic.socketMutex);
            return sd_bus_message_append(reply, "b", characteristic.socket >= 0);
        }
        return -EINVAL;
    }

    int readMethod(EmulatedCharacteristic& characteristic, sd_bus_message* message) {
        count(message);
        if (!characteristic.device->connected || !characteristic.sim) return replyNotConnected(message);
        if (busy(*characteristic.device)) return sd_bus_reply_method_errorf(message, "org.bluez.Error.InProgress", "In Progress");
        const auto result = characteristic.sim->readValue();
        if (result.status != Platform::GattStatus::Success) return replyGattError(message, result.status, "Read not permitted");
        // As the daemon does: the value read is announced as a change first.
        characteristic.value = result.value;
        emitChanged(sd_bus_message_get_bus(message), characteristic.path, Bluez::kGattCharacteristic, {"Value"});
        sd_bus_message* reply = nullptr;
        int r = sd_bus_message_new_method_return(message, &reply);
        if (r >= 0) r = appendBytes(reply, result.value);
        if (r >= 0) r = sd_bus_send(nullptr, reply, nullptr);
        sd_bus_message_unref(reply);
        return r;
    }

    int writeMethod(EmulatedCharacteristic& characteristic, sd_bus_message* message) {
        count(message);
        const void* data = nullptr;
        size_t size = 0;
        if (sd_bus_message_read_array(message, 'y', &data, &size) < 0) return -EINVAL;
        Bluez::PropertyMap options;
        Bluez::readProperties(message, options);
        if (!characteristic.device->connected || !characteristic.sim) return replyNotConnected(message);
        if (busy(*characteristic.device)) return sd_bus_reply_method_errorf(message, "org.bluez.Error.InProgress", "In Progress");
        const auto* first = static_cast<const uint8_t*>(data);
        // As the daemon does: the reply goes out once the device's acknowledgement arrives, so
        // what the device notified before it is sent first.
        sd_bus_message_ref(message);
        const auto status = characteristic.sim->writeValue(Bytes(first, first + size), [acknowledgements = acknowledgements_, message] {
            acknowledgements->post([message](sd_bus*) {
                sd_bus_reply_method_return(message, "");
                sd_bus_message_unref(message);
            });
        });
        if (status != Platform::GattStatus::Success) {
            const int r = replyGattError(message, status, "Write not permitted");
            sd_bus_message_unref(message);
            return r;
        }
        return 1;
    }

    int startNotify(EmulatedCharacteristic& characteristic, sd_bus_message* message) {
        count(message);
        {
            std::lock_guard lock(characteristic.socketMutex);
            if (characteristic.socket >= 0) return sd_bus_reply_method_errorf(message, "org.bluez.Error.NotPermitted", "Notify acquired");
        }
        // A client's second session is its first; one started while the link is down begins
        // when it comes up.
        if (characteristic.notifying) return sd_bus_reply_method_return(message, "");
        if (characteristic.device->connected && characteristic.sim) {
            const auto status = characteristic.sim->writeClientConfiguration(Platform::ClientConfiguration::Notify);
            if (status != Platform::GattStatus::Success) return replyGattError(message, status, "Not paired");
            scheduleReresolve(*characteristic.device);
        }
        characteristic.notifying = true;
        emitChanged(sd_bus_message_get_bus(message), characteristic.path, Bluez::kGattCharacteristic, {"Notifying"});
        return sd_bus_reply_method_return(message, "");
    }

    int stopNotify(EmulatedCharacteristic& characteristic, sd_bus_message* message) {
        count(message);
        if (!characteristic.notifying) return sd_bus_reply_method_errorf(message, "org.bluez.Error.Failed", "No notify session started");
        characteristic.notifying = false;
        if (characteristic.device->connected && characteristic.sim) {
            characteristic.sim->writeClientConfiguration(Platform::ClientConfiguration::None);
        }
        emitChanged(sd_bus_message_get_bus(message), characteristic.path, Bluez::kGattCharacteristic, {"Notifying"});
        return sd_bus_reply_method_return(message, "");
    }

    int acquireNotify(EmulatedCharacteristic& characteristic, sd_bus_message* message) {
        count(message);
        if (!characteristic.device->connected || !characteristic.sim) return replyNotConnected(message);
        {
            std::lock_guard lock(characteristic.socketMutex);
            if (characteristic.socket >= 0) return sd_bus_reply_method_errorf(message, "org.bluez.Error.NotPermitted", "Notify acquired");
        }
        if (characteristic.notifying) return sd_bus_reply_method_errorf(message, "org.bluez.Error.InProgress", "In Progress");
        const std::string& refusal = characteristic.device->faults.acquireNotifyRefusal;
        if (!refusal.empty()) return sd_bus_reply_method_errorf(message, refusal.c_str(), "%s", refusalText(refusal));
        int pair[2];
        if (socketpair(AF_UNIX, SOCK_SEQPACKET | SOCK_NONBLOCK | SOCK_CLOEXEC, 0, pair) != 0) {
            return sd_bus_reply_method_errorf(message, "org.bluez.Error.Failed", "No socket");
        }
        const auto status = characteristic.sim->writeClientConfiguration(Platform::ClientConfiguration::Notify);
        if (status != Platform::GattStatus::Success) {
            ::close(pair[0]);
            ::close(pair[1]);
            return replyGattError(message, status, "Not paired");
        }
        {
            std::lock_guard lock(characteristic.socketMutex);
            characteristic.socket = pair[0];
        }
        scheduleReresolve(*characteristic.device);
        // The client closing its end ends the notifications.
        loop_.watch(pair[0], [this, &characteristic, bus = sd_bus_message_get_bus(message)] {
            closeSocket(characteristic);
            if (characteristic.device->connected && characteristic.sim) {
                characteristic.sim->writeClientConfiguration(Platform::ClientConfiguration::None);
            }
            emitChanged(bus, characteristic.path, Bluez::kGattCharacteristic, {"NotifyAcquired"});
        });
        const int r = sd_bus_reply_method_return(message, "hq", pair[1], characteristic.device->faults.mtu);
        ::close(pair[1]);
        emitChanged(sd_bus_message_get_bus(message), characteristic.path, Bluez::kGattCharacteristic, {"NotifyAcquired"});
        return r;
    }

    int descriptorRead(sd_bus_message* message) {
        count(message);
        return sd_bus_reply_method_errorf(message, "org.bluez.Error.NotPermitted", "Read not permitted");
    }

    int descriptorWrite(sd_bus_message* message) {
        count(message);
        // The daemon keeps client configuration to itself: StartNotify and AcquireNotify set it.
        return sd_bus_reply_method_errorf(message, "org.bluez.Error.NotPermitted", "Write not permitted");
    }

    BusLoop& loop() { return loop_; }

private:
    void setUp(sd_bus* bus);
    EmulatedDevice& deviceFor(sd_bus* bus, uint64_t address, bool heard);
    void exportGatt(sd_bus* bus, EmulatedDevice& device);
    void exportService(sd_bus* bus, EmulatedDevice& device, const Platform::IGattService& service,
                       const std::vector<std::shared_ptr<Platform::IGattCharacteristic>>& characteristics);
    void attachViews(sd_bus* bus, EmulatedDevice& device);
    bool abortsConnect(EmulatedDevice& device);
    bool busy(EmulatedDevice& device);
    void scheduleReresolve(EmulatedDevice& device);
    void reresolve(EmulatedDevice& device);
    void unexportGatt(EmulatedDevice& device);
    const char* connect(sd_bus* bus, EmulatedDevice& device);
    void dropLink(EmulatedDevice& device, bool announce);
    void unexport(EmulatedDevice& device);
    void updateDiscovery();
    void forgetRssi(EmulatedDevice& device);
    // Gives the device a signal strength; true when it changed.
    bool showRssi(sd_bus* bus, EmulatedDevice& device, int16_t rssi);
    // Takes the advertisement's service data; true when clients are to hear of it.
    bool takeServiceData(EmulatedDevice& device, const Platform::Advertisement& advertisement, bool duplicates);
    void heard(sd_bus* bus, const Platform::Advertisement& advertisement);
    void setBattery(sd_bus* bus, EmulatedDevice& device, uint8_t percent);
    bool askAgent(const std::string& devicePath, Platform::PairingKind kind);
    void closeSocket(EmulatedCharacteristic& characteristic);
    void emitChanged(sd_bus* bus, const std::string& path, const char* interface, std::vector<std::string> names);

    const std::shared_ptr<SimRadio> radio_;
    const BluezEmulatorOptions options_;
    bool powered_ = true;
    bool holdDisconnects_ = false;
    std::vector<std::pair<uint64_t, sd_bus_message*>> heldDisconnects_;
    std::set<std::string> discoverers_;
    std::map<std::string, sd_bus_message*> pendingStops_;  // StopDiscovery being carried out, by client
    std::set<std::string> duplicateData_;  // clients whose filter asked for every report
    unsigned stops_ = 0;
    std::shared_ptr<Platform::IAdvertisementWatcher> watcher_;
    Platform::Registration watcherHandler_;
    std::string agent_;
    std::string agentPath_;
    std::map<uint64_t, std::unique_ptr<EmulatedDevice>> devices_;
    std::vector<sd_bus_slot*> slots_;
    std::vector<std::thread> workers_;
    std::mutex countMutex_;
    std::map<std::string, int> calls_;
    std::map<uint64_t, LinkFaults> faults_;
    bool stopping_ = false;  // no delayed work is done once set
    BusLoop loop_;  // it stops before the state above goes
    // Write acknowledgements arrive on the radio's threads, also while the emulator ends.
    const std::shared_ptr<LoopEntry> acknowledgements_ = std::make_shared<LoopEntry>(loop_);
};

namespace {

using Impl = BluezEmulator::Impl;

Impl& implOf(void* userdata) { return *static_cast<Impl*>(userdata); }
EmulatedDevice& deviceOf(void* userdata) { return *static_cast<EmulatedDevice*>(userdata); }
EmulatedCharacteristic& characteristicOf(void* userdata) { return *static_cast<EmulatedCharacteristic*>(userdata); }

int adapterGet(sd_bus*, const char*, const char*, const char* property, sd_bus_message* reply, void* userdata, sd_bus_error*) {
    return implOf(userdata).adapterProperty(property, reply);
}
int deviceGet(sd_bus*, const char*, const char*, const char* property, sd_bus_message* reply, void* userdata, sd_bus_error*) {
    auto& device = deviceOf(userdata);
    return device.impl->deviceProperty(device, property, reply);
}
int characteristicGet(sd_bus*, const char*, const char*, const char* property, sd_bus_message* reply, void* userdata,
                      sd_bus_error*) {
    auto& characteristic = characteristicOf(userdata);
    return characteristic.impl->characteristicProperty(characteristic, property, reply);
}
int serviceGet(sd_bus*, const char*, const char*, const char* property, sd_bus_message* reply, void* userdata, sd_bus_error*) {
    const auto& service = *static_cast<EmulatedService*>(userdata);
    const std::string name = property;
    if (name == "UUID") return sd_bus_message_append(reply, "s", Bluez::uuidText(service.uuid).c_str());
    if (name == "Primary") return sd_bus_message_append(reply, "b", 1);
    return sd_bus_message_append(reply, "o", service.devicePath.c_str());
}
int descriptorGet(sd_bus*, const char*, const char*, const char* property, sd_bus_message* reply, void* userdata, sd_bus_error*) {
    const auto& descriptor = *static_cast<EmulatedDescriptor*>(userdata);
    const std::string name = property;
    if (name == "UUID") return sd_bus_message_append(reply, "s", Bluez::uuidText(Bluez::uuidOfShort(kClientConfiguration)).c_str());
    if (name == "Characteristic") return sd_bus_message_append(reply, "o", descriptor.characteristicPath.c_str());
    if (name == "Flags") return appendStrings(reply, {"read", "write"});
    return appendBytes(reply, {});
}

#define AK_METHOD(call) [](sd_bus_message* m, [[maybe_unused]] void* u, sd_bus_error*) -> int { return call; }

const sd_bus_vtable kAdapterVtable[] = {
    SD_BUS_VTABLE_START(0),
    SD_BUS_PROPERTY("Address", "s", adapterGet, 0, SD_BUS_VTABLE_PROPERTY_CONST),
    SD_BUS_PROPERTY("AddressType", "s", adapterGet, 0, SD_BUS_VTABLE_PROPERTY_CONST),
    SD_BUS_PROPERTY("Name", "s", adapterGet, 0, SD_BUS_VTABLE_PROPERTY_CONST),
    SD_BUS_PROPERTY("Alias", "s", adapterGet, 0, SD_BUS_VTABLE_PROPERTY_CONST),
    SD_BUS_PROPERTY("Powered", "b", adapterGet, 0, SD_BUS_VTABLE_PROPERTY_EMITS_CHANGE),
    SD_BUS_PROPERTY("Discovering", "b", adapterGet, 0, SD_BUS_VTABLE_PROPERTY_EMITS_CHANGE),
    SD_BUS_PROPERTY("Discoverable", "b", adapterGet, 0, SD_BUS_VTABLE_PROPERTY_EMITS_CHANGE),
    SD_BUS_PROPERTY("Pairable", "b", adapterGet, 0, SD_BUS_VTABLE_PROPERTY_EMITS_CHANGE),
    SD_BUS_PROPERTY("UUIDs", "as", adapterGet, 0, SD_BUS_VTABLE_PROPERTY_EMITS_CHANGE),
    SD_BUS_PROPERTY("Roles", "as", adapterGet, 0, SD_BUS_VTABLE_PROPERTY_CONST),
    SD_BUS_METHOD("StartDiscovery", "", "", AK_METHOD(implOf(u).startDiscovery(m)), SD_BUS_VTABLE_UNPRIVILEGED),
    SD_BUS_METHOD("StopDiscovery", "", "", AK_METHOD(implOf(u).stopDiscovery(m)), SD_BUS_VTABLE_UNPRIVILEGED),
    SD_BUS_METHOD("SetDiscoveryFilter", "a{sv}", "", AK_METHOD(implOf(u).setDiscoveryFilter(m)), SD_BUS_VTABLE_UNPRIVILEGED),
    SD_BUS_METHOD("RemoveDevice", "o", "", AK_METHOD(implOf(u).removeDevice(m)), SD_BUS_VTABLE_UNPRIVILEGED),
    SD_BUS_VTABLE_END};

// The experimental part of the adapter, on the same interface.
const sd_bus_vtable kExperimentalAdapterVtable[] = {
    SD_BUS_VTABLE_START(0),
    SD_BUS_METHOD("ConnectDevice", "a{sv}", "o", AK_METHOD(implOf(u).connectDevice(m)), SD_BUS_VTABLE_UNPRIVILEGED),
    SD_BUS_VTABLE_END};

const sd_bus_vtable kAgentManagerVtable[] = {
    SD_BUS_VTABLE_START(0),
    SD_BUS_METHOD("RegisterAgent", "os", "", AK_METHOD(implOf(u).registerAgent(m)), SD_BUS_VTABLE_UNPRIVILEGED),
    SD_BUS_METHOD("UnregisterAgent", "o", "", AK_METHOD(implOf(u).unregisterAgent(m)), SD_BUS_VTABLE_UNPRIVILEGED),
    SD_BUS_METHOD("RequestDefaultAgent", "o", "", AK_METHOD(sd_bus_reply_method_return(m, "")), SD_BUS_VTABLE_UNPRIVILEGED),
    SD_BUS_VTABLE_END};

#define AK_DEVICE_VTABLE(...)                                                                                    \
    {SD_BUS_VTABLE_START(0),                                                                                       \
     SD_BUS_PROPERTY("Address", "s", deviceGet, 0, SD_BUS_VTABLE_PROPERTY_CONST),                                  \
     SD_BUS_PROPERTY("AddressType", "s", deviceGet, 0, SD_BUS_VTABLE_PROPERTY_CONST),                              \
     SD_BUS_PROPERTY("Name", "s", deviceGet, 0, SD_BUS_VTABLE_PROPERTY_EMITS_CHANGE),                              \
     SD_BUS_PROPERTY("Alias", "s", deviceGet, 0, SD_BUS_VTABLE_PROPERTY_EMITS_CHANGE),                             \
     SD_BUS_PROPERTY("Paired", "b", deviceGet, 0, SD_BUS_VTABLE_PROPERTY_EMITS_CHANGE),                            \
     SD_BUS_PROPERTY("Trusted", "b", deviceGet, 0, SD_BUS_VTABLE_PROPERTY_EMITS_CHANGE),                           \
     SD_BUS_PROPERTY("Blocked", "b", deviceGet, 0, SD_BUS_VTABLE_PROPERTY_EMITS_CHANGE),                           \
     SD_BUS_PROPERTY("Connected", "b", deviceGet, 0, SD_BUS_VTABLE_PROPERTY_EMITS_CHANGE),                         \
     SD_BUS_PROPERTY("ServicesResolved", "b", deviceGet, 0, SD_BUS_VTABLE_PROPERTY_EMITS_CHANGE),                  \
     SD_BUS_PROPERTY("Adapter", "o", deviceGet, 0, SD_BUS_VTABLE_PROPERTY_CONST),                                  \
     SD_BUS_PROPERTY("UUIDs", "as", deviceGet, 0, SD_BUS_VTABLE_PROPERTY_EMITS_CHANGE),                            \
     SD_BUS_PROPERTY("ManufacturerData", "a{qv}", deviceGet, 0, SD_BUS_VTABLE_PROPERTY_EMITS_CHANGE),              \
     SD_BUS_PROPERTY("ServiceData", "a{sv}", deviceGet, 0, SD_BUS_VTABLE_PROPERTY_EMITS_CHANGE),                   \
     __VA_ARGS__                                                                                                   \
     SD_BUS_METHOD("Connect", "", "", AK_METHOD(deviceOf(u).impl->connectMethod(deviceOf(u), m)), SD_BUS_VTABLE_UNPRIVILEGED),       \
     SD_BUS_METHOD("Disconnect", "", "", AK_METHOD(deviceOf(u).impl->disconnectMethod(deviceOf(u), m)), SD_BUS_VTABLE_UNPRIVILEGED), \
     SD_BUS_METHOD("Pair", "", "", AK_METHOD(deviceOf(u).impl->pairMethod(deviceOf(u), m)), SD_BUS_VTABLE_UNPRIVILEGED),             \
     SD_BUS_METHOD("CancelPairing", "", "", AK_METHOD(sd_bus_reply_method_return(m, "")), SD_BUS_VTABLE_UNPRIVILEGED),                \
     SD_BUS_VTABLE_END}

const sd_bus_vtable kFlaggedDeviceVtable[] =
    AK_DEVICE_VTABLE(SD_BUS_PROPERTY("AdvertisingFlags", "ay", deviceGet, 0, SD_BUS_VTABLE_PROPERTY_EMITS_CHANGE),);
const sd_bus_vtable kDeviceVtable[] = AK_DEVICE_VTABLE();
// The signal strength, a part of Device1 of its own: it comes and goes with discovery.
const sd_bus_vtable kRssiVtable[] = {
    SD_BUS_VTABLE_START(0),
    SD_BUS_PROPERTY("RSSI", "n", deviceGet, 0, SD_BUS_VTABLE_PROPERTY_EMITS_CHANGE),
    SD_BUS_VTABLE_END};

const sd_bus_vtable kBatteryVtable[] = {
    SD_BUS_VTABLE_START(0),
    SD_BUS_PROPERTY("Percentage", "y", deviceGet, 0, SD_BUS_VTABLE_PROPERTY_EMITS_CHANGE),
    SD_BUS_PROPERTY("Source", "s", deviceGet, 0, SD_BUS_VTABLE_PROPERTY_CONST),
    SD_BUS_VTABLE_END};

const sd_bus_vtable kServiceVtable[] = {
    SD_BUS_VTABLE_START(0),
    SD_BUS_PROPERTY("UUID", "s", serviceGet, 0, SD_BUS_VTABLE_PROPERTY_CONST),
    SD_BUS_PROPERTY("Primary", "b", serviceGet, 0, SD_BUS_VTABLE_PROPERTY_CONST),
    SD_BUS_PROPERTY("Device", "o", serviceGet, 0, SD_BUS_VTABLE_PROPERTY_CONST),
    SD_BUS_VTABLE_END};

#define AK_CHARACTERISTIC_VTABLE(...)                                                                              \
    {SD_BUS_VTABLE_START(0),                                                                                         \
     SD_BUS_PROPERTY("UUID", "s", characteristicGet, 0, SD_BUS_VTABLE_PROPERTY_CONST),                               \
     SD_BUS_PROPERTY("Service", "o", characteristicGet, 0, SD_BUS_VTABLE_PROPERTY_CONST),                            \
     SD_BUS_PROPERTY("Value", "ay", characteristicGet, 0, SD_BUS_VTABLE_PROPERTY_EMITS_CHANGE),                      \
     SD_BUS_PROPERTY("Notifying", "b", characteristicGet, 0, SD_BUS_VTABLE_PROPERTY_EMITS_CHANGE),                   \
     SD_BUS_PROPERTY("Flags", "as", characteristicGet, 0, SD_BUS_VTABLE_PROPERTY_CONST),                             \
     SD_BUS_PROPERTY("MTU", "q", characteristicGet, 0, SD_BUS_VTABLE_PROPERTY_CONST),                                \
     SD_BUS_METHOD("ReadValue", "a{sv}", "ay", AK_METHOD(characteristicOf(u).impl->readMethod(characteristicOf(u), m)), SD_BUS_VTABLE_UNPRIVILEGED),      \
     SD_BUS_METHOD("WriteValue", "aya{sv}", "", AK_METHOD(characteristicOf(u).impl->writeMethod(characteristicOf(u), m)), SD_BUS_VTABLE_UNPRIVILEGED),   \
     SD_BUS_METHOD("StartNotify", "", "", AK_METHOD(characteristicOf(u).impl->startNotify(characteristicOf(u), m)), SD_BUS_VTABLE_UNPRIVILEGED),         \
     SD_BUS_METHOD("StopNotify", "", "", AK_METHOD(characteristicOf(u).impl->stopNotify(characteristicOf(u), m)), SD_BUS_VTABLE_UNPRIVILEGED),           \
     __VA_ARGS__                                                                                                     \
     SD_BUS_VTABLE_END}

const sd_bus_vtable kCharacteristicVtable[] = AK_CHARACTERISTIC_VTABLE();
const sd_bus_vtable kAcquiringCharacteristicVtable[] = AK_CHARACTERISTIC_VTABLE(
    SD_BUS_PROPERTY("NotifyAcquired", "b", characteristicGet, 0, SD_BUS_VTABLE_PROPERTY_EMITS_CHANGE),
    SD_BUS_METHOD("AcquireNotify", "a{sv}", "hq", AK_METHOD(characteristicOf(u).impl->acquireNotify(characteristicOf(u), m)), SD_BUS_VTABLE_UNPRIVILEGED),);

const sd_bus_vtable kDescriptorVtable[] = {
    SD_BUS_VTABLE_START(0),
    SD_BUS_PROPERTY("UUID", "s", descriptorGet, 0, SD_BUS_VTABLE_PROPERTY_CONST),
    SD_BUS_PROPERTY("Characteristic", "o", descriptorGet, 0, SD_BUS_VTABLE_PROPERTY_CONST),
    SD_BUS_PROPERTY("Flags", "as", descriptorGet, 0, SD_BUS_VTABLE_PROPERTY_CONST),
    SD_BUS_PROPERTY("Value", "ay", descriptorGet, 0, SD_BUS_VTABLE_PROPERTY_EMITS_CHANGE),
    SD_BUS_METHOD("ReadValue", "a{sv}", "ay", AK_METHOD(static_cast<EmulatedDescriptor*>(u)->impl->descriptorRead(m)), SD_BUS_VTABLE_UNPRIVILEGED),
    SD_BUS_METHOD("WriteValue", "aya{sv}", "", AK_METHOD(static_cast<EmulatedDescriptor*>(u)->impl->descriptorWrite(m)), SD_BUS_VTABLE_UNPRIVILEGED),
    SD_BUS_VTABLE_END};

}  // namespace

// ---- the emulator's own work (loop thread) ---------------------------------------------

void Impl::setUp(sd_bus* bus) {
    sd_bus_slot* slot = nullptr;
    if (sd_bus_add_object_manager(bus, &slot, "/") >= 0) slots_.push_back(slot);
    if (sd_bus_add_object_vtable(bus, &slot, kAdapterPath, Bluez::kAdapter, kAdapterVtable, this) >= 0) slots_.push_back(slot);
    if (options_.connectDevice &&
        sd_bus_add_object_vtable(bus, &slot, kAdapterPath, Bluez::kAdapter, kExperimentalAdapterVtable, this) >= 0) {
        slots_.push_back(slot);
    }
    if (sd_bus_add_object_vtable(bus, &slot, Bluez::kRoot, Bluez::kAgentManager, kAgentManagerVtable, this) >= 0) {
        slots_.push_back(slot);
    }
}

void Impl::emitChanged(sd_bus* bus, const std::string& path, const char* interface, std::vector<std::string> names) {
    std::vector<char*> list;
    for (auto& name : names) list.push_back(name.data());
    list.push_back(nullptr);
    sd_bus_emit_properties_changed_strv(bus, path.c_str(), interface, list.data());
}

EmulatedDevice& Impl::deviceFor(sd_bus* bus, uint64_t address, bool heard) {
    auto& slot = devices_[address];
    if (slot) return *slot;
    slot = std::make_unique<EmulatedDevice>();
    EmulatedDevice& device = *slot;
    device.impl = this;
    device.address = address;
    device.heard = heard;
    device.path = Bluez::devicePath(kAdapterPath, address);
    auto faults = faults_.find(address);
    device.faults = faults == faults_.end() ? options_.faults : faults->second;
    sd_bus_slot* vtable = nullptr;
    if (sd_bus_add_object_vtable(bus, &vtable, device.path.c_str(), Bluez::kDevice,
                                 heard && options_.advertisingFlags ? kFlaggedDeviceVtable : kDeviceVtable,
                                 &device) >= 0) {
        device.slots.push_back(vtable);
    }
    return device;
}

void Impl::heard(sd_bus* bus, const Platform::Advertisement& advertisement) {
    if (!watcher_) return;  // heard just before discovery stopped
    const bool known = devices_.contains(advertisement.address);
    auto& device = deviceFor(bus, advertisement.address, true);
    // Clients that asked for every report hear of the advertising data each time, even when
    // it did not change; the signal strength is announced when it changed.
    const bool duplicates = std::any_of(discoverers_.begin(), discoverers_.end(),
                                        [&](const std::string& client) { return duplicateData_.contains(client); });
    std::vector<std::string> changed;
    if (showRssi(bus, device, advertisement.rssi)) changed.emplace_back("RSSI");
    if (advertisement.flags && device.flags != static_cast<uint8_t>(*advertisement.flags)) {
        device.flags = static_cast<uint8_t>(*advertisement.flags);
        if (options_.advertisingFlags && device.heard) changed.emplace_back("AdvertisingFlags");
    }
    if (!advertisement.localName.empty() && advertisement.localName != device.name) {
        device.name = advertisement.localName;
        changed.emplace_back("Name");
        changed.emplace_back("Alias");
    }
    bool uuids = false;
    for (const auto& uuid : advertisement.serviceUuids) uuids = device.uuids.insert(Bluez::uuidText(uuid)).second || uuids;
    if (uuids) changed.emplace_back("UUIDs");
    bool manufacturer = duplicates && !advertisement.manufacturerData.empty();
    for (const auto& entry : advertisement.manufacturerData) {
        auto& data = device.manufacturer[entry.companyId];
        manufacturer = manufacturer || data != entry.data;
        data = entry.data;
    }
    if (manufacturer) changed.emplace_back("ManufacturerData");
    if (takeServiceData(device, advertisement, duplicates)) changed.emplace_back("ServiceData");
    // A new object carries everything in its InterfacesAdded; an old one announces changes.
    if (!known) {
        sd_bus_emit_object_added(bus, device.path.c_str());
    } else if (!changed.empty()) {
        emitChanged(bus, device.path, Bluez::kDevice, changed);
    } else {
        return;
    }
    if (options_.announced) options_.announced(advertisement.address);
}

void Impl::updateDiscovery() {
    sd_bus* bus = loop_.bus();
    const bool wanted = !discoverers_.empty();
    if (wanted == static_cast<bool>(watcher_)) return;
    if (wanted) {
        watcher_ = radio_->createWatcher();
        Platform::WatcherSettings settings;
        settings.mode = Platform::ScanningMode::Active;
        watcher_->configure(settings);
        watcherHandler_ = watcher_->onReceived([this](const Platform::Advertisement& advertisement) {
            loop_.post([this, advertisement](sd_bus* bus) { heard(bus, advertisement); });
        });
        watcher_->start();
    } else {
        watcherHandler_.reset();
        watcher_->stop();
        watcher_.reset();
        for (auto& [address, device] : devices_) forgetRssi(*device);
    }
    emitChanged(bus, kAdapterPath, Bluez::kAdapter, {"Discovering"});
}

bool Impl::showRssi(sd_bus* bus, EmulatedDevice& device, int16_t rssi) {
    if (device.rssiSlot && device.rssi == rssi) return false;
    device.rssi = rssi;
    if (!device.rssiSlot &&
        sd_bus_add_object_vtable(bus, &device.rssiSlot, device.path.c_str(), Bluez::kDevice, kRssiVtable, &device) < 0) {
        device.rssiSlot = nullptr;
    }
    return true;
}

bool Impl::takeServiceData(EmulatedDevice& device, const Platform::Advertisement& advertisement, bool duplicates) {
    bool changed = false;
    for (const auto& section : advertisement.dataSections) {
        // The UUID leads the section, least significant byte first.
        const size_t uuidSize = section.type == kServiceData16 ? 2 : section.type == kServiceData128 ? 16 : 0;
        if (uuidSize == 0 || section.data.size() < uuidSize) continue;
        Platform::UUID uuid;
        if (uuidSize == 2) {
            uuid = Bluez::uuidOfShort(static_cast<uint16_t>(section.data[0] | (section.data[1] << 8)));
        } else {
            std::reverse_copy(section.data.begin(), section.data.begin() + 16, uuid.bytes.begin());
        }
        auto& data = device.serviceData[Bluez::uuidText(uuid)];
        const Bytes value(section.data.begin() + static_cast<std::ptrdiff_t>(uuidSize), section.data.end());
        changed = changed || duplicates || data != value;
        data = value;
    }
    return changed;
}

void Impl::forgetRssi(EmulatedDevice& device) {
    if (!device.rssiSlot) return;
    device.rssiSlot = sd_bus_slot_unref(device.rssiSlot);
    // The property is gone: announced as invalidated, with no value.
    sd_bus_message* signal = nullptr;
    if (sd_bus_message_new_signal(loop_.bus(), &signal, device.path.c_str(), "org.freedesktop.DBus.Properties",
                                  "PropertiesChanged") >= 0 &&
        sd_bus_message_append(signal, "sa{sv}as", Bluez::kDevice, 0, 1, "RSSI") >= 0) {
        sd_bus_send(nullptr, signal, nullptr);
    }
    sd_bus_message_unref(signal);
}

void Impl::exportGatt(sd_bus* bus, EmulatedDevice& device) {
    const auto services = device.handle->gattServices();
    if (services.status != Platform::GattStatus::Success) return;
    std::vector<std::pair<std::shared_ptr<Platform::IGattService>, std::vector<std::shared_ptr<Platform::IGattCharacteristic>>>> table;
    for (const auto& service : services.services) {
        auto characteristics = service->characteristics();
        if (characteristics.status != Platform::GattStatus::Success) continue;
        if (Bluez::shortUuid(service->uuid()) == kBatteryService) {
            // The daemon's battery plug-in takes this service over and reports Battery1.
            for (const auto& characteristic : characteristics.characteristics) {
                if (Bluez::shortUuid(characteristic->uuid()) == kBatteryLevel) device.batterySim = characteristic;
            }
            if (device.batterySim && !device.faults.batteryServiceExported) continue;
        }
        table.emplace_back(service, std::move(characteristics.characteristics));
    }
    // The daemon knows every primary service (Device1.UUIDs) before the last one is exported.
    std::optional<std::pair<std::shared_ptr<Platform::IGattService>, std::vector<std::shared_ptr<Platform::IGattCharacteristic>>>> late;
    if (device.faults.lateService.count() > 0 && !device.lateServiceDone && !table.empty()) {
        device.lateServiceDone = true;
        late = std::move(table.back());
        table.pop_back();
        device.uuids.insert(Bluez::uuidText(late->first->uuid()));
    }
    for (const auto& [service, characteristics] : table) exportService(bus, device, *service, characteristics);
    device.gattExported = true;
    emitChanged(bus, device.path, Bluez::kDevice, {"UUIDs"});
    if (!late) return;
    loop_.after(device.faults.lateService, [this, address = device.address, late = std::move(*late)] {
        sd_bus* bus = loop_.bus();
        auto found = devices_.find(address);
        if (stopping_) return;
        if (found == devices_.end() || !found->second->gattExported) return;
        exportService(bus, *found->second, *late.first, late.second);
        if (found->second->connected) attachViews(bus, *found->second);
    });
}

void Impl::exportService(sd_bus* bus, EmulatedDevice& device, const Platform::IGattService& service,
                         const std::vector<std::shared_ptr<Platform::IGattCharacteristic>>& characteristics) {
    auto exported = std::make_shared<EmulatedService>();
    char name[16];
    std::snprintf(name, sizeof(name), "/service%04x", device.nextHandle++);
    exported->path = device.path + name;
    exported->devicePath = device.path;
    exported->uuid = service.uuid();
    sd_bus_slot* slot = nullptr;
    if (sd_bus_add_object_vtable(bus, &slot, exported->path.c_str(), Bluez::kGattService, kServiceVtable, exported.get()) >= 0) {
        device.gattSlots.push_back(slot);
    }
    device.uuids.insert(Bluez::uuidText(exported->uuid));
    device.services.push_back(exported);
    sd_bus_emit_object_added(bus, exported->path.c_str());
    for (const auto& characteristic : characteristics) {
        auto entry = std::make_shared<EmulatedCharacteristic>();
        entry->impl = this;
        entry->device = &device;
        std::snprintf(name, sizeof(name), "/char%04x", device.nextHandle++);
        entry->path = exported->path + name;
        entry->servicePath = exported->path;
        entry->uuid = characteristic->uuid();
        entry->properties = characteristic->properties();
        entry->index = device.characteristics.size();
        const bool notifies = entry->properties & (Platform::CharacteristicProperty::Notify | Platform::CharacteristicProperty::Indicate);
        const auto* vtable = notifies && options_.acquireNotify ? kAcquiringCharacteristicVtable : kCharacteristicVtable;
        if (sd_bus_add_object_vtable(bus, &slot, entry->path.c_str(), Bluez::kGattCharacteristic, vtable, entry.get()) >= 0) {
            device.gattSlots.push_back(slot);
        }
        device.characteristics.push_back(entry);
        sd_bus_emit_object_added(bus, entry->path.c_str());
        if (!notifies) continue;
        auto descriptor = std::make_shared<EmulatedDescriptor>();
        descriptor->impl = this;
        std::snprintf(name, sizeof(name), "/desc%04x", device.nextHandle++);
        descriptor->path = entry->path + name;
        descriptor->characteristicPath = entry->path;
        if (sd_bus_add_object_vtable(bus, &slot, descriptor->path.c_str(), Bluez::kGattDescriptor, kDescriptorVtable,
                                     descriptor.get()) >= 0) {
            device.gattSlots.push_back(slot);
        }
        device.descriptors.push_back(descriptor);
        sd_bus_emit_object_added(bus, descriptor->path.c_str());
    }
}

bool Impl::abortsConnect(EmulatedDevice& device) { return device.connectAttempts++ < device.faults.abortedConnects; }

bool Impl::busy(EmulatedDevice& device) {
    if (device.busyAnswered >= device.faults.busyGattCalls) return false;
    ++device.busyAnswered;
    return true;
}

void Impl::scheduleReresolve(EmulatedDevice& device) {
    if (device.faults.reresolveAfterNotify.count() <= 0 || std::exchange(device.reresolveScheduled, true)) return;
    loop_.after(device.faults.reresolveAfterNotify, [this, address = device.address] {
        auto found = devices_.find(address);
        if (!stopping_ && found != devices_.end()) reresolve(*found->second);
    });
}

// The device's table changed (Service Changed): the objects go with every session on them,
// and the table found again is exported under new paths while the link stays up.
void Impl::reresolve(EmulatedDevice& device) {
    if (!device.connected || !device.gattExported) return;
    for (auto& characteristic : device.characteristics) {
        characteristic->valueHandler.reset();
        closeSocket(*characteristic);
        if (characteristic->notifying && characteristic->sim) {
            characteristic->sim->writeClientConfiguration(Platform::ClientConfiguration::None);
        }
        characteristic->notifying = false;
    }
    unexportGatt(device);
    device.gattExported = false;
    loop_.after(device.faults.reresolveGap, [this, address = device.address] {
        sd_bus* bus = loop_.bus();
        auto found = devices_.find(address);
        if (stopping_ || found == devices_.end() || found->second->gattExported || !found->second->handle) return;
        exportGatt(bus, *found->second);
        if (found->second->connected) attachViews(bus, *found->second);
    });
}

// Each connection hands out fresh central-side views: the exported objects follow them.
void Impl::attachViews(sd_bus* bus, EmulatedDevice& device) {
    const auto services = device.handle->gattServices();
    if (services.status != Platform::GattStatus::Success) return;
    size_t index = 0;
    for (const auto& service : services.services) {
        const auto characteristics = service->characteristics();
        if (characteristics.status != Platform::GattStatus::Success) continue;
        for (const auto& view : characteristics.characteristics) {
            if (view == device.batterySim || (Bluez::shortUuid(service->uuid()) == kBatteryService && device.batterySim &&
                                              Bluez::shortUuid(view->uuid()) == kBatteryLevel)) {
                device.batterySim = view;
                if (!device.faults.batteryServiceExported) continue;
            }
            if (index >= device.characteristics.size()) break;
            auto& entry = *device.characteristics[index++];
            entry.valueHandler.reset();
            entry.sim = view;
            std::weak_ptr<EmulatedCharacteristic> weak = device.characteristics[entry.index];
            entry.valueHandler = view->onValueChanged([this, weak](const Bytes& value) {
                auto characteristic = weak.lock();
                if (!characteristic) return;
                {
                    std::lock_guard lock(characteristic->socketMutex);
                    if (characteristic->socket >= 0) {
                        send(characteristic->socket, value.data(), value.size(), MSG_DONTWAIT | MSG_NOSIGNAL);
                        return;
                    }
                }
                loop_.post([this, weak, value](sd_bus* bus) {
                    auto live = weak.lock();
                    if (!live || !live->notifying) return;
                    live->value = value;
                    emitChanged(bus, live->path, Bluez::kGattCharacteristic, {"Value"});
                });
            });
            // Sessions started with StartNotify resume on a new connection.
            if (entry.notifying) view->writeClientConfiguration(Platform::ClientConfiguration::Notify);
        }
    }
    if (device.batterySim) {
        device.batteryHandler.reset();
        const auto level = device.batterySim->readValue();
        if (level.status == Platform::GattStatus::Success && !level.value.empty()) setBattery(bus, device, level.value[0]);
        const uint64_t address = device.address;
        device.batteryHandler = device.batterySim->onValueChanged([this, address](const Bytes& value) {
            if (value.empty()) return;
            loop_.post([this, address, percent = value[0]](sd_bus* bus) {
                auto found = devices_.find(address);
                if (found != devices_.end()) setBattery(bus, *found->second, percent);
            });
        });
        device.batterySim->writeClientConfiguration(Platform::ClientConfiguration::Notify);
    }
}

void Impl::setBattery(sd_bus* bus, EmulatedDevice& device, uint8_t percent) {
    const bool added = !device.battery;
    device.battery = percent;
    if (added) {
        sd_bus_slot* slot = nullptr;
        if (sd_bus_add_object_vtable(bus, &slot, device.path.c_str(), Bluez::kBattery, kBatteryVtable, &device) >= 0) {
            device.slots.push_back(slot);
        }
        sd_bus_emit_interfaces_added(bus, device.path.c_str(), Bluez::kBattery, nullptr);
    } else {
        emitChanged(bus, device.path, Bluez::kBattery, {"Percentage"});
    }
}

const char* Impl::connect(sd_bus* bus, EmulatedDevice& device) {
    if (!device.gattExported) {
        exportGatt(bus, device);
        if (!device.gattExported) return "org.bluez.Error.Failed";
    }
    attachViews(bus, device);
    device.statusHandler.reset();
    const uint64_t address = device.address;
    device.statusHandler = device.handle->onConnectionStatusChanged([this, address] {
        loop_.post([this, address](sd_bus*) {
            auto found = devices_.find(address);
            if (found == devices_.end()) return;
            auto& device = *found->second;
            if (device.connected && device.handle &&
                device.handle->connectionStatus() == Platform::ConnectionStatus::Disconnected) {
                dropLink(device, true);
            }
        });
    });
    device.connected = true;
    emitChanged(bus, device.path, Bluez::kDevice, {"Connected"});
    // The daemon answers Connect first and resolves the services afterwards.
    loop_.post([this, address](sd_bus* bus) {
        auto found = devices_.find(address);
        if (found == devices_.end() || !found->second->connected) return;
        found->second->resolved = true;
        emitChanged(bus, found->second->path, Bluez::kDevice, {"ServicesResolved"});
    });
    return nullptr;
}

void Impl::closeSocket(EmulatedCharacteristic& characteristic) {
    std::lock_guard lock(characteristic.socketMutex);
    if (characteristic.socket < 0) return;
    loop_.unwatch(characteristic.socket);
    ::close(characteristic.socket);
    characteristic.socket = -1;
}

void Impl::dropLink(EmulatedDevice& device, bool announce) {
    device.statusHandler.reset();
    device.batteryHandler.reset();
    for (auto& characteristic : device.characteristics) {
        characteristic->valueHandler.reset();
        characteristic->sim.reset();
        closeSocket(*characteristic);
    }
    if (device.handle) device.handle->close();
    device.handle.reset();
    device.batterySim.reset();
    const bool wasConnected = device.connected;
    device.connected = false;
    device.resolved = false;
    if (announce && wasConnected) {
        emitChanged(loop_.bus(), device.path, Bluez::kDevice, {"ServicesResolved", "Connected"});
    }
}

void Impl::unexportGatt(EmulatedDevice& device) {
    sd_bus* bus = loop_.bus();
    for (auto it = device.descriptors.rbegin(); it != device.descriptors.rend(); ++it) sd_bus_emit_object_removed(bus, (*it)->path.c_str());
    for (auto it = device.characteristics.rbegin(); it != device.characteristics.rend(); ++it) {
        sd_bus_emit_object_removed(bus, (*it)->path.c_str());
    }
    for (auto it = device.services.rbegin(); it != device.services.rend(); ++it) sd_bus_emit_object_removed(bus, (*it)->path.c_str());
    for (auto* slot : device.gattSlots) sd_bus_slot_unref(slot);
    device.gattSlots.clear();
    device.descriptors.clear();
    device.characteristics.clear();
    device.services.clear();
}

void Impl::unexport(EmulatedDevice& device) {
    unexportGatt(device);
    sd_bus_emit_object_removed(loop_.bus(), device.path.c_str());
    for (auto* slot : device.slots) sd_bus_slot_unref(slot);
    device.slots.clear();
    device.rssiSlot = sd_bus_slot_unref(device.rssiSlot);
}

bool Impl::askAgent(const std::string& devicePath, Platform::PairingKind kind) {
    auto answer = std::make_shared<std::promise<bool>>();
    auto answered = answer->get_future();
    loop_.post([this, devicePath, kind, answer](sd_bus* bus) {
        if (agent_.empty()) {
            answer->set_value(true);  // no agent: the pairing goes on as just-works
            return;
        }
        const char* member = kind == Platform::PairingKind::DisplayPin ? "DisplayPasskey"
                             : kind == Platform::PairingKind::ConfirmPinMatch ? "RequestConfirmation"
                                                                              : "RequestAuthorization";
        sd_bus_message* call = Bluez::newMethodCall(bus, agent_, agentPath_, Bluez::kAgent, member);
        int r = call ? 0 : -ENOMEM;
        if (r >= 0) r = sd_bus_message_append(call, "o", devicePath.c_str());
        if (r >= 0 && kind == Platform::PairingKind::ConfirmPinMatch) r = sd_bus_message_append(call, "u", 123456u);
        if (r >= 0 && kind == Platform::PairingKind::DisplayPin) r = sd_bus_message_append(call, "uq", 123456u, uint16_t{0});
        if (r < 0) {
            sd_bus_message_unref(call);
            answer->set_value(false);
            return;
        }
        loop_.callAsync(call, kAgentTimeout, [answer](sd_bus_message*, const Bluez::CallOutcome& outcome) {
            answer->set_value(outcome.ok());
        });
    });
    return answered.get();
}

// ---- BluezEmulator -----------------------------------------------------------------------

BluezEmulator::BluezEmulator(std::shared_ptr<SimRadio> radio, const std::string& busAddress, BluezEmulatorOptions options)
    : impl_(std::make_unique<Impl>(std::move(radio), busAddress, options)) {}

BluezEmulator::~BluezEmulator() = default;

void BluezEmulator::release() { impl_->release(); }

void BluezEmulator::claim() { impl_->claim(); }

void BluezEmulator::setPowered(bool powered) { impl_->setPowered(powered); }

void BluezEmulator::holdDisconnects(bool hold) { impl_->holdDisconnects(hold); }

int BluezEmulator::discoverySessions() const { return impl_->discoverySessions(); }

void BluezEmulator::setBatteryLevel(uint64_t address, uint8_t percent) { impl_->setBatteryLevel(address, percent); }

void BluezEmulator::remember(uint64_t address, const std::string& name, bool paired, std::optional<int16_t> rssi) {
    impl_->remember(address, name, paired, rssi);
}

bool BluezEmulator::onBus() const { return impl_->onBus(); }

void BluezEmulator::setFaults(uint64_t address, LinkFaults faults) { impl_->setFaults(address, std::move(faults)); }

int BluezEmulator::calls(const std::string& member) const { return impl_->calls(member); }

}  // namespace VexaSim
