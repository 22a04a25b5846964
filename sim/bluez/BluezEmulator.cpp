#include "sim/bluez/BluezEmulator.hpp"

#include <systemd/sd-bus.h>

#include <utility>

#include "sdk/ble/platform/bluez/BluezNames.hpp"
#include "sim/bluez/EmulatorCore.hpp"
#include "sim/bluez/EmulatorVtables.hpp"

namespace VexaSim {

namespace Bluez = VexaDevice::BLE::Platform::Bluez;
using Impl = BluezEmulator::Impl;

Impl::Impl(std::shared_ptr<SimRadio> radio, const std::string& address, BluezEmulatorOptions options)
    : radio_(std::move(radio)), options_(std::move(options)), loop_(address) {
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

Impl::~Impl() {
    relay_->close();
    loop_.run([this](sd_bus*) {
        stopping_ = true;
        adapter_.finishStops();
        devices_.finishDisconnects();
        devices_.forEach([this](EmulatedDevice& device) { devices_.dropLink(device, false); });
        adapter_.stopWatching();
        gatt_.stop();
    });
    devices_.joinWorkers();
    loop_.run([this](sd_bus*) {
        // Calls that came in while the workers were joined are answered too: a held call,
        // like an exported object, keeps the bus connection alive.
        adapter_.finishStops();
        devices_.finishDisconnects();
        adapter_.stopWatching();
        devices_.unexportAll();
        for (auto* slot : slots_) sd_bus_slot_unref(slot);
    });
}

void Impl::setUp(sd_bus* bus) {
    sd_bus_slot* slot = nullptr;
    if (sd_bus_add_object_manager(bus, &slot, "/") >= 0) slots_.push_back(slot);
    if (sd_bus_add_object_vtable(bus, &slot, kAdapterPath, Bluez::kAdapter, kAdapterVtable, this) >= 0)
        slots_.push_back(slot);
    if (options_.connectDevice &&
        sd_bus_add_object_vtable(bus, &slot, kAdapterPath, Bluez::kAdapter, kExperimentalAdapterVtable, this) >= 0) {
        slots_.push_back(slot);
    }
    if (sd_bus_add_object_vtable(bus, &slot, Bluez::kRoot, Bluez::kAgentManager, kAgentManagerVtable, this) >= 0) {
        slots_.push_back(slot);
    }
}

// ---- control from tests ----------------------------------------------------------------

void Impl::release() {
    loop_.run([this](sd_bus* bus) {
        adapter_.finishStops();
        devices_.finishDisconnects();
        devices_.forEach([this](EmulatedDevice& device) { devices_.dropLink(device, true); });
        devices_.forEach([](EmulatedDevice& device) {
            for (auto& characteristic : device.characteristics) characteristic->notifying = false;
        });
        adapter_.endSessions();
        agents_.clear();
        sd_bus_release_name(bus, Bluez::kService);
    });
}

void Impl::claim() {
    loop_.run([](sd_bus* bus) { sd_bus_request_name(bus, Bluez::kService, 0); });
}

void Impl::setPowered(bool powered) {
    loop_.run([this, powered](sd_bus* bus) { adapter_.setPowered(bus, powered); });
}

void Impl::holdDisconnects(bool hold) {
    loop_.run([this, hold](sd_bus*) { devices_.holdDisconnects(hold); });
}

int Impl::discoverySessions() {
    int count = 0;
    loop_.run([&](sd_bus*) { count = adapter_.sessions(); });
    return count;
}

void Impl::setBatteryLevel(uint64_t address, uint8_t percent) {
    loop_.run([&](sd_bus* bus) {
        const bool known = devices_.contains(address);
        auto& device = devices_.deviceFor(bus, address, false);
        devices_.setBattery(bus, device, percent);
        if (!known) sd_bus_emit_object_added(bus, device.path.c_str());
    });
}

void Impl::setFaults(uint64_t address, LinkFaults faults) {
    loop_.run([&](sd_bus*) { devices_.setFaults(address, std::move(faults)); });
}

template <class Read, class Value>
Value Impl::readDevice(uint64_t address, Read read, Value absent) {
    Value value = absent;
    loop_.run([&](sd_bus*) {
        if (const auto* device = devices_.find(address)) value = read(*device);
    });
    return value;
}

bool Impl::tableExported(uint64_t address) {
    return readDevice(
        address, [](const EmulatedDevice& device) { return device.gattExported; }, false);
}

int Impl::tableChanges(uint64_t address) {
    return readDevice(
        address, [](const EmulatedDevice& device) { return device.tableChanges; }, 0);
}

int Impl::calls(const std::string& member) {
    std::lock_guard lock(countMutex_);
    auto found = calls_.find(member);
    return found == calls_.end() ? 0 : found->second;
}

void Impl::remember(uint64_t address, const std::string& name, bool paired, std::optional<int16_t> rssi) {
    loop_.run([&](sd_bus* bus) {
        const bool known = devices_.contains(address);
        auto& device = devices_.deviceFor(bus, address, false);
        device.name = name;
        device.paired = paired;
        if (rssi) adapter_.showRssi(bus, device, *rssi);
        if (!known) sd_bus_emit_object_added(bus, device.path.c_str());
    });
}

bool Impl::onBus() {
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

void Impl::count(sd_bus_message* message) {
    std::lock_guard lock(countMutex_);
    ++calls_[sd_bus_message_get_member(message)];
}

// ---- BluezEmulator -----------------------------------------------------------------------

BluezEmulator::BluezEmulator(std::shared_ptr<SimRadio> radio, const std::string& busAddress,
                             BluezEmulatorOptions options)
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

bool BluezEmulator::tableExported(uint64_t address) const { return impl_->tableExported(address); }

int BluezEmulator::tableChanges(uint64_t address) const { return impl_->tableChanges(address); }

}  // namespace VexaSim
