#pragma once
// Internal: the emulated daemon as its parts see it. One loop thread owns the bus connection;
// every part's state belongs to it. The parts reach each other and the loop through here.

#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "sdk/ble/platform/bluez/BusLoop.hpp"
#include "sim/bluez/BluezEmulator.hpp"
#include "sim/bluez/EmulatedAdapter.hpp"
#include "sim/bluez/EmulatedAgents.hpp"
#include "sim/bluez/EmulatedDevices.hpp"
#include "sim/bluez/EmulatedGatt.hpp"

namespace VexaSim {

// How a task on one of the radio's delivery threads reaches the loop: through this, which lets
// go of the loop when the daemon stops.
class LoopRelay {
public:
    explicit LoopRelay(VexaDevice::BLE::Platform::Bluez::BusLoop& loop) : loop_(&loop) {}
    void post(VexaDevice::BLE::Platform::Bluez::BusLoop::Task task) {
        std::lock_guard lock(mutex_);
        if (loop_ != nullptr) loop_->post(std::move(task));
    }
    void close() {
        std::lock_guard lock(mutex_);
        loop_ = nullptr;
    }

private:
    std::mutex mutex_;
    VexaDevice::BLE::Platform::Bluez::BusLoop* loop_;
};

class BluezEmulator::Impl {
public:
    Impl(std::shared_ptr<SimRadio> radio, const std::string& address, BluezEmulatorOptions options);
    ~Impl();

    // ---- control from tests ----
    void release();
    void claim();
    void setPowered(bool powered);
    void holdDisconnects(bool hold);
    int discoverySessions();
    void setBatteryLevel(uint64_t address, uint8_t percent);
    void setFaults(uint64_t address, LinkFaults faults);
    int calls(const std::string& member);
    bool tableExported(uint64_t address);
    int tableChanges(uint64_t address);
    void remember(uint64_t address, const std::string& name, bool paired, std::optional<int16_t> rssi);
    bool onBus();

    // ---- for the parts ----
    VexaDevice::BLE::Platform::Bluez::BusLoop& loop() { return loop_; }
    const std::shared_ptr<LoopRelay>& relay() const { return relay_; }
    SimRadio& radio() { return *radio_; }
    const BluezEmulatorOptions& options() const { return options_; }
    // Loop thread: no delayed work is done once the daemon is stopping.
    bool stopping() const { return stopping_; }
    // Counts a call a client made.
    void count(sd_bus_message* message);
    EmulatedAdapter& adapter() { return adapter_; }
    EmulatedDevices& devices() { return devices_; }
    EmulatedGatt& gatt() { return gatt_; }
    EmulatedAgents& agents() { return agents_; }

private:
    void setUp(sd_bus* bus);
    // What `read` returns of the device on the loop thread; `absent` when it is unknown.
    template <class Read, class Value>
    Value readDevice(uint64_t address, Read read, Value absent);

    const std::shared_ptr<SimRadio> radio_;
    const BluezEmulatorOptions options_;
    std::vector<sd_bus_slot*> slots_;
    std::mutex countMutex_;
    std::map<std::string, int> calls_;
    bool stopping_ = false;
    EmulatedAgents agents_{*this};
    EmulatedDevices devices_{*this};
    EmulatedAdapter adapter_{*this};
    EmulatedGatt gatt_{*this};
    VexaDevice::BLE::Platform::Bluez::BusLoop loop_;  // it stops before the state above goes
    const std::shared_ptr<LoopRelay> relay_ = std::make_shared<LoopRelay>(loop_);
};

}  // namespace VexaSim
