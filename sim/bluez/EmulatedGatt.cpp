#include "sim/bluez/EmulatedGatt.hpp"

#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <memory>

#include "sdk/ble/platform/bluez/BluezNames.hpp"
#include "sdk/ble/platform/bluez/DbusValue.hpp"
#include "sim/bluez/EmulatorCore.hpp"
#include "sim/bluez/EmulatorVtables.hpp"
#include "sim/radio/SimLink.hpp"
#include "sim/radio/SimRadio.hpp"

namespace VexaSim {

namespace Bluez = VexaDevice::BLE::Platform::Bluez;

namespace {

constexpr std::chrono::milliseconds kLateSessionAnswer{5};

const char* refusalText(const std::string& errorName) {
    return errorName == "org.bluez.Error.InProgress" ? "In Progress" : "Notify acquired";
}

}  // namespace

int EmulatedGatt::property(EmulatedCharacteristic& characteristic, const std::string& name, sd_bus_message* reply) {
    if (name == "UUID") return sd_bus_message_append(reply, "s", Bluez::uuidText(characteristic.uuid).c_str());
    if (name == "Service") return sd_bus_message_append(reply, "o", characteristic.servicePath.c_str());
    if (name == "Value") return appendBytes(reply, characteristic.value);
    if (name == "Notifying") return sd_bus_message_append(reply, "b", characteristic.notifying);
    if (name == "Flags") return appendStrings(reply, Bluez::flagsOfProperties(characteristic.properties));
    if (name == "MTU") return sd_bus_message_append(reply, "q", characteristic.device->profile.faults().mtu);
    if (name == "NotifyAcquired") {
        std::lock_guard lock(characteristic.socketMutex);
        return sd_bus_message_append(reply, "b", characteristic.socket >= 0);
    }
    return -EINVAL;
}

bool EmulatedGatt::crossesReresolve(EmulatedCharacteristic& characteristic, sd_bus_message* message,
                                    const char* member) {
    EmulatedDevice& device = *characteristic.device;
    if (!device.connected || !device.gattExported || !device.profile.reresolvesOn(member)) return false;
    // The answer follows the removal.
    reresolve(device, [call = sd_bus_message_ref(message)] {
        sd_bus_reply_method_errorf(call, "org.freedesktop.DBus.Error.UnknownObject", "Unknown object '%s'.",
                                   sd_bus_message_get_path(call));
        sd_bus_message_unref(call);
    });
    return true;
}

int EmulatedGatt::readMethod(EmulatedCharacteristic& characteristic, sd_bus_message* message) {
    impl_.count(message);
    if (crossesReresolve(characteristic, message, "ReadValue")) return 1;
    if (!characteristic.device->connected || !characteristic.sim) return replyNotConnected(message);
    if (characteristic.device->profile.busy())
        return sd_bus_reply_method_errorf(message, "org.bluez.Error.InProgress", "In Progress");
    const auto result = characteristic.sim->readValue();
    if (result.status != Platform::GattStatus::Success)
        return replyGattError(message, result.status, "Read not permitted");
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

std::function<void()> AcknowledgedReplies::await(sd_bus_message* message, uint64_t device,
                                                 std::shared_ptr<LoopRelay> relay) {
    if (closed_) return {};
    const uint64_t id = ++next_;
    waiting_[id] = Held{sd_bus_message_ref(message), device};
    return [self = shared_from_this(), id, relay = std::move(relay)] {
        relay->post([self, id](sd_bus*) { self->reply(id); });
    };
}

void AcknowledgedReplies::reply(uint64_t id) {
    const auto found = waiting_.find(id);
    if (found == waiting_.end()) return;
    sd_bus_message* message = found->second.message;
    waiting_.erase(found);
    sd_bus_reply_method_return(message, "");
    sd_bus_message_unref(message);
}

void AcknowledgedReplies::cancel(sd_bus_message* message) {
    for (auto it = waiting_.begin(); it != waiting_.end(); ++it) {
        if (it->second.message != message) continue;
        sd_bus_message_unref(message);
        waiting_.erase(it);
        return;
    }
}

void AcknowledgedReplies::fail(uint64_t device, const char* errorName, const char* errorText) {
    for (auto it = waiting_.begin(); it != waiting_.end();) {
        if (it->second.device != device) {
            ++it;
            continue;
        }
        sd_bus_reply_method_errorf(it->second.message, errorName, "%s", errorText);
        sd_bus_message_unref(it->second.message);
        it = waiting_.erase(it);
    }
}

void AcknowledgedReplies::close() {
    closed_ = true;
    for (auto& [id, held] : waiting_) sd_bus_message_unref(held.message);
    waiting_.clear();
}

EmulatedGatt::EmulatedGatt(BluezEmulator::Impl& impl)
    : impl_(impl), replies_(std::make_shared<AcknowledgedReplies>()) {}

void EmulatedGatt::stop() { replies_->close(); }

void EmulatedGatt::linkDropped(const EmulatedDevice& device) {
    replies_->fail(device.address, "org.bluez.Error.Failed", "Not connected");
}

int EmulatedGatt::writeMethod(EmulatedCharacteristic& characteristic, sd_bus_message* message) {
    impl_.count(message);
    const void* data = nullptr;
    size_t size = 0;
    if (sd_bus_message_read_array(message, 'y', &data, &size) < 0) return -EINVAL;
    Bluez::PropertyMap options;
    Bluez::readProperties(message, options);
    if (crossesReresolve(characteristic, message, "WriteValue")) return 1;
    if (!characteristic.device->connected || !characteristic.sim) return replyNotConnected(message);
    if (characteristic.device->profile.busy())
        return sd_bus_reply_method_errorf(message, "org.bluez.Error.InProgress", "In Progress");
    const auto* first = static_cast<const uint8_t*>(data);
    // As the daemon does: the reply goes out once the device's acknowledgement arrives, so what
    // the device notified before it is sent first.
    auto acknowledged = replies_->await(message, characteristic.device->address, impl_.relay());
    const bool held = static_cast<bool>(acknowledged);
    const auto status = characteristic.sim->writeValue(Bytes(first, first + size), std::move(acknowledged));
    // A daemon that is stopping answers at once.
    if (status == Platform::GattStatus::Success) return held ? 1 : sd_bus_reply_method_return(message, "");
    replies_->cancel(message);
    return replyGattError(message, status, "Write not permitted");
}

int EmulatedGatt::startNotify(EmulatedCharacteristic& characteristic, sd_bus_message* message) {
    impl_.count(message);
    if (crossesReresolve(characteristic, message, "StartNotify")) return 1;
    {
        std::lock_guard lock(characteristic.socketMutex);
        if (characteristic.socket >= 0)
            return sd_bus_reply_method_errorf(message, "org.bluez.Error.NotPermitted", "Notify acquired");
    }
    // A client's second session is its first; one started while the link is down begins
    // when it comes up.
    if (characteristic.notifying) return sd_bus_reply_method_return(message, "");
    const bool live = characteristic.device->connected && characteristic.sim;
    if (live) {
        const auto status = characteristic.sim->writeClientConfiguration(Platform::ClientConfiguration::Notify);
        if (status != Platform::GattStatus::Success) return replyGattError(message, status, "Not paired");
        scheduleReresolve(*characteristic.device);
    }
    characteristic.notifying = true;
    emitChanged(sd_bus_message_get_bus(message), characteristic.path, Bluez::kGattCharacteristic, {"Notifying"});
    // Every other session is answered a moment late, as by a daemon that had the configuration
    // written already: what the device sends meanwhile is announced before the answer.
    if (!live || ++sessionsStarted_ % 2 != 0) return sd_bus_reply_method_return(message, "");
    std::shared_ptr<sd_bus_message> call(sd_bus_message_ref(message), sd_bus_message_unref);
    impl_.loop().after(kLateSessionAnswer, [call] { sd_bus_reply_method_return(call.get(), ""); });
    return 1;
}

int EmulatedGatt::stopNotify(EmulatedCharacteristic& characteristic, sd_bus_message* message) {
    impl_.count(message);
    if (!characteristic.notifying)
        return sd_bus_reply_method_errorf(message, "org.bluez.Error.Failed", "No notify session started");
    characteristic.notifying = false;
    if (characteristic.device->connected && characteristic.sim) {
        characteristic.sim->writeClientConfiguration(Platform::ClientConfiguration::None);
    }
    emitChanged(sd_bus_message_get_bus(message), characteristic.path, Bluez::kGattCharacteristic, {"Notifying"});
    return sd_bus_reply_method_return(message, "");
}

int EmulatedGatt::acquireNotify(EmulatedCharacteristic& characteristic, sd_bus_message* message) {
    impl_.count(message);
    if (crossesReresolve(characteristic, message, "AcquireNotify")) return 1;
    if (!characteristic.device->connected || !characteristic.sim) return replyNotConnected(message);
    {
        std::lock_guard lock(characteristic.socketMutex);
        if (characteristic.socket >= 0)
            return sd_bus_reply_method_errorf(message, "org.bluez.Error.NotPermitted", "Notify acquired");
    }
    if (characteristic.notifying)
        return sd_bus_reply_method_errorf(message, "org.bluez.Error.InProgress", "In Progress");
    const std::string& refusal = characteristic.device->profile.faults().acquireNotifyRefusal;
    if (!refusal.empty()) return sd_bus_reply_method_errorf(message, refusal.c_str(), "%s", refusalText(refusal));
    int pair[2];
    if (socketpair(AF_UNIX, SOCK_SEQPACKET | SOCK_NONBLOCK | SOCK_CLOEXEC, 0, pair) != 0) {
        return sd_bus_reply_method_errorf(message, "org.bluez.Error.Failed", "No socket");
    }
    // The socket is there before the device is told to notify: what it sends from then on goes in.
    {
        std::lock_guard lock(characteristic.socketMutex);
        characteristic.socket = pair[0];
    }
    const auto status = characteristic.sim->writeClientConfiguration(Platform::ClientConfiguration::Notify);
    if (status != Platform::GattStatus::Success) {
        {
            std::lock_guard lock(characteristic.socketMutex);
            characteristic.socket = -1;
        }
        ::close(pair[0]);
        ::close(pair[1]);
        return replyGattError(message, status, "Not paired");
    }
    scheduleReresolve(*characteristic.device);
    // The client closing its end ends the notifications.
    impl_.loop().watch(pair[0], [this, &characteristic, bus = sd_bus_message_get_bus(message)] {
        closeSocket(characteristic);
        if (characteristic.device->connected && characteristic.sim) {
            characteristic.sim->writeClientConfiguration(Platform::ClientConfiguration::None);
        }
        emitChanged(bus, characteristic.path, Bluez::kGattCharacteristic, {"NotifyAcquired"});
    });
    const int r = sd_bus_reply_method_return(message, "hq", pair[1], characteristic.device->profile.faults().mtu);
    ::close(pair[1]);
    emitChanged(sd_bus_message_get_bus(message), characteristic.path, Bluez::kGattCharacteristic, {"NotifyAcquired"});
    return r;
}

int EmulatedGatt::descriptorRead(sd_bus_message* message) {
    impl_.count(message);
    return sd_bus_reply_method_errorf(message, "org.bluez.Error.NotPermitted", "Read not permitted");
}

int EmulatedGatt::descriptorWrite(sd_bus_message* message) {
    impl_.count(message);
    // The daemon keeps client configuration to itself: StartNotify and AcquireNotify set it.
    return sd_bus_reply_method_errorf(message, "org.bluez.Error.NotPermitted", "Write not permitted");
}

void EmulatedGatt::exportTable(sd_bus* bus, EmulatedDevice& device) {
    const auto services = device.handle->gattServices();
    if (services.status != Platform::GattStatus::Success) return;
    std::vector<
        std::pair<std::shared_ptr<Platform::IGattService>, std::vector<std::shared_ptr<Platform::IGattCharacteristic>>>>
        table;
    for (const auto& service : services.services) {
        auto characteristics = service->characteristics();
        if (characteristics.status != Platform::GattStatus::Success) continue;
        if (Bluez::shortUuid(service->uuid()) == kBatteryService) {
            // The daemon's battery plug-in takes this service over and reports Battery1.
            for (const auto& characteristic : characteristics.characteristics) {
                if (Bluez::shortUuid(characteristic->uuid()) == kBatteryLevel) device.batterySim = characteristic;
            }
            if (device.batterySim && !device.profile.faults().batteryServiceExported) continue;
        }
        table.emplace_back(service, std::move(characteristics.characteristics));
    }
    // The daemon knows every primary service (Device1.UUIDs) before the last one is exported.
    std::optional<
        std::pair<std::shared_ptr<Platform::IGattService>, std::vector<std::shared_ptr<Platform::IGattCharacteristic>>>>
        late;
    if (!table.empty() && device.profile.delaysLastService()) {
        late = std::move(table.back());
        table.pop_back();
        device.uuids.insert(Bluez::uuidText(late->first->uuid()));
    }
    for (const auto& [service, characteristics] : table) exportService(bus, device, *service, characteristics);
    device.gattExported = true;
    emitChanged(bus, device.path, Bluez::kDevice, {"UUIDs"});
    if (!late) return;
    impl_.loop().after(device.profile.faults().lateService, [this, address = device.address, late = std::move(*late)] {
        sd_bus* bus = impl_.loop().bus();
        auto* found = impl_.devices().find(address);
        if (impl_.stopping()) return;
        if (!found || !found->gattExported) return;
        exportService(bus, *found, *late.first, late.second);
        if (found->connected) attachViews(bus, *found);
    });
}

void EmulatedGatt::exportService(sd_bus* bus, EmulatedDevice& device, const Platform::IGattService& service,
                                 const std::vector<std::shared_ptr<Platform::IGattCharacteristic>>& characteristics) {
    auto exported = std::make_shared<EmulatedService>();
    char name[16];
    std::snprintf(name, sizeof(name), "/service%04x", device.nextHandle++);
    exported->path = device.path + name;
    exported->devicePath = device.path;
    exported->uuid = service.uuid();
    sd_bus_slot* slot = nullptr;
    if (sd_bus_add_object_vtable(bus, &slot, exported->path.c_str(), Bluez::kGattService, kServiceVtable,
                                 exported.get()) >= 0) {
        device.gattSlots.push_back(slot);
    }
    device.uuids.insert(Bluez::uuidText(exported->uuid));
    device.services.push_back(exported);
    sd_bus_emit_object_added(bus, exported->path.c_str());
    for (const auto& characteristic : characteristics) {
        auto entry = std::make_shared<EmulatedCharacteristic>();
        entry->impl = &impl_;
        entry->device = &device;
        std::snprintf(name, sizeof(name), "/char%04x", device.nextHandle++);
        entry->path = exported->path + name;
        entry->servicePath = exported->path;
        entry->uuid = characteristic->uuid();
        entry->properties = characteristic->properties();
        entry->index = device.characteristics.size();
        const bool notifies =
            entry->properties & (Platform::CharacteristicProperty::Notify | Platform::CharacteristicProperty::Indicate);
        const auto* vtable =
            notifies && impl_.options().acquireNotify ? kAcquiringCharacteristicVtable : kCharacteristicVtable;
        if (sd_bus_add_object_vtable(bus, &slot, entry->path.c_str(), Bluez::kGattCharacteristic, vtable,
                                     entry.get()) >= 0) {
            device.gattSlots.push_back(slot);
        }
        device.characteristics.push_back(entry);
        sd_bus_emit_object_added(bus, entry->path.c_str());
        if (!notifies) continue;
        auto descriptor = std::make_shared<EmulatedDescriptor>();
        descriptor->impl = &impl_;
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

void EmulatedGatt::scheduleReresolve(EmulatedDevice& device) {
    if (!device.profile.schedulesReresolve()) return;
    impl_.loop().after(device.profile.faults().reresolveAfterNotify, [this, address = device.address] {
        auto* found = impl_.devices().find(address);
        if (!impl_.stopping() && found) reresolve(*found);
    });
}

// The device's table changed (Service Changed). What the device notified before reaches the
// client first, as over one ordered link; then the objects go with every session on them, and
// the table found again is exported under new paths while the link stays up.
void EmulatedGatt::reresolve(EmulatedDevice& device, std::function<void()> then) {
    auto removal = [this, address = device.address, then = std::move(then)](sd_bus*) {
        auto* found = impl_.devices().find(address);
        if (!impl_.stopping() && found) resolveAgain(*found);
        if (then) then();
    };
    const auto peripheral = impl_.radio().peripheral(device.address);
    if (!peripheral) return impl_.loop().post(std::move(removal));
    peripheral->link()->dispatcher().post(
        [relay = impl_.relay(), removal = std::move(removal)] { relay->post(std::move(removal)); });
}

// A write in flight is cancelled: its answer would come on objects that are gone.
void EmulatedGatt::resolveAgain(EmulatedDevice& device) {
    if (!device.connected || !device.gattExported) return;
    for (auto& characteristic : device.characteristics) {
        characteristic->valueHandler.reset();
        closeSocket(*characteristic);
        if (characteristic->notifying && characteristic->sim) {
            characteristic->sim->writeClientConfiguration(Platform::ClientConfiguration::None);
        }
        characteristic->notifying = false;
    }
    unexportTable(device);
    device.gattExported = false;
    ++device.tableChanges;
    // After the removal: a client told of the failure writes again to the new object.
    replies_->fail(device.address, "org.bluez.Error.Failed", "Operation failed");
    impl_.loop().after(device.profile.faults().reresolveGap, [this, address = device.address] {
        sd_bus* bus = impl_.loop().bus();
        auto* found = impl_.devices().find(address);
        if (impl_.stopping() || !found || found->gattExported || !found->handle) return;
        exportTable(bus, *found);
        if (found->connected) attachViews(bus, *found);
    });
}

// Each connection hands out fresh central-side views: the exported objects follow them.
void EmulatedGatt::attachViews(sd_bus* bus, EmulatedDevice& device) {
    const auto services = device.handle->gattServices();
    if (services.status != Platform::GattStatus::Success) return;
    size_t index = 0;
    for (const auto& service : services.services) {
        const auto characteristics = service->characteristics();
        if (characteristics.status != Platform::GattStatus::Success) continue;
        for (const auto& view : characteristics.characteristics) {
            if (view == device.batterySim || (Bluez::shortUuid(service->uuid()) == kBatteryService &&
                                              device.batterySim && Bluez::shortUuid(view->uuid()) == kBatteryLevel)) {
                device.batterySim = view;
                if (!device.profile.faults().batteryServiceExported) continue;
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
                impl_.loop().post([this, weak, value](sd_bus* bus) {
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
        if (level.status == Platform::GattStatus::Success && !level.value.empty())
            impl_.devices().setBattery(bus, device, level.value[0]);
        const uint64_t address = device.address;
        device.batteryHandler = device.batterySim->onValueChanged([this, address](const Bytes& value) {
            if (value.empty()) return;
            impl_.loop().post([this, address, percent = value[0]](sd_bus* bus) {
                if (auto* found = impl_.devices().find(address)) impl_.devices().setBattery(bus, *found, percent);
            });
        });
        device.batterySim->writeClientConfiguration(Platform::ClientConfiguration::Notify);
    }
}

void EmulatedGatt::closeSocket(EmulatedCharacteristic& characteristic) {
    std::lock_guard lock(characteristic.socketMutex);
    if (characteristic.socket < 0) return;
    impl_.loop().unwatch(characteristic.socket);
    ::close(characteristic.socket);
    characteristic.socket = -1;
}

void EmulatedGatt::unexportTable(EmulatedDevice& device) {
    sd_bus* bus = impl_.loop().bus();
    for (auto it = device.descriptors.rbegin(); it != device.descriptors.rend(); ++it)
        sd_bus_emit_object_removed(bus, (*it)->path.c_str());
    for (auto it = device.characteristics.rbegin(); it != device.characteristics.rend(); ++it) {
        sd_bus_emit_object_removed(bus, (*it)->path.c_str());
    }
    for (auto it = device.services.rbegin(); it != device.services.rend(); ++it)
        sd_bus_emit_object_removed(bus, (*it)->path.c_str());
    for (auto* slot : device.gattSlots) sd_bus_slot_unref(slot);
    device.gattSlots.clear();
    device.descriptors.clear();
    device.characteristics.clear();
    device.services.clear();
}

}  // namespace VexaSim
