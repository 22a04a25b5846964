#pragma once
// Internal: the devices the emulated daemon knows (Device1, Battery1): their objects, links,
// pairing and battery level, and the faults each link shows.

#include <functional>
#include <map>
#include <memory>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "sim/bluez/EmulatedObjects.hpp"

namespace VexaSim {

class EmulatedDevices {
public:
    explicit EmulatedDevices(BluezEmulator::Impl& impl) : impl_(impl) {}

    // ---- Adapter1 and Device1 (loop thread) ----
    int connectDevice(sd_bus_message* message);
    int removeDevice(sd_bus_message* message);
    int property(EmulatedDevice& device, const std::string& name, sd_bus_message* reply);
    int connectMethod(EmulatedDevice& device, sd_bus_message* message);
    int disconnectMethod(EmulatedDevice& device, sd_bus_message* message);
    int pairMethod(EmulatedDevice& device, sd_bus_message* message);

    // ---- the daemon's own work (loop thread) ----
    // The device's object, made (its Device1 registered, not yet announced) when unknown.
    EmulatedDevice& deviceFor(sd_bus* bus, uint64_t address, bool heard);
    bool contains(uint64_t address) const { return devices_.contains(address); }
    EmulatedDevice* find(uint64_t address);
    void forEach(const std::function<void(EmulatedDevice&)>& visit);
    // The faults of the device's link, kept for the device should it come again.
    void setFaults(uint64_t address, LinkFaults faults);
    void setBattery(sd_bus* bus, EmulatedDevice& device, uint8_t percent);
    void dropLink(EmulatedDevice& device, bool announce);
    // While held, a Disconnect leaves the link up and its caller waiting.
    void holdDisconnects(bool hold);
    // The held Disconnects take their links down and are answered.
    void finishDisconnects();
    // Every object goes from the bus.
    void unexportAll();

    // Any thread but the loop's: waits for the pairings under way.
    void joinWorkers();

private:
    const char* connect(sd_bus* bus, EmulatedDevice& device);
    void unexport(EmulatedDevice& device);

    BluezEmulator::Impl& impl_;
    bool holdDisconnects_ = false;
    std::vector<std::pair<uint64_t, sd_bus_message*>> heldDisconnects_;
    std::map<uint64_t, std::unique_ptr<EmulatedDevice>> devices_;
    std::map<uint64_t, LinkFaults> faults_;
    std::vector<std::thread> workers_;
};

}  // namespace VexaSim
