#pragma once
// The daemon backend against the emulated daemon on a bus of the test's own.

#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "sdk/ble/platform/bluez/BluezPlatform.hpp"
#include "sim/bluez/BluezEmulator.hpp"
#include "sim/bluez/PrivateBus.hpp"
#include "sim/radio/SimRadio.hpp"
#include "tests/support/WaitFor.hpp"

namespace BleTest {

namespace Platform = VexaDevice::BLE::Platform;
namespace Bluez = VexaDevice::BLE::Platform::Bluez;
using namespace std::chrono_literals;
using TestSupport::waitFor;

inline Bluez::BluezTiming shortTiming() {
    Bluez::BluezTiming timing;
    timing.callTimeout = 5s;
    timing.connectTimeout = 5s;
    timing.pairTimeout = 5s;
    return timing;
}

// Values a handler received, and the threads it ran on.
struct Received {
    std::mutex mutex;
    std::vector<std::vector<uint8_t>> values;
    std::vector<std::thread::id> threads;

    void add(const std::vector<uint8_t>& value) {
        std::lock_guard lock(mutex);
        values.push_back(value);
        threads.push_back(std::this_thread::get_id());
    }
    size_t count() {
        std::lock_guard lock(mutex);
        return values.size();
    }
    std::vector<std::vector<uint8_t>> all() {
        std::lock_guard lock(mutex);
        return values;
    }
};

// Advertisements a watcher delivered.
struct Advertisements {
    std::mutex mutex;
    std::vector<Platform::Advertisement> received;
    void add(const Platform::Advertisement& ad) {
        std::lock_guard lock(mutex);
        received.push_back(ad);
    }
    std::vector<Platform::Advertisement> all() {
        std::lock_guard lock(mutex);
        return received;
    }
};

template <bool AcquireNotify = true>
struct BluezFixtureOf : ::testing::Test {
    VexaSim::PrivateBus bus;
    std::shared_ptr<VexaSim::SimRadio> radio = VexaSim::SimRadio::create();
    std::unique_ptr<VexaSim::BluezEmulator> daemon =
        std::make_unique<VexaSim::BluezEmulator>(radio, bus.address(), VexaSim::experimentalProfile({AcquireNotify}));
    std::shared_ptr<Bluez::BluezPlatform> platform = Bluez::BluezPlatform::create(bus.address(), shortTiming());

    void SetUp() override { ASSERT_TRUE(platform->waitUntilSettled(5s)); }

    // The first characteristic with the UUID among a connected device's services.
    static std::shared_ptr<Platform::IGattCharacteristic> find(const std::shared_ptr<Platform::IPeripheral>& device,
                                                               const Platform::UUID& uuid) {
        const auto services = device->gattServices();
        EXPECT_EQ(services.status, Platform::GattStatus::Success);
        for (const auto& service : services.services) {
            for (const auto& characteristic : service->characteristics().characteristics) {
                if (characteristic->uuid() == uuid) return characteristic;
            }
        }
        return nullptr;
    }
};

}  // namespace BleTest
