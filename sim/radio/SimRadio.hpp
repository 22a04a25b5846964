#pragma once
// SimRadio: an in-process simulated Bluetooth LE stack behind the library's platform
// interface, for tests and benchmarks.
//
// Test side:
//   auto radio = VexaSim::SimRadio::create();
//   VexaSim::SimRadioInstallation installed(radio);   // the library now talks to it
//   radio->advertise(advertisement);                   // reaches every started watcher
//   auto peripheral = radio->addPeripheral(address, "name");  // see SimPeripheral.hpp
//   radio->drain();                                    // everything queued is delivered
//
// Every callback into the library (advertisements, watcher stops, notifications, connection
// changes, pairing requests) arrives on SimRadio's own threads: one thread for the scanner
// side, one per peripheral. pause()/resume() hold and release all of them, to stage races.

#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "sdk/ble/platform/BlePlatform.hpp"
#include "sim/radio/SimDispatcher.hpp"
#include "sim/radio/SimPeripheral.hpp"

namespace VexaSim {

class SimWatcher;

enum class SimAdapterState {
    Ready,             // adapter present, central role supported, Bluetooth radio on
    Absent,            // no adapter at all
    RadioOff,          // the adapter's radio is switched off
    NoCentralRole,     // the adapter cannot act as a central
    NoAdapterRadio,    // the adapter reports no radio of its own
    NoBluetoothRadio,  // the radio list holds no Bluetooth radio
};

class SimRadio final : public VexaDevice::BLE::Platform::IBlePlatform, public std::enable_shared_from_this<SimRadio> {
public:
    static std::shared_ptr<SimRadio> create();
    ~SimRadio() override;

    void setAdapterState(SimAdapterState state);
    SimAdapterState adapterState() const;

    // Queues one advertisement (or scan response) for every watcher that is started when it
    // is delivered. Passive watchers do not receive scan responses; values below a watcher's
    // in-range threshold are not reported.
    void advertise(VexaDevice::BLE::Platform::Advertisement advertisement);
    // The stack stops every running watcher on its own (Stopped is reported, status Aborted).
    void abortWatchers();
    int watchersStarted() const;

    std::shared_ptr<SimPeripheral> addPeripheral(uint64_t address, std::string name);
    std::shared_ptr<SimPeripheral> peripheral(uint64_t address) const;
    std::vector<uint64_t> addresses() const;
    void removePeripheral(uint64_t address);

    // Waits until everything queued on every SimRadio thread has been delivered (including
    // what those deliveries queued). Not to be called from a SimRadio thread.
    void drain();
    void pause();
    void resume();

    // Platform interface.
    std::shared_ptr<VexaDevice::BLE::Platform::IAdapter> defaultAdapter() override;
    std::vector<VexaDevice::BLE::Platform::RadioKind> radios() override;
    std::shared_ptr<VexaDevice::BLE::Platform::IAdvertisementWatcher> createWatcher() override;
    std::shared_ptr<VexaDevice::BLE::Platform::IPeripheral> openPeripheral(uint64_t address) override;

    // Used by the watchers.
    bool adapterReady() const;
    SimDispatcher& dispatcher() { return dispatcher_; }
    void countWatcherStart();

private:
    SimRadio() = default;
    std::vector<std::shared_ptr<SimLink>> links() const;

    mutable std::mutex mutex_;
    SimAdapterState adapterState_ = SimAdapterState::Ready;
    std::map<uint64_t, std::shared_ptr<SimPeripheral>> peripherals_;
    std::vector<std::weak_ptr<SimWatcher>> watchers_;
    int watchersStarted_ = 0;
    bool paused_ = false;
    SimDispatcher dispatcher_;
};

// Installs a SimRadio as the process's Bluetooth backend for its lifetime and restores the
// previous backend afterwards.
class SimRadioInstallation {
public:
    explicit SimRadioInstallation(std::shared_ptr<SimRadio> radio);
    ~SimRadioInstallation();
    SimRadioInstallation(const SimRadioInstallation&) = delete;
    SimRadioInstallation& operator=(const SimRadioInstallation&) = delete;

private:
    std::shared_ptr<VexaDevice::BLE::Platform::IBlePlatform> previous_;
};

}  // namespace VexaSim
