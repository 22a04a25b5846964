#pragma once
// Internal: the emulated daemon's adapter (Adapter1): power, the clients' discovery sessions and
// filters, and the devices discovery hears, with their signal strength and advertising data.

#include <map>
#include <memory>
#include <set>
#include <string>

#include "sim/bluez/EmulatedObjects.hpp"

namespace VexaSim {

class EmulatedAdapter {
public:
    explicit EmulatedAdapter(BluezEmulator::Impl& impl) : impl_(impl) {}

    // ---- Adapter1 (loop thread) ----
    int property(const std::string& name, sd_bus_message* reply);
    int startDiscovery(sd_bus_message* message);
    int stopDiscovery(sd_bus_message* message);
    int setDiscoveryFilter(sd_bus_message* message);

    // ---- the daemon's own work (loop thread) ----
    void setPowered(sd_bus* bus, bool powered);
    // Ends every stop still being carried out (the daemon going away ends them at once).
    void finishStops();
    // Every client's session ends.
    void endSessions();
    // The daemon stopping: the radio is no longer watched.
    void stopWatching();
    int sessions() const { return static_cast<int>(discoverers_.size()); }
    // Gives the device a signal strength; true when it changed.
    bool showRssi(sd_bus* bus, EmulatedDevice& device, int16_t rssi);

private:
    void finishStop(std::string client);
    void updateDiscovery();
    void heard(sd_bus* bus, const Platform::Advertisement& advertisement);
    // Takes the advertisement's service data; true when clients are to hear of it.
    bool takeServiceData(EmulatedDevice& device, const Platform::Advertisement& advertisement, bool duplicates);
    void forgetRssi(EmulatedDevice& device);

    BluezEmulator::Impl& impl_;
    bool powered_ = true;
    std::set<std::string> discoverers_;
    std::map<std::string, sd_bus_message*> pendingStops_;  // StopDiscovery being carried out, by client
    std::set<std::string> duplicateData_;                  // clients whose filter asked for every report
    unsigned stops_ = 0;
    std::shared_ptr<Platform::IAdvertisementWatcher> watcher_;
    Platform::Registration watcherHandler_;
};

}  // namespace VexaSim
