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

namespace HostTest {

inline constexpr bool kOverDbus = AK_HOST_OVER_DBUS != 0;

inline VexaSim::BluezEmulatorOptions daemonProfile() {
    VexaSim::BluezEmulatorOptions options;
    options.stopDiscoveryDelay = std::chrono::milliseconds(20);
    if constexpr (AK_HOST_BLUEZ_EXPERIMENTAL != 0) return VexaSim::experimentalProfile(options);
    return options;
}

// Installs the chosen backend for its lifetime and restores the previous one afterwards.
class RadioTransport {
public:
    explicit RadioTransport(const std::shared_ptr<VexaSim::SimRadio>& radio) {
        namespace Platform = VexaDevice::BLE::Platform;
        if constexpr (kOverDbus) {
            bus_ = std::make_unique<VexaSim::PrivateBus>();
            daemon_ = std::make_unique<VexaSim::BluezEmulator>(radio, bus_->address(), daemonProfile());
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

private:
    std::unique_ptr<VexaSim::PrivateBus> bus_;
    std::unique_ptr<VexaSim::BluezEmulator> daemon_;
    std::shared_ptr<VexaDevice::BLE::Platform::IBlePlatform> previous_;
};

}  // namespace HostTest
