#include "sim/bluez/EmulatedAdapter.hpp"

#include <algorithm>

#include "sdk/ble/platform/bluez/BluezNames.hpp"
#include "sdk/ble/platform/bluez/DbusValue.hpp"
#include "sim/bluez/EmulatorCore.hpp"
#include "sim/bluez/EmulatorVtables.hpp"

namespace VexaSim {

namespace Bluez = VexaDevice::BLE::Platform::Bluez;

namespace {

constexpr const char* kAdapterAddress = "00:1A:7D:DA:71:13";
constexpr uint8_t kServiceData16 = 0x16;
constexpr uint8_t kServiceData128 = 0x21;

}  // namespace

int EmulatedAdapter::property(const std::string& name, sd_bus_message* reply) {
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

int EmulatedAdapter::startDiscovery(sd_bus_message* message) {
    impl_.count(message);
    if (!powered_) return sd_bus_reply_method_errorf(message, "org.bluez.Error.NotReady", "Resource Not Ready");
    const std::string client = sd_bus_message_get_sender(message);
    if (!discoverers_.insert(client).second) {
        return sd_bus_reply_method_errorf(message, "org.bluez.Error.InProgress", "Operation already in progress");
    }
    updateDiscovery();
    return sd_bus_reply_method_return(message, "");
}

int EmulatedAdapter::stopDiscovery(sd_bus_message* message) {
    impl_.count(message);
    const std::string client = sd_bus_message_get_sender(message);
    if (!discoverers_.contains(client)) {
        return sd_bus_reply_method_errorf(message, "org.bluez.Error.Failed", "No discovery started");
    }
    if (pendingStops_.contains(client)) {
        return sd_bus_reply_method_errorf(message, "org.bluez.Error.InProgress", "Operation already in progress");
    }
    // The session lasts until the controller has stopped: the reply waits for it.
    pendingStops_[client] = sd_bus_message_ref(message);
    impl_.loop().after(impl_.options().stopDiscoveryDelay, [this, client] { finishStop(client); });
    return 1;
}

// Ends every stop still being carried out (the daemon going away ends them at once).
void EmulatedAdapter::finishStops() {
    while (!pendingStops_.empty()) finishStop(pendingStops_.begin()->first);
}

void EmulatedAdapter::finishStop(std::string client) {  // a copy: the entry naming the client goes
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

int EmulatedAdapter::setDiscoveryFilter(sd_bus_message* message) {
    impl_.count(message);
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

void EmulatedAdapter::heard(sd_bus* bus, const Platform::Advertisement& advertisement) {
    // Heard just before discovery stopped, or once the daemon is stopping: a device made now
    // would outlive its objects' removal.
    if (!watcher_ || impl_.stopping()) return;
    const bool known = impl_.devices().contains(advertisement.address);
    auto& device = impl_.devices().deviceFor(bus, advertisement.address, true);
    // Clients that asked for every report hear of the advertising data each time, even when
    // it did not change; the signal strength is announced when it changed.
    const bool duplicates = std::any_of(discoverers_.begin(), discoverers_.end(),
                                        [&](const std::string& client) { return duplicateData_.contains(client); });
    std::vector<std::string> changed;
    if (showRssi(bus, device, advertisement.rssi)) changed.emplace_back("RSSI");
    if (advertisement.flags && device.flags != static_cast<uint8_t>(*advertisement.flags)) {
        device.flags = static_cast<uint8_t>(*advertisement.flags);
        if (impl_.options().advertisingFlags && device.heard) changed.emplace_back("AdvertisingFlags");
    }
    if (!advertisement.localName.empty() && advertisement.localName != device.name) {
        device.name = advertisement.localName;
        changed.emplace_back("Name");
        changed.emplace_back("Alias");
    }
    bool uuids = false;
    for (const auto& uuid : advertisement.serviceUuids)
        uuids = device.uuids.insert(Bluez::uuidText(uuid)).second || uuids;
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
    if (impl_.options().announced) impl_.options().announced(advertisement.address);
}

void EmulatedAdapter::updateDiscovery() {
    sd_bus* bus = impl_.loop().bus();
    const bool wanted = !discoverers_.empty();
    if (wanted == static_cast<bool>(watcher_)) return;
    if (wanted) {
        watcher_ = impl_.radio().createWatcher();
        Platform::WatcherSettings settings;
        settings.mode = Platform::ScanningMode::Active;
        watcher_->configure(settings);
        watcherHandler_ = watcher_->onReceived([this](const Platform::Advertisement& advertisement) {
            impl_.loop().post([this, advertisement](sd_bus* bus) { heard(bus, advertisement); });
        });
        watcher_->start();
    } else {
        watcherHandler_.reset();
        watcher_->stop();
        watcher_.reset();
        impl_.devices().forEach([this](EmulatedDevice& device) { forgetRssi(device); });
    }
    emitChanged(bus, kAdapterPath, Bluez::kAdapter, {"Discovering"});
}

bool EmulatedAdapter::showRssi(sd_bus* bus, EmulatedDevice& device, int16_t rssi) {
    if (device.rssiSlot && device.rssi == rssi) return false;
    device.rssi = rssi;
    if (!device.rssiSlot && sd_bus_add_object_vtable(bus, &device.rssiSlot, device.path.c_str(), Bluez::kDevice,
                                                     kRssiVtable, &device) < 0) {
        device.rssiSlot = nullptr;
    }
    return true;
}

bool EmulatedAdapter::takeServiceData(EmulatedDevice& device, const Platform::Advertisement& advertisement,
                                      bool duplicates) {
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

void EmulatedAdapter::forgetRssi(EmulatedDevice& device) {
    if (!device.rssiSlot) return;
    device.rssiSlot = sd_bus_slot_unref(device.rssiSlot);
    // The property is gone: announced as invalidated, with no value.
    sd_bus_message* signal = nullptr;
    if (sd_bus_message_new_signal(impl_.loop().bus(), &signal, device.path.c_str(), "org.freedesktop.DBus.Properties",
                                  "PropertiesChanged") >= 0 &&
        sd_bus_message_append(signal, "sa{sv}as", Bluez::kDevice, 0, 1, "RSSI") >= 0) {
        sd_bus_send(nullptr, signal, nullptr);
    }
    sd_bus_message_unref(signal);
}

void EmulatedAdapter::setPowered(sd_bus* bus, bool powered) {
    powered_ = powered;
    if (!powered) {
        impl_.devices().forEach([this](EmulatedDevice& device) { impl_.devices().dropLink(device, true); });
        endSessions();
    }
    emitChanged(bus, kAdapterPath, Bluez::kAdapter, {"Powered"});
}

void EmulatedAdapter::endSessions() {
    discoverers_.clear();
    updateDiscovery();
}

void EmulatedAdapter::stopWatching() {
    watcherHandler_.reset();
    if (watcher_) watcher_->stop();
}

}  // namespace VexaSim
