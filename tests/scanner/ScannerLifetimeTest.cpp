// Freeing a scanner while its found-sensors callbacks run, and callbacks racing the host's calls.

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>
#include <vector>

#include "sdk/api/include/ambrelkit2.h"
#include "sim/radio/SimRadio.hpp"
#include "tests/scanner/Advertising.hpp"

using namespace std::chrono_literals;
using ScannerTest::AdvertisedDevice;
using ScannerTest::manufacturerRecord;

namespace {

constexpr auto kDeadline = 10s;

AdvertisedDevice lorrel(uint64_t address) {
    AdvertisedDevice device{address, "Lorrel"};
    device.manufacturerBlocks.push_back(manufacturerRecord(static_cast<uint32_t>(address), 'P', 1, true));
    return device;
}

// A one-way signal with a generous deadline.
class Latch {
public:
    void open() {
        std::lock_guard lock(mutex_);
        open_ = true;
        changed_.notify_all();
    }
    bool wait() {
        std::unique_lock lock(mutex_);
        return changed_.wait_for(lock, kDeadline, [this] { return open_; });
    }

private:
    std::mutex mutex_;
    std::condition_variable changed_;
    bool open_ = false;
};

SensorScannerWrap* startedScanner(uint8_t family) {
    SensorScannerWrap* scanner = createScanner(&family, 1, nullptr);
    EXPECT_NE(scanner, nullptr);
    EXPECT_EQ(startScanner(scanner, nullptr, 0), 1);
    return scanner;
}

class ScannerLifetime : public ::testing::Test {
protected:
    std::shared_ptr<VexaSim::SimRadio> radio = VexaSim::SimRadio::create();
    VexaSim::SimRadioInstallation installed{radio};
};

// Holds the first delivery until released and notes the order of events.
struct BlockingHost {
    Latch entered;
    Latch release;
    std::atomic<int> clock{0};
    std::atomic<int> callbackEnded{0};
    std::atomic<int> freeReturned{0};
    std::atomic<bool> first{true};

    static void onSensors(SensorScannerWrap*, _SensorInfo*, int32_t, void* userData) {
        auto* self = static_cast<BlockingHost*>(userData);
        if (!self->first.exchange(false)) {
            return;
        }
        self->entered.open();
        self->release.wait();
        self->callbackEnded = ++self->clock;
    }
};

}  // namespace

TEST_F(ScannerLifetime, FreeWaitsForTheDeliveryInFlight) {
    SensorScannerWrap* scanner = startedScanner(SensorFamilyLorrel);
    BlockingHost host;
    CallbackHandle* handle = nullptr;
    ASSERT_EQ(addSensorsCallbackScanner(scanner, &BlockingHost::onSensors, &handle, &host, nullptr), 1);

    radio->advertise(lorrel(0x51).advertisement());
    ASSERT_TRUE(host.entered.wait());

    Latch freeing;
    std::thread freer([&] {
        freeing.open();
        freeScanner(scanner);
        host.freeReturned = ++host.clock;
    });
    ASSERT_TRUE(freeing.wait());
    std::this_thread::sleep_for(30ms);  // give a wrong free the chance to return early
    EXPECT_EQ(host.freeReturned.load(), 0) << "freeScanner returned while its callback still ran";
    host.release.open();
    freer.join();
    radio->drain();

    EXPECT_GT(host.freeReturned.load(), host.callbackEnded.load());
    removeSensorsCallbackScanner(handle);
}

TEST_F(ScannerLifetime, NoDeliveryAfterFree) {
    SensorScannerWrap* scanner = startedScanner(SensorFamilyLorrel);
    std::atomic<int> calls{0};
    CallbackHandle* handle = nullptr;
    auto count = [](SensorScannerWrap*, _SensorInfo*, int32_t, void* userData) {
        ++*static_cast<std::atomic<int>*>(userData);
    };
    ASSERT_EQ(addSensorsCallbackScanner(scanner, count, &handle, &calls, nullptr), 1);
    radio->advertise(lorrel(0x61).advertisement());
    freeScanner(scanner);
    const int afterFree = calls.load();
    radio->advertise(lorrel(0x62).advertisement());
    radio->drain();
    EXPECT_EQ(calls.load(), afterFree);
    removeSensorsCallbackScanner(handle);
}

TEST_F(ScannerLifetime, HostMayFreeTheScannerFromItsOwnCallback) {
    struct Host {
        SensorScannerWrap* scanner = nullptr;
        CallbackHandle* handle = nullptr;
        std::atomic<int> calls{0};
        Latch done;
    } host;
    host.scanner = startedScanner(SensorFamilyLorrel);
    auto freeOnFirstCall = [](SensorScannerWrap* scanner, _SensorInfo*, int32_t count, void* userData) {
        auto* self = static_cast<Host*>(userData);
        EXPECT_EQ(count, 1);
        if (++self->calls == 1) {
            removeSensorsCallbackScanner(self->handle);
            freeScanner(scanner);
            self->done.open();
        }
    };
    ASSERT_EQ(addSensorsCallbackScanner(host.scanner, freeOnFirstCall, &host.handle, &host, nullptr), 1);
    radio->advertise(lorrel(0x71).advertisement());
    ASSERT_TRUE(host.done.wait());
    radio->advertise(lorrel(0x72).advertisement());
    radio->drain();
    EXPECT_EQ(host.calls.load(), 1);
}

TEST_F(ScannerLifetime, HostCallsRaceTheDeliveries) {
    SensorScannerWrap* scanner = startedScanner(SensorFamilyLorrel);
    std::atomic<bool> running{true};
    std::atomic<int> delivered{0};
    auto count = [](SensorScannerWrap*, _SensorInfo* sensors, int32_t n, void* userData) {
        for (int32_t i = 0; i < n; ++i) {
            ASSERT_EQ(sensors[i].SensFamily, SensorFamilyLorrel);
        }
        ++*static_cast<std::atomic<int>*>(userData);
    };

    std::thread advertiser([&] {
        for (uint64_t address = 0x1000; address < 0x1000 + 100; ++address) {
            radio->advertise(lorrel(address).advertisement());
        }
    });
    std::thread subscriber([&] {
        while (running) {
            CallbackHandle* handle = nullptr;
            ASSERT_EQ(addSensorsCallbackScanner(scanner, count, &handle, &delivered, nullptr), 1);
            std::this_thread::yield();
            removeSensorsCallbackScanner(handle);
        }
    });
    std::thread lister([&] {
        std::vector<_SensorInfo> sensors(64);
        while (running) {
            int32_t n = static_cast<int32_t>(sensors.size());
            ASSERT_EQ(sensorsScanner(scanner, sensors.data(), &n, nullptr), 1);
            ASSERT_LE(n, 64);
        }
    });
    advertiser.join();
    radio->drain();
    running = false;
    subscriber.join();
    lister.join();

    _SensorInfo sensors[150];
    int32_t n = 150;
    ASSERT_EQ(sensorsScanner(scanner, sensors, &n, nullptr), 1);
    EXPECT_EQ(n, 100);
    freeScanner(scanner);
}
