#pragma once
// How a host test's library reaches the emulated devices. Built with AK_HOST_OVER_DBUS=1, every
// flow goes through the Bluetooth daemon backend over D-Bus to the emulated daemon, which serves
// the same simulated radio's peers; otherwise the library talks to the simulated radio directly.
// The emulated daemon is a stock one that takes its time to stop discovering; built with
// AK_HOST_BLUEZ_EXPERIMENTAL=1 it offers the experimental features too.

#include <chrono>
#include <memory>

#include "sdk/ble/platform/BlePlatform.hpp"
#include "sdk/ble/platform/bluez/BluezPlatform.hpp"
#include "sim/bluez/BluezEmulator.hpp"
#include "sim/bluez/PrivateBus.hpp"
#include "sim/radio/SimRadio.hpp"

#ifndef AK_HOST_OVER_DBUS
#define AK_HOST_OVER_DBUS 0
#endif
#ifndef AK_HOST_BLUEZ_EXPERIMENTAL
#define AK_HOST_BLUEZ_EXPERIMENTAL 0
#endif
// With AK_HOST_LINK_FAULTS=1 every device's link over D-Bus misbehaves as real ones do.
#ifndef AK_HOST_LINK_FAULTS
#define AK_HOST_LINK_FAULTS 0
#endif

namespace HostTest {

inline constexpr bool kOverDbus = AK_HOST_OVER_DBUS != 0;
inline constexpr bool kLinkFaults = AK_HOST_OVER_DBUS != 0 && AK_HOST_LINK_FAULTS != 0;

// A stock daemon whose discovery takes a moment to stop. With AK_HOST_LINK_FAULTS=1 connects
// are aborted twice before one holds (the third after InProgress), the last service is exported
// after ServicesResolved, the table is resolved again mid-stream, AcquireNotify is refused and
// a read or write is answered InProgress once.
inline VexaSim::BluezEmulatorOptions emulatorOptions() {
    VexaSim::BluezEmulatorOptions options;
    options.stopDiscoveryDelay = std::chrono::milliseconds(20);
    if constexpr (AK_HOST_BLUEZ_EXPERIMENTAL != 0) options = VexaSim::experimentalProfile(options);
    if (AK_HOST_LINK_FAULTS == 0) return options;
    options.faults.abortedConnects = 2;
    options.faults.connectInProgress = true;
    options.faults.lateService = std::chrono::milliseconds(300);
    options.faults.reresolveAfterNotify = std::chrono::milliseconds(150);
    options.faults.acquireNotifyRefusal = "org.bluez.Error.NotPermitted";
    options.faults.busyGattCalls = 1;
    return options;
}

// Installs the chosen backend for its lifetime and restores the previous one afterwards.
class RadioTransport {
public:
    explicit RadioTransport(const std::shared_ptr<VexaSim::SimRadio>& radio) {
        namespace Platform = VexaDevice::BLE::Platform;
        if constexpr (kOverDbus) {
            bus_ = std::make_unique<VexaSim::PrivateBus>();
            daemon_ = std::make_unique<VexaSim::BluezEmulator>(radio, bus_->address(), emulatorOptions());
            auto platform = Platform::Bluez::BluezPlatform::create(bus_->address());
            platform->waitUntilSettled(std::chrono::seconds(10));
            previous_ = Platform::installPlatform(std::move(platform));
        } else {
            previous_ = Platform::installPlatform(radio);
        }
    }
    ~RadioTransport() {
        // The backend goes before the daemon and the bus it talks to.
        VexaDevice::BLE::Platform::installPlatform(std::move(previous_));
        daemon_.reset();
        bus_.reset();
    }
    RadioTransport(const RadioTransport&) = delete;
    RadioTransport& operator=(const RadioTransport&) = delete;

    // The emulated daemon; null when the library talks to the radio directly.
    VexaSim::BluezEmulator* daemon() const { return daemon_.get(); }

private:
    std::unique_ptr<VexaSim::PrivateBus> bus_;
    std::unique_ptr<VexaSim::BluezEmulator> daemon_;
    std::shared_ptr<VexaDevice::BLE::Platform::IBlePlatform> previous_;
};

}  // namespace HostTest
