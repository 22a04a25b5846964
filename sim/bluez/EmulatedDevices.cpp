#include "sim/bluez/EmulatedDevices.hpp"

#include "sdk/ble/platform/bluez/BluezNames.hpp"
#include "sdk/ble/platform/bluez/DbusValue.hpp"
#include "sim/bluez/EmulatorCore.hpp"
#include "sim/bluez/EmulatorVtables.hpp"

namespace VexaSim {

namespace Bluez = VexaDevice::BLE::Platform::Bluez;

namespace {

const char* errorOf(Platform::PairingStatus status) {
    switch (status) {
    case Platform::PairingStatus::AlreadyPaired: return "org.bluez.Error.AlreadyExists";
    case Platform::PairingStatus::RejectedByHandler:
    case Platform::PairingStatus::RequiredHandlerNotRegistered: return "org.bluez.Error.AuthenticationRejected";
    case Platform::PairingStatus::AuthenticationFailure: return "org.bluez.Error.AuthenticationFailed";
    case Platform::PairingStatus::PairingCanceled: return "org.bluez.Error.AuthenticationCanceled";
    case Platform::PairingStatus::AuthenticationTimeout: return "org.bluez.Error.AuthenticationTimeout";
    case Platform::PairingStatus::ConnectionRejected: return "org.bluez.Error.ConnectionAttemptFailed";
    default: return "org.bluez.Error.Failed";
    }
}

}  // namespace

int EmulatedDevices::connectDevice(sd_bus_message* message) {
    impl_.count(message);
    Bluez::PropertyMap properties;
    if (Bluez::readProperties(message, properties) < 0 || !properties.contains("Address")) {
        return sd_bus_reply_method_errorf(message, "org.bluez.Error.InvalidArguments", "Invalid arguments");
    }
    const auto address = Bluez::parseAddress(properties.at("Address").asString().value_or(""));
    if (!address) return sd_bus_reply_method_errorf(message, "org.bluez.Error.InvalidArguments", "Invalid arguments");
    sd_bus* bus = sd_bus_message_get_bus(message);
    if (devices_.contains(*address))
        return sd_bus_reply_method_errorf(message, "org.bluez.Error.AlreadyExists", "Already Exists");
    auto handle = impl_.radio().openPeripheral(*address);
    if (!handle) return sd_bus_reply_method_errorf(message, "org.bluez.Error.Failed", "Page Timeout");
    auto& device = deviceFor(bus, *address, false);
    device.handle = std::move(handle);
    device.name = device.handle->name();
    sd_bus_emit_object_added(bus, device.path.c_str());
    if (device.profile.abortsConnect())
        return sd_bus_reply_method_errorf(message, "org.bluez.Error.Failed", "le-connection-abort-by-local");
    if (const char* error = connect(bus, device))
        return sd_bus_reply_method_errorf(message, error, "Connection failed");
    return sd_bus_reply_method_return(message, "o", device.path.c_str());
}

int EmulatedDevices::removeDevice(sd_bus_message* message) {
    impl_.count(message);
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

int EmulatedDevices::property(EmulatedDevice& device, const std::string& name, sd_bus_message* reply) {
    if (name == "Address") return sd_bus_message_append(reply, "s", Bluez::addressText(device.address).c_str());
    if (name == "AddressType") return sd_bus_message_append(reply, "s", "public");
    if (name == "Name") return sd_bus_message_append(reply, "s", device.name.c_str());
    if (name == "Alias") {
        return sd_bus_message_append(
            reply, "s", device.name.empty() ? Bluez::addressText(device.address).c_str() : device.name.c_str());
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

int EmulatedDevices::connectMethod(EmulatedDevice& device, sd_bus_message* message) {
    impl_.count(message);
    if (device.connected)
        return sd_bus_reply_method_errorf(message, "org.bluez.Error.AlreadyConnected", "Already Connected");
    if (device.profile.abortsConnect())
        return sd_bus_reply_method_errorf(message, "org.bluez.Error.Failed", "le-connection-abort-by-local");
    sd_bus* bus = sd_bus_message_get_bus(message);
    if (!device.handle) device.handle = impl_.radio().openPeripheral(device.address);
    if (!device.handle) return sd_bus_reply_method_errorf(message, "org.bluez.Error.Failed", "le-connection-timeout");
    if (const char* error = connect(bus, device))
        return sd_bus_reply_method_errorf(message, error, "Connection failed");
    // Another Connect of the device still running, as the daemon sees it: this one is told
    // so while the link comes up all the same.
    if (device.profile.answersInProgress()) {
        return sd_bus_reply_method_errorf(message, "org.bluez.Error.InProgress", "br-connection-busy");
    }
    return sd_bus_reply_method_return(message, "");
}

int EmulatedDevices::disconnectMethod(EmulatedDevice& device, sd_bus_message* message) {
    impl_.count(message);
    if (!device.connected) return sd_bus_reply_method_errorf(message, "org.bluez.Error.NotConnected", "Not Connected");
    if (holdDisconnects_) {
        heldDisconnects_.emplace_back(device.address, sd_bus_message_ref(message));
        return 1;
    }
    dropLink(device, true);
    return sd_bus_reply_method_return(message, "");
}

// The held Disconnects take their links down and are answered.
void EmulatedDevices::finishDisconnects() {
    for (auto [address, message] : std::exchange(heldDisconnects_, {})) {
        auto found = devices_.find(address);
        if (found != devices_.end()) dropLink(*found->second, true);
        sd_bus_reply_method_return(message, "");
        sd_bus_message_unref(message);
    }
}

int EmulatedDevices::pairMethod(EmulatedDevice& device, sd_bus_message* message) {
    impl_.count(message);
    if (device.paired) return sd_bus_reply_method_errorf(message, "org.bluez.Error.AlreadyExists", "Already Exists");
    if (!device.handle) device.handle = impl_.radio().openPeripheral(device.address);
    if (!device.handle)
        return sd_bus_reply_method_errorf(message, "org.bluez.Error.ConnectionAttemptFailed", "Page Timeout");
    // The simulated pairing waits for its request to be answered, and the answer comes
    // from the client's agent over this loop: it runs on a worker of its own.
    auto handle = device.handle;
    device.pairingHandler = handle->onPairingRequested([this, path = device.path](Platform::PairingRequest& request) {
        if (impl_.agents().ask(path, request.kind())) request.accept();
    });
    sd_bus_message_ref(message);
    workers_.emplace_back([this, handle, message, address = device.address] {
        const auto status = handle->pair(Platform::PairingKind::ConfirmOnly, Platform::ProtectionLevel::Encryption);
        impl_.loop().post([this, message, status, address](sd_bus* bus) {
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

EmulatedDevice& EmulatedDevices::deviceFor(sd_bus* bus, uint64_t address, bool heard) {
    auto& slot = devices_[address];
    if (slot) return *slot;
    slot = std::make_unique<EmulatedDevice>();
    EmulatedDevice& device = *slot;
    device.impl = &impl_;
    device.address = address;
    device.heard = heard;
    device.path = Bluez::devicePath(kAdapterPath, address);
    auto faults = faults_.find(address);
    device.profile.replace(faults == faults_.end() ? impl_.options().faults : faults->second);
    sd_bus_slot* vtable = nullptr;
    if (sd_bus_add_object_vtable(bus, &vtable, device.path.c_str(), Bluez::kDevice,
                                 heard && impl_.options().advertisingFlags ? kFlaggedDeviceVtable : kDeviceVtable,
                                 &device) >= 0) {
        device.slots.push_back(vtable);
    }
    return device;
}

void EmulatedDevices::setBattery(sd_bus* bus, EmulatedDevice& device, uint8_t percent) {
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

const char* EmulatedDevices::connect(sd_bus* bus, EmulatedDevice& device) {
    if (!device.gattExported) {
        impl_.gatt().exportTable(bus, device);
        if (!device.gattExported) return "org.bluez.Error.Failed";
    }
    impl_.gatt().attachViews(bus, device);
    device.statusHandler.reset();
    const uint64_t address = device.address;
    device.statusHandler = device.handle->onConnectionStatusChanged([this, address] {
        impl_.loop().post([this, address](sd_bus*) {
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
    impl_.loop().post([this, address](sd_bus* bus) {
        auto found = devices_.find(address);
        if (found == devices_.end() || !found->second->connected) return;
        found->second->resolved = true;
        emitChanged(bus, found->second->path, Bluez::kDevice, {"ServicesResolved"});
    });
    return nullptr;
}

void EmulatedDevices::dropLink(EmulatedDevice& device, bool announce) {
    impl_.gatt().linkDropped(device);
    device.statusHandler.reset();
    device.batteryHandler.reset();
    for (auto& characteristic : device.characteristics) {
        characteristic->valueHandler.reset();
        characteristic->sim.reset();
        impl_.gatt().closeSocket(*characteristic);
    }
    if (device.handle) device.handle->close();
    device.handle.reset();
    device.batterySim.reset();
    const bool wasConnected = device.connected;
    device.connected = false;
    device.resolved = false;
    if (announce && wasConnected) {
        emitChanged(impl_.loop().bus(), device.path, Bluez::kDevice, {"ServicesResolved", "Connected"});
    }
}

void EmulatedDevices::unexport(EmulatedDevice& device) {
    impl_.gatt().unexportTable(device);
    sd_bus_emit_object_removed(impl_.loop().bus(), device.path.c_str());
    for (auto* slot : device.slots) sd_bus_slot_unref(slot);
    device.slots.clear();
    device.rssiSlot = sd_bus_slot_unref(device.rssiSlot);
}

EmulatedDevice* EmulatedDevices::find(uint64_t address) {
    auto found = devices_.find(address);
    return found == devices_.end() ? nullptr : found->second.get();
}

void EmulatedDevices::forEach(const std::function<void(EmulatedDevice&)>& visit) {
    for (auto& [address, device] : devices_) visit(*device);
}

void EmulatedDevices::setFaults(uint64_t address, LinkFaults faults) {
    faults_[address] = faults;
    if (auto* device = find(address)) device->profile.replace(std::move(faults));
}

void EmulatedDevices::holdDisconnects(bool hold) {
    holdDisconnects_ = hold;
    if (!hold) finishDisconnects();
}

void EmulatedDevices::unexportAll() {
    for (auto& [address, device] : devices_) unexport(*device);
}

void EmulatedDevices::joinWorkers() {
    for (auto& worker : workers_) worker.join();
}

}  // namespace VexaSim
