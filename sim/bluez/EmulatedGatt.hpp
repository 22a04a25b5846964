#pragma once
// Internal: the GATT objects the emulated daemon exports for a device (services,
// characteristics, descriptors), following the central-side views of each connection, and the
// characteristic calls: reads, writes, StartNotify sessions and AcquireNotify sockets.

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "sdk/ble/platform/bluez/BusLoop.hpp"
#include "sim/bluez/EmulatedObjects.hpp"

namespace VexaSim {

class LoopRelay;

// Write calls answered once the device's acknowledgement comes through the radio (on its
// thread); the reply then goes out on the loop, behind what the device notified before. A
// call whose device's link drops or table goes away first is answered with an error then.
class AcknowledgedReplies : public std::enable_shared_from_this<AcknowledgedReplies> {
public:
    // Loop thread: holds the call for the device; the returned acknowledgement sends its
    // reply through the relay. Empty once closed: the call is not held.
    std::function<void()> await(sd_bus_message* message, uint64_t device, std::shared_ptr<LoopRelay> relay);
    // Loop thread: the call is answered otherwise.
    void cancel(sd_bus_message* message);
    // Loop thread: the calls held for the device are answered with the error.
    void fail(uint64_t device, const char* errorName, const char* errorText);
    // Loop thread, as the daemon stops: calls still waiting are let go unanswered.
    void close();

private:
    struct Held {
        sd_bus_message* message;
        uint64_t device;
    };
    void reply(uint64_t id);

    // Loop thread only. Keyed by a number of their own: a message answered otherwise may be
    // freed and its address taken by a later call before a stale acknowledgement comes.
    std::map<uint64_t, Held> waiting_;
    uint64_t next_ = 0;
    bool closed_ = false;
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
    // The device's link dropped: its write calls still held fail.
    void linkDropped(const EmulatedDevice& device);
    // Loop thread, as the daemon stops.
    void stop();

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
    const std::shared_ptr<AcknowledgedReplies> replies_;
    int sessionsStarted_ = 0;  // on a live link; every other one is answered late
};

}  // namespace VexaSim
