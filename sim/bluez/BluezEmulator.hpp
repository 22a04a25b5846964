#pragma once
// A Bluetooth daemon of our own on a D-Bus bus: the org.bluez API (adapter, devices, GATT
// objects, battery, agent manager) in front of a simulated radio, so the library's daemon
// backend can be tested against every emulated peer without Bluetooth hardware.
//
// The emulator is a central of the radio it is given: discovery starts a watcher there and
// turns advertisements into Device1 objects; Connect opens the peripheral and exports its GATT
// table; reads, writes and notifications go through to the emulated device. It behaves as the
// real daemon does where clients must cope: Connect answers before ServicesResolved, a read's
// value is also announced as a change of Value, Device1.UUIDs merges advertised and resolved
// services (sorted), the Battery service is hidden behind Battery1, StartNotify sessions
// survive a link loss while AcquireNotify sockets close, one report of a device changes its
// signal strength and advertising data in one PropertiesChanged, devices it remembers stay on
// the bus whether or not they advertise.
//
// By default it is a stock daemon (no experimental features: no ConnectDevice, no
// AdvertisingFlags); the options turn those on and inject the slower behaviour of real ones.
//
//   VexaSim::PrivateBus bus;
//   auto radio = VexaSim::SimRadio::create();
//   VexaSim::BluezEmulator daemon(radio, bus.address());
//   ... peers attach to `radio`; the library talks to bus.address() ...

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "sim/bluez/LinkFaults.hpp"
#include "sim/radio/SimRadio.hpp"

namespace VexaSim {

struct BluezEmulatorOptions {
    // Offer AcquireNotify (NotifyAcquired) on notifying characteristics; else StartNotify only.
    bool acquireNotify = true;
    // Answer Adapter1.ConnectDevice (an experimental method); without it clients must discover
    // devices first.
    bool connectDevice = false;
    // Report the advertised flags (AdvertisingFlags), as daemons run with experimental
    // features do; a stock daemon leaves the property out.
    bool advertisingFlags = false;
    // Told, on the daemon's thread, each time an advertisement has been announced to clients:
    // a new device's InterfacesAdded or a known one's PropertiesChanged (for timing them).
    std::function<void(uint64_t address)> announced;
    // The faults of every device's link, unless set for the device itself.
    LinkFaults faults;

    // ---- discovery and presence, as slower daemons show them ----
    // StopDiscovery is answered (and the session ended) this long after it was asked, as the
    // controller takes its time; a StartDiscovery meanwhile is answered InProgress.
    std::chrono::milliseconds stopDiscoveryDelay{0};
    // The name org.bluez is taken this long after construction (a daemon starting late).
    std::chrono::milliseconds appearAfter{0};
};

// Everything an experimental daemon offers.
inline BluezEmulatorOptions experimentalProfile(BluezEmulatorOptions options = {}) {
    options.connectDevice = true;
    options.advertisingFlags = true;
    return options;
}

class BluezEmulator {
public:
    // Connects to the bus and takes the name org.bluez; throws when the bus cannot be reached.
    BluezEmulator(std::shared_ptr<SimRadio> radio, const std::string& busAddress, BluezEmulatorOptions options = {});
    ~BluezEmulator();
    BluezEmulator(const BluezEmulator&) = delete;
    BluezEmulator& operator=(const BluezEmulator&) = delete;

    // The daemon stopping: links drop, sessions end, the name is given up. claim() is it
    // starting again, with the devices it remembers.
    void release();
    void claim();

    void setPowered(bool powered);
    // While held, a Disconnect leaves the link up and its caller waiting, as the daemon does
    // for the seconds a link takes to go down; letting go ends every held one.
    void holdDisconnects(bool hold);
    // Number of clients with a discovery session.
    int discoverySessions() const;
    // The level the battery interface of a device reports (added on first use).
    void setBatteryLevel(uint64_t address, uint8_t percent);
    // The faults of one device's link from its next connection on.
    void setFaults(uint64_t address, LinkFaults faults);
    // Counts of the calls clients made, for assertions.
    int calls(const std::string& member) const;
    // Whether a device's GATT table is exported right now (not while it is resolved again).
    bool tableExported(uint64_t address) const;
    // How many times a device's table was resolved again while its link stayed up.
    int tableChanges(uint64_t address) const;
    // A device the daemon remembers (paired, or heard by an earlier scan) though it need not be
    // in range: its object is exported at once. With a signal strength it is one another
    // program's discovery heard moments ago.
    void remember(uint64_t address, const std::string& name, bool paired, std::optional<int16_t> rssi = std::nullopt);
    // Whether the name org.bluez is ours right now.
    bool onBus() const;

    class Impl;

private:
    std::unique_ptr<Impl> impl_;
};

}  // namespace VexaSim
