// The machine's Bluetooth daemon starting after the host's first call (as at boot): the
// process-wide backend follows it, and the next scanner finds devices. A program of its own,
// as the backend of the machine is chosen once per process.

#include <gtest/gtest.h>

#include <chrono>

#include "sdk/ble/DevScan.hpp"
#include "sdk/ble/platform/BlePlatform.hpp"
#include "sim/bluez/BluezEmulator.hpp"
#include "sim/bluez/PrivateBus.hpp"
#include "sim/radio/SimRadio.hpp"
#include "tests/support/WaitFor.hpp"

using namespace std::chrono_literals;
using TestSupport::waitFor;
namespace Platform = VexaDevice::BLE::Platform;
using VexaDevice::BLE::DevScan;
using VexaDevice::BLE::ScanParams;

TEST(LateDaemon, TheNextScannerAfterTheDaemonStartedFindsDevices) {
    VexaSim::PrivateBus bus;
    VexaSim::SystemBusOverride system(bus.address());
    auto radio = VexaSim::SimRadio::create();
    VexaSim::BluezEmulatorOptions options;
    options.appearAfter = 300ms;
    VexaSim::BluezEmulator daemon(radio, bus.address(), options);

    const auto begun = std::chrono::steady_clock::now();
    ASSERT_FALSE(daemon.onBus());
    EXPECT_EQ(Platform::currentPlatform()->defaultAdapter(), nullptr) << "no daemon yet: no adapter";
    ScanParams params;
    params.outOfRangeTimeoutSec = 12;
    auto early = DevScan::create(params);
    EXPECT_THROW(early->startScan(), std::exception) << "a scanner made before the daemon has no adapter";
    EXPECT_FALSE(early->isScanning());
    // The first look-up is bounded by the backend's settling deadline (3 s), not by the daemon.
    EXPECT_LT(std::chrono::steady_clock::now() - begun, 3s);

    ASSERT_TRUE(waitFor([&] { return Platform::currentPlatform()->defaultAdapter() != nullptr; }, 20s));
    EXPECT_TRUE(daemon.onBus());
    auto scanner = DevScan::create(params);
    scanner->startScan();
    EXPECT_TRUE(scanner->isScanning());
    Platform::Advertisement ad;
    ad.address = 0xC0FFEE0000C1;
    ad.rssi = -50;
    ad.localName = "Late";
    EXPECT_TRUE(waitFor([&] {
        radio->advertise(ad);
        return !scanner->getDevices().empty();
    }));
    scanner->stopScan();
}
