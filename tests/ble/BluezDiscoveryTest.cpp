// Discovery against a daemon that behaves as stock ones do on real machines: stops that take
// their time, devices it remembers without hearing them, another program's discovery, one
// report of a device changing several properties at once.

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <memory>

#include "sdk/ble/platform/bluez/BluezNames.hpp"
#include "tests/ble/BluezFixture.hpp"

using namespace BleTest;

namespace {

constexpr uint64_t kHeard = 0xC0FFEE0000B1;
constexpr uint64_t kPaired = 0xC0FFEE0000B2;
constexpr uint64_t kStale = 0xC0FFEE0000B3;
constexpr const char* kAdapterPath = "/org/bluez/hci0";

Platform::Advertisement advertisement(uint64_t address, int16_t rssi) {
    Platform::Advertisement ad;
    ad.address = address;
    ad.rssi = rssi;
    ad.flags = 0x06;
    ad.localName = "Emulated";
    ad.manufacturerData = {{0x1234, {1, 2, 3}}};
    return ad;
}

// A stock daemon whose StopDiscovery completes some time after it was asked.
struct SlowStops : ::testing::Test {
    static VexaSim::BluezEmulatorOptions stockWithSlowStops(std::chrono::milliseconds delay) {
        VexaSim::BluezEmulatorOptions options;
        options.stopDiscoveryDelay = delay;
        return options;
    }

    VexaSim::PrivateBus bus;
    std::shared_ptr<VexaSim::SimRadio> radio = VexaSim::SimRadio::create();
    std::unique_ptr<VexaSim::BluezEmulator> daemon = std::make_unique<VexaSim::BluezEmulator>(
        radio, bus.address(), stockWithSlowStops(std::chrono::milliseconds(40)));

    std::shared_ptr<Bluez::BluezPlatform> connect(Bluez::BluezTiming timing = shortTiming()) {
        auto platform = Bluez::BluezPlatform::create(bus.address(), timing);
        EXPECT_TRUE(platform->waitUntilSettled(5s));
        return platform;
    }

    static bool discovering(Bluez::BluezPlatform& platform) {
        const auto adapter = platform.properties(kAdapterPath, Bluez::kAdapter);
        return adapter && adapter->contains("Discovering") && adapter->at("Discovering").asBool().value_or(false);
    }

    // Advertises until the watcher reported the address (an advertisement is heard only while
    // the daemon's discovery runs).
    bool heardBy(Advertisements& seen, uint64_t address, int16_t rssi) {
        return waitFor([&] {
            radio->advertise(advertisement(address, rssi));
            const auto all = seen.all();
            return std::any_of(all.begin(), all.end(), [&](const auto& ad) { return ad.address == address; });
        });
    }
};

}  // namespace

TEST_F(SlowStops, StoppingAndStartingTwentyTimesInARowDiscoversEveryTime) {
    auto platform = connect();
    for (int round = 0; round < 20; ++round) {
        SCOPED_TRACE(round);
        auto watcher = platform->createWatcher();
        Advertisements seen;
        auto registration = watcher->onReceived([&](const Platform::Advertisement& ad) { seen.add(ad); });
        const auto begun = std::chrono::steady_clock::now();
        watcher->start();
        ASSERT_EQ(watcher->status(), Platform::WatcherStatus::Started);
        EXPECT_LT(std::chrono::steady_clock::now() - begun, 2 * shortTiming().callTimeout);
        // Started means the daemon discovers now, not once a stop still under way is over.
        EXPECT_TRUE(discovering(*platform));
        EXPECT_EQ(daemon->discoverySessions(), 1);
        // Each round is heard with a strength of its own: the same strength is no new report.
        ASSERT_TRUE(heardBy(seen, kHeard, static_cast<int16_t>(-40 - round)));
        watcher->stop();
        EXPECT_EQ(watcher->status(), Platform::WatcherStatus::Stopped);
    }
    EXPECT_TRUE(waitFor([&] { return daemon->discoverySessions() == 0 && !discovering(*platform); }));
    EXPECT_EQ(daemon->calls("StopDiscovery"), 20);
    EXPECT_EQ(daemon->calls("StartDiscovery"), 20) << "every start waited for the stop before it";
}

TEST_F(SlowStops, AStartAnsweredInProgressIsAskedAgainUntilTheDaemonStarts) {
    // The stop outlasts its call timeout here: the next start meets the session still ending.
    daemon.reset();
    daemon = std::make_unique<VexaSim::BluezEmulator>(radio, bus.address(),
                                                      stockWithSlowStops(std::chrono::milliseconds(300)));
    Bluez::BluezTiming timing = shortTiming();
    timing.callTimeout = std::chrono::milliseconds(200);
    timing.discoveryRetryPause = std::chrono::milliseconds(10);
    auto platform = connect(timing);
    auto first = platform->createWatcher();
    first->start();
    ASSERT_EQ(first->status(), Platform::WatcherStatus::Started);
    first->stop();

    auto second = platform->createWatcher();
    Advertisements seen;
    auto registration = second->onReceived([&](const Platform::Advertisement& ad) { seen.add(ad); });
    second->start();
    ASSERT_EQ(second->status(), Platform::WatcherStatus::Started);
    EXPECT_GE(daemon->calls("StartDiscovery"), 3) << "the first start, one answered InProgress, the one that held";
    EXPECT_TRUE(discovering(*platform));
    EXPECT_TRUE(heardBy(seen, kHeard, -50));
    EXPECT_EQ(daemon->discoverySessions(), 1);
}

TEST_F(SlowStops, AnotherProgramsDiscoveryIsNeitherTakenForOursNorStoppedByUs) {
    auto theirs = connect();
    auto their = theirs->createWatcher();
    their->start();
    ASSERT_EQ(daemon->discoverySessions(), 1);

    auto platform = connect();
    ASSERT_TRUE(discovering(*platform)) << "the daemon discovers already, for them";
    auto ours = platform->createWatcher();
    Advertisements seen;
    auto registration = ours->onReceived([&](const Platform::Advertisement& ad) { seen.add(ad); });
    ours->start();
    EXPECT_EQ(daemon->discoverySessions(), 2) << "a session of our own, not theirs taken for ours";
    ours->stop();
    EXPECT_TRUE(waitFor([&] { return daemon->discoverySessions() == 1; }));
    EXPECT_TRUE(discovering(*platform));
    EXPECT_EQ(their->status(), Platform::WatcherStatus::Started);

    // Their stop while ours runs leaves ours running.
    ours->start();
    their->stop();
    EXPECT_TRUE(waitFor([&] { return daemon->discoverySessions() == 1; }));
    EXPECT_EQ(ours->status(), Platform::WatcherStatus::Started);
    EXPECT_TRUE(discovering(*platform));
    EXPECT_TRUE(heardBy(seen, kHeard, -45));
}

TEST_F(SlowStops, DevicesTheDaemonRemembersAreReportedOnlyOnceHeard) {
    // A sensor paired long ago and switched off, and one another program's discovery heard
    // moments ago: both are on the bus, neither is in this scan.
    daemon->remember(kPaired, "MorvexBlack", true);
    auto theirs = connect();
    auto their = theirs->createWatcher();
    their->start();
    daemon->remember(kStale, "Stale", false, int16_t{-55});

    auto platform = connect();
    ASSERT_TRUE(platform->properties(Bluez::devicePath(kAdapterPath, kPaired), Bluez::kDevice).has_value());
    ASSERT_TRUE(platform->properties(Bluez::devicePath(kAdapterPath, kStale), Bluez::kDevice)->contains("RSSI"));
    for (int poll = 0; poll < 50; ++poll) {
        SCOPED_TRACE(poll);
        auto watcher = platform->createWatcher();
        Advertisements seen;
        auto registration = watcher->onReceived([&](const Platform::Advertisement& ad) { seen.add(ad); });
        watcher->start();
        ASSERT_TRUE(heardBy(seen, kHeard, static_cast<int16_t>(-40 - poll % 30)));
        watcher->stop();
        for (const auto& ad : seen.all()) EXPECT_EQ(ad.address, kHeard);
    }

    // Heard, a remembered device joins.
    auto watcher = platform->createWatcher();
    Advertisements seen;
    auto registration = watcher->onReceived([&](const Platform::Advertisement& ad) { seen.add(ad); });
    watcher->start();
    ASSERT_TRUE(heardBy(seen, kPaired, -61));
    const auto all = seen.all();
    EXPECT_EQ(all.back().address, kPaired);
    EXPECT_EQ(all.back().rssi, -61);
}

TEST_F(SlowStops, OneReportChangingSignalAndDataIsOneAdvertisementWithAllOfThem) {
    auto platform = connect();
    auto watcher = platform->createWatcher();
    Advertisements seen;
    auto registration = watcher->onReceived([&](const Platform::Advertisement& ad) { seen.add(ad); });
    watcher->start();
    ASSERT_TRUE(heardBy(seen, kHeard, -50));

    auto changed = advertisement(kHeard, -70);
    changed.manufacturerData = {{0x1234, {9, 8, 7}}};
    changed.dataSections = {{0x16, {0x0F, 0x18, 0x55}}};  // service data of 0x180F
    radio->advertise(changed);
    auto marker = advertisement(kHeard, -71);
    marker.manufacturerData = changed.manufacturerData;
    radio->advertise(marker);
    ASSERT_TRUE(waitFor([&] {
        const auto all = seen.all();
        return std::any_of(all.begin(), all.end(), [](const auto& ad) { return ad.rssi == -71; });
    }));
    // Split into one signal per property, the first report would carry the new strength with
    // the old data.
    const auto all = seen.all();
    const auto reports = std::count_if(all.begin(), all.end(), [](const auto& ad) { return ad.rssi == -70; });
    EXPECT_EQ(reports, 1) << "one advertisement for the three changes";
    const auto report = std::find_if(all.begin(), all.end(), [](const auto& ad) { return ad.rssi == -70; });
    ASSERT_NE(report, all.end());
    ASSERT_EQ(report->manufacturerData.size(), 1u);
    EXPECT_EQ(report->manufacturerData[0].data, (std::vector<uint8_t>{9, 8, 7}));
    ASSERT_EQ(report->dataSections.size(), 1u);
    EXPECT_EQ(report->dataSections[0].type, 0x16);
    EXPECT_EQ(report->dataSections[0].data, (std::vector<uint8_t>{0x0F, 0x18, 0x55}));
}
