#pragma once
// Internal: the GATT objects the emulated daemon exports for a device (services,
// characteristics, descriptors), following the central-side views of each connection, and the
// characteristic calls: reads, writes, StartNotify sessions and AcquireNotify sockets.

#include <functional>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <vector>

#include "sdk/ble/platform/bluez/BusLoop.hpp"
#include "sim/bluez/EmulatedObjects.hpp"

namespace VexaSim {

// Write calls answered once the device's acknowledgement comes through the radio (on its
// thread); the reply then goes out on the loop, behind what the device notified before.
class AcknowledgedReplies : public std::enable_shared_from_this<AcknowledgedReplies> {
public:
    explicit AcknowledgedReplies(VexaDevice::BLE::Platform::Bluez::BusLoop& loop) : loop_(&loop) {}
    // Loop thread: holds the call; the returned acknowledgement sends its reply. Empty once
    // closed: the call is not held.
    std::function<void()> await(sd_bus_message* message);
    // Loop thread: the call is answered otherwise.
    void cancel(sd_bus_message* message);
    // Loop thread, as the daemon stops: calls still waiting are let go unanswered.
    void close();

private:
    void reply(sd_bus_message* message);

    std::mutex mutex_;
    VexaDevice::BLE::Platform::Bluez::BusLoop* loop_;
    std::set<sd_bus_message*> waiting_;
};

class EmulatedGatt {
public:
    explicit EmulatedGatt(BluezEmulator::Impl& impl);

    // ---- GattCharacteristic1 and GattDescriptor1 (loop thread) ----
    int property(EmulatedCharacteristic& characteristic, const std::string& name, sd_bus_message* reply);
    int readMethod(EmulatedCharacteristic& characteristic, sd_bus_message* message);
    int writeMethod(EmulatedCharacteristic& characteristic, sd_bus_message* message);
    int startNotify(EmulatedCharacteristic& characteristic, sd_bus_message* message);
    int stopNotify(EmulatedCharacteristic& characteristic, sd_bus_message* message);
    int acquireNotify(EmulatedCharacteristic& characteristic, sd_bus_message* message);
    int descriptorRead(sd_bus_message* message);
    int descriptorWrite(sd_bus_message* message);

    // ---- the daemon's own work (loop thread) ----
    // Exports the device's table (the Battery service behind Battery1); gattExported tells
    // whether it could be read.
    void exportTable(sd_bus* bus, EmulatedDevice& device);
    void unexportTable(EmulatedDevice& device);
    // Each connection hands out fresh central-side views: the exported objects follow them.
    void attachViews(sd_bus* bus, EmulatedDevice& device);
    void closeSocket(EmulatedCharacteristic& characteristic);
    // Loop thread, as the daemon stops.
    void stop() { replies_->close(); }

private:
    void exportService(sd_bus* bus, EmulatedDevice& device, const Platform::IGattService& service,
                       const std::vector<std::shared_ptr<Platform::IGattCharacteristic>>& characteristics);
    void scheduleReresolve(EmulatedDevice& device);
    void reresolve(EmulatedDevice& device);

    BluezEmulator::Impl& impl_;
    std::shared_ptr<AcknowledgedReplies> replies_;
};

}  // namespace VexaSim
