#pragma once
// Internal: the GATT objects the emulated daemon exports for a device (services,
// characteristics, descriptors), following the central-side views of each connection, and the
// characteristic calls: reads, writes, StartNotify sessions and AcquireNotify sockets.

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "sim/bluez/EmulatedObjects.hpp"

namespace VexaSim {

class EmulatedGatt {
public:
    explicit EmulatedGatt(BluezEmulator::Impl& impl) : impl_(impl) {}

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

private:
    void exportService(sd_bus* bus, EmulatedDevice& device, const Platform::IGattService& service,
                       const std::vector<std::shared_ptr<Platform::IGattCharacteristic>>& characteristics);
    void scheduleReresolve(EmulatedDevice& device);
    // Once what the device notified so far has reached the client: resolveAgain, then `then`.
    void reresolve(EmulatedDevice& device, std::function<void()> then = {});
    // Removes the table now and exports it again under new paths after the gap.
    void resolveAgain(EmulatedDevice& device);
    // When the call is the one the table goes with: resolves the table again, then answers the
    // call as one to a removed object (true); else false, and the call is taken.
    bool crossesReresolve(EmulatedCharacteristic& characteristic, sd_bus_message* message, const char* member);

    BluezEmulator::Impl& impl_;
};

}  // namespace VexaSim
