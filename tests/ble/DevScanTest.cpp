#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <mutex>
#include <thread>

#include "sdk/ble/DevScan.hpp"
#include "sdk/ble/NamePattern.hpp"
#include "sdk/core/RtException.hpp"
#include "sim/radio/SimRadio.hpp"
#include "tests/ble/SimDevice.hpp"
#include "tests/support/WaitFor.hpp"

using namespace VexaDevice::BLE;
using namespace BleTest;
using TestSupport::waitFor;
using VexaDevice::Utility::parseUuid;

namespace {

const auto familyService = parseUuid("6E400000-B534-F393-68A9-E50E24DCCA9E");
constexpr int64_t second = 1'000'000'000;

// A manufacturer block: no length byte, version 0, serial 1, the model code, pairing bit 0.
std::vector<uint8_t> modelBlock(uint8_t type, uint8_t variant) {
    std::vector<uint8_t> block{0x00, 0x01, 0x00, 0x00, type, variant, 0x00};
    uint8_t sum = 0;
    for (uint8_t byte : block) sum = static_cast<uint8_t>(sum + byte);
    block.push_back(static_cast<uint8_t>(0x100 - sum));
    return block;
}

Platform::Advertisement advertisement(uint64_t address, std::string name = {}) {
    Platform::Advertisement ad;
    ad.address = address;
    ad.rssi = -60;
    ad.localName = std::move(name);
    return ad;
}

Platform::Advertisement withService(Platform::Advertisement ad, VexaDevice::Utility::UUID uuid) {
    ad.serviceUuids.push_back(uuid);
    return ad;
}

Platform::Advertisement withModel(Platform::Advertisement ad, uint8_t type, uint8_t variant) {
    ad.manufacturerData.push_back({0xFFFF, modelBlock(type, variant)});
    return ad;
}

// Records every published list.
struct Publications {
    std::mutex mutex;
    std::vector<std::vector<std::string>> lists;  // device addresses per publication
    std::shared_ptr<DeviceListBus::Callback> subscriber =
        std::make_shared<DeviceListBus::Callback>([this](const std::vector<std::shared_ptr<DeviceInfo>>& devices) {
            std::vector<std::string> addresses;
            for (const auto& device : devices) addresses.push_back(device->deviceId().toString());
            std::sort(addresses.begin(), addresses.end());
            std::lock_guard lock(mutex);
            lists.push_back(std::move(addresses));
        });
    std::vector<std::vector<std::string>> snapshot() {
        std::lock_guard lock(mutex);
        return lists;
    }
};

struct ScanFixture : ::testing::Test {
    std::shared_ptr<VexaSim::SimRadio> radio = VexaSim::SimRadio::create();
    VexaSim::SimRadioInstallation installation{radio};
    std::shared_ptr<std::atomic<int64_t>> clockState = std::make_shared<std::atomic<int64_t>>(100 * second);
    std::atomic<int64_t>& now = *clockState;
    Publications published;
    // The scanner's timer may finish a tick (and publish) after the test let go of the
    // scanner; the fixture's members must outlive every scanner it made.
    std::vector<std::weak_ptr<DevScan>> made;

    ~ScanFixture() override {
        for (const auto& scan : made) {
            EXPECT_TRUE(waitFor([&] { return scan.expired(); })) << "a scanner outlived its test";
        }
    }

    std::shared_ptr<DevScan> scanner(ScanParams params) {
        params.outOfRangeTimeoutSec = 12;
        DevScanTiming timing;
        timing.ageingPeriod = std::chrono::milliseconds(2);
        timing.device = fastTiming();
        auto scan = DevScan::create(params, timing, [clock = clockState] { return clock->load(); });
        scan->devicesFoundEvent().lock()->subscribe(published.subscriber);
        made.push_back(scan);
        return scan;
    }

    // Started scanner: created held, then released, as the exported start does.
    std::shared_ptr<DevScan> started(ScanParams params = {}) {
        auto scan = scanner(std::move(params));
        scan->startScan();
        return scan;
    }

    std::vector<std::string> foundAfter(DevScan& scan, std::vector<Platform::Advertisement> ads) {
        for (auto& ad : ads) radio->advertise(std::move(ad));
        radio->drain();
        std::vector<std::string> names;
        for (const auto& device : scan.getDevices()) names.push_back(device->name());
        std::sort(names.begin(), names.end());
        return names;
    }
};

using Strings = std::vector<std::string>;

}  // namespace

using DevScanFilters = ScanFixture;

TEST_F(DevScanFilters, FamilyServiceUuid) {
    ScanParams params;
    params.filters.push_back({.serviceUuid = familyService});
    auto scan = started(params);
    EXPECT_EQ(foundAfter(*scan, {withService(advertisement(1, "a"), familyService),
                                 withService(advertisement(2, "b"), serviceUuid), advertisement(3, "c")}),
              Strings{"a"});
}

TEST_F(DevScanFilters, NamePatternSearchesCaseInsensitively) {
    ScanParams params;
    params.filters.push_back({.namePattern = std::string("Tes")});
    auto scan = started(params);
    EXPECT_EQ(
        foundAfter(*scan, {advertisement(1, "Tessel"), advertisement(2, "my tessel 2"), advertisement(3, "Morvex")}),
        (Strings{"Tessel", "my tessel 2"}));
}

TEST_F(DevScanFilters, InvalidPatternDropsTheAdvertisement) {
    ScanParams params;
    params.filters.push_back({.namePattern = std::string("([")});
    auto scan = started(params);
    EXPECT_EQ(foundAfter(*scan, {advertisement(1, "([")}), Strings{"(["});  // exact name matches before the pattern
    EXPECT_EQ(foundAfter(*scan, {advertisement(2, "other")}), Strings{"(["});
}

TEST_F(DevScanFilters, AnInvalidPatternEndsTheTestsOnlyWhereItIsReached) {
    ScanParams invalidFirst;
    invalidFirst.filters.push_back({.namePattern = std::string("([")});
    invalidFirst.filters.push_back({.serviceUuid = familyService});
    auto first = started(invalidFirst);
    EXPECT_EQ(foundAfter(*first, {withService(advertisement(1, "served"), familyService)}), Strings{});

    ScanParams invalidLast;
    invalidLast.filters.push_back({.serviceUuid = familyService});
    invalidLast.filters.push_back({.namePattern = std::string("([")});
    invalidLast.filters.push_back({.namePattern = std::string("other")});
    auto last = started(invalidLast);
    EXPECT_EQ(foundAfter(*last, {withService(advertisement(2, "served"), familyService), advertisement(3, "other")}),
              Strings{"served"});
}

// One compiled pattern is read by every thread that matches against it.
TEST(NamePattern, ThreadsMatchAgainstOnePatternAtOnce) {
    const NamePattern pattern("^(Tessel)|(Quindle) [0-9]+$");
    EXPECT_EQ(NamePattern("([").match("(["), NamePattern::Match::Found);
    EXPECT_EQ(NamePattern("([").match("other"), NamePattern::Match::Unusable);
    std::atomic<int> wrong{0};
    std::vector<std::thread> threads;
    for (int thread = 0; thread < 4; ++thread) {
        threads.emplace_back([&] {
            for (int round = 0; round < 200; ++round) {
                if (pattern.match("tessel one") != NamePattern::Match::Found) ++wrong;
                if (pattern.match("my QUINDLE 7") != NamePattern::Match::Found) ++wrong;
                if (pattern.match("Quindle") != NamePattern::Match::Missing) ++wrong;
            }
        });
    }
    for (auto& thread : threads) thread.join();
    EXPECT_EQ(wrong.load(), 0);
}

TEST_F(DevScanFilters, ManufacturerModelCode) {
    ScanParams params;
    params.filters.push_back({.modelType = uint8_t{'I'}, .modelVariant = uint8_t{0}});
    params.filters.push_back({.modelType = uint8_t{'P'}});
    auto scan = started(params);
    EXPECT_EQ(foundAfter(*scan,
                         {withModel(advertisement(1, "vondra"), 'I', 0), withModel(advertisement(2, "vondra2"), 'I', 3),
                          withModel(advertisement(3, "lorrel"), 'P', 9), advertisement(4, "none")}),
              (Strings{"lorrel", "vondra"}));
}

TEST_F(DevScanFilters, AddressFilterAndRequirements) {
    ScanParams params;
    params.requireName = 1;
    params.requireServiceUuids = 1;
    params.filters.push_back({.address = DeviceId::fromUInt64(2)});
    auto scan = started(params);
    EXPECT_EQ(foundAfter(*scan, {withService(advertisement(1, "one"), familyService),
                                 withService(advertisement(2), familyService)}),
              Strings{});
    // The name arrives later and is merged: now the requirements are met.
    EXPECT_EQ(foundAfter(*scan, {advertisement(2, "two")}), Strings{"two"});

    ScanParams needsMaker;
    needsMaker.requireManufacturerData = 1;
    auto second = started(needsMaker);
    EXPECT_EQ(foundAfter(*second, {advertisement(5, "plain"), withModel(advertisement(6, "maker"), 'G', 1)}),
              Strings{"maker"});
}

TEST_F(DevScanFilters, RequirePairedAsksTheSystemUnlessGenerallyDiscoverable) {
    auto paired = radio->addPeripheral(1, "paired");
    paired->setPairing({true, true, Platform::PairingKind::ConfirmOnly, Platform::PairingStatus::Paired});
    radio->addPeripheral(2, "unpaired");
    ScanParams params;
    params.requirePaired = 1;
    auto scan = started(params);
    auto discoverable = advertisement(3, "discoverable");
    discoverable.flags = 0x06;
    // Address 4 cannot be opened: its pairing state is unknown, which does not reject it.
    EXPECT_EQ(foundAfter(*scan, {advertisement(1, "paired"), advertisement(2, "unpaired"), discoverable,
                                 advertisement(4, "unknown")}),
              (Strings{"discoverable", "paired", "unknown"}));
}

TEST_F(DevScanFilters, FlagsTheStackKeepsToItselfDoNotRejectAnUnpairedDevice) {
    radio->addPeripheral(1, "unpaired");
    radio->addPeripheral(2, "withheld");
    ScanParams params;
    params.requirePaired = 1;
    auto scan = started(params);
    auto withheld = advertisement(2, "withheld");
    withheld.flagsUnknown = true;
    EXPECT_EQ(foundAfter(*scan, {advertisement(1, "unpaired"), withheld}), Strings{"withheld"});
    // The first sighting decides: flags known later do not make the device a stranger.
    auto later = advertisement(2, "withheld");
    later.flags = 0x00;
    EXPECT_EQ(foundAfter(*scan, {later}), Strings{"withheld"});
    EXPECT_FALSE(scan->getDevices().at(0)->flagsKnown());
}

TEST_F(DevScanFilters, ScanResponseDataIsMergedIntoTheSameRecord) {
    ScanParams params;
    params.filters.push_back({.modelType = uint8_t{'G'}});
    auto scan = started(params);
    EXPECT_EQ(foundAfter(*scan, {advertisement(1, "black")}), Strings{});
    auto response = withModel(advertisement(1), 'G', 2);
    response.scanResponse = true;
    EXPECT_EQ(foundAfter(*scan, {response}), Strings{"black"});
    std::array<uint8_t, 2> code{};
    ASSERT_TRUE(scan->getDevices().at(0)->modelCode(code));
    EXPECT_EQ(code[1], 2);
}

using DevScanRecords = ScanFixture;

TEST_F(DevScanRecords, NameRulesAndFirstFlags) {
    auto scan = started();
    auto first = advertisement(1);
    first.flags = 0x1A;
    EXPECT_EQ(foundAfter(*scan, {first}), Strings{""});
    auto later = advertisement(1, "Named");
    later.flags = 0x06;
    later.rssi = -42;
    EXPECT_EQ(foundAfter(*scan, {later, advertisement(1, "Renamed")}), Strings{"Named"});
    auto device = scan->getDevices().at(0);
    EXPECT_EQ(device->flags(), 0x1A);
    EXPECT_EQ(device->rssi(), -60);
}

TEST_F(DevScanRecords, ParametersMergeWithoutDuplicates) {
    auto scan = started();
    auto ad = withModel(withService(advertisement(1, "dev"), familyService), 'G', 1);
    ad.dataSections.push_back({0x09, {'d', 'e', 'v'}});
    ad.manufacturerData.push_back({0xFFFF, {0xAA}});  // second entry of the same identifier: not taken
    foundAfter(*scan, {ad, ad, withService(withModel(advertisement(1), 'G', 2), serviceUuid)});
    auto device = scan->getDevices().at(0);
    EXPECT_EQ(device->servicesUuids()->uuids, (std::vector<VexaDevice::Utility::UUID>{familyService, serviceUuid}));
    EXPECT_EQ(device->dataSections()->sections, (std::vector<std::vector<uint8_t>>{{0x09, 'd', 'e', 'v'}}));
    EXPECT_EQ(device->manufacturerData()->blocks.at(0xFFFF),
              (std::vector<std::vector<uint8_t>>{modelBlock('G', 1), modelBlock('G', 2)}));
    EXPECT_EQ(device->params().size(), 3u);
}

TEST_F(DevScanRecords, ListsPerDeviceStayBounded) {
    auto scan = started();
    for (int i = 0; i < 100; ++i) {
        VexaDevice::Utility::UUID uuid;
        uuid.bytes[0] = static_cast<uint8_t>(i);
        auto ad = withService(advertisement(1, "chatty"), uuid);
        ad.dataSections.push_back({0xFF, {static_cast<uint8_t>(i)}});
        ad.manufacturerData.push_back({static_cast<uint16_t>(i), {1}});
        ad.manufacturerData.push_back({0xFFFF, {static_cast<uint8_t>(i)}});
        radio->advertise(ad);
    }
    radio->drain();
    auto device = scan->getDevices().at(0);
    EXPECT_EQ(device->servicesUuids()->uuids.size(), DevScan::maxListEntries);
    EXPECT_EQ(device->dataSections()->sections.size(), DevScan::maxListEntries);
    EXPECT_EQ(device->manufacturerData()->blocks.size(), DevScan::maxListEntries);
}

TEST_F(DevScanRecords, HandedOutCopiesDoNotChangeLater) {
    auto scan = started();
    foundAfter(*scan, {withService(advertisement(1, "dev"), familyService)});
    auto copy = scan->getDevices().at(0);
    auto params = copy->params();
    foundAfter(*scan, {withService(advertisement(1, "dev"), serviceUuid)});
    EXPECT_EQ(copy->servicesUuids()->uuids.size(), 1u);
    EXPECT_EQ(params.at(servicesUuidsKey)->toString(), "6E400000-B534-F393-68A9-E50E24DCCA9E");
    EXPECT_EQ(scan->getDevices().at(0)->servicesUuids()->uuids.size(), 2u);
}

using DevScanPublication = ScanFixture;

TEST_F(DevScanPublication, NewDeviceIsPublishedAtOnceAndOnlyOnce) {
    auto scan = started();
    foundAfter(*scan, {advertisement(1, "a"), advertisement(1, "a"), advertisement(2, "b")});
    EXPECT_EQ(published.snapshot(),
              (std::vector<Strings>{{"00:00:00:00:00:01"}, {"00:00:00:00:00:01", "00:00:00:00:00:02"}}));
}

TEST_F(DevScanPublication, HeldScannerDropsAdvertisements) {
    auto scan = scanner({});
    EXPECT_FALSE(scan->isScanning());
    EXPECT_EQ(foundAfter(*scan, {advertisement(1, "a")}), Strings{});
    scan->startScan();
    EXPECT_TRUE(scan->isScanning());
    EXPECT_EQ(foundAfter(*scan, {advertisement(1, "a")}), Strings{"a"});
}

TEST_F(DevScanPublication, FailingSubscriberDoesNotStopTheScanner) {
    auto scan = started();
    auto failing = std::make_shared<DeviceListBus::Callback>(
        [](const std::vector<std::shared_ptr<DeviceInfo>>&) { throw std::runtime_error("host failed"); });
    scan->devicesFoundEvent().lock()->subscribe(failing);
    EXPECT_EQ(foundAfter(*scan, {advertisement(1, "a"), advertisement(2, "b")}), (Strings{"a", "b"}));
}

using DevScanAgeing = ScanFixture;

TEST_F(DevScanAgeing, DeviceNotHeardIsDroppedAfterTheOutOfRangeTime) {
    auto scan = started();  // created held, then started: the usual path
    foundAfter(*scan, {advertisement(1, "quiet"), advertisement(2, "chatty")});
    now += 11 * second;
    foundAfter(*scan, {advertisement(2, "chatty")});
    now += 2 * second;  // 13 s after the quiet device was last heard, 2 s for the other
    ASSERT_TRUE(waitFor([&] { return scan->getDevices().size() == 1; }));
    EXPECT_EQ(scan->getDevices().at(0)->name(), "chatty");
    ASSERT_TRUE(waitFor([&] { return published.snapshot().back() == Strings{"00:00:00:00:00:02"}; }));
}

TEST_F(DevScanAgeing, LateStoppedReportDoesNotEndTheNextScan) {
    auto scan = started();
    radio->pause();  // the stop report of the first run arrives after the restart
    scan->stopScan();
    EXPECT_FALSE(scan->isScanning());
    scan->startScan();
    radio->resume();
    foundAfter(*scan, {advertisement(1, "dev")});
    now += 13 * second;
    EXPECT_TRUE(waitFor([&] { return scan->getDevices().empty(); }));
}

TEST_F(DevScanAgeing, DevicesThatNeverMatchedAreForgottenToo) {
    ScanParams params;
    params.filters.push_back({.serviceUuid = familyService});
    auto scan = started(params);
    foundAfter(*scan, {advertisement(1, "Old"), withService(advertisement(2, "probe"), familyService)});
    now += 13 * second;
    // Once the probe is dropped, a tick has run with the clock moved on.
    ASSERT_TRUE(waitFor([&] { return scan->getDevices().empty(); }));
    // Heard again after it was forgotten: a fresh record, with the new name.
    EXPECT_EQ(foundAfter(*scan, {withService(advertisement(1, "New"), familyService)}), Strings{"New"});
}

using DevScanLifecycle = ScanFixture;

TEST_F(DevScanLifecycle, CreateDeviceStopsAHeldScanner) {
    SimDevice device;  // replaces the installed backend with its own radio
    auto scan = scanner({});
    EXPECT_FALSE(scan->createDevice(nullptr));
    auto created = scan->createDevice(std::make_shared<DeviceId>(DeviceId::fromUInt64(deviceAddress)));
    ASSERT_TRUE(created);
    EXPECT_EQ(created->name(), "Morvex");
    EXPECT_FALSE(scan->isScanning());
    EXPECT_EQ(device.radio->watchersStarted(), 1);
    scan->startScan();  // the watcher starts again, clearing the lists
    EXPECT_TRUE(scan->isScanning());
    EXPECT_EQ(device.radio->watchersStarted(), 2);
}

TEST_F(DevScanLifecycle, MissingAdapterIsLoggedAndStartReportsIt) {
    for (auto state :
         {VexaSim::SimAdapterState::Absent, VexaSim::SimAdapterState::RadioOff, VexaSim::SimAdapterState::NoCentralRole,
          VexaSim::SimAdapterState::NoAdapterRadio, VexaSim::SimAdapterState::NoBluetoothRadio}) {
        radio->setAdapterState(state);
        auto scan = scanner({});
        EXPECT_FALSE(scan->isScanning());
        try {
            scan->startScan();
            FAIL();
        } catch (const VexaDevice::Utility::rt_exception& error) {
            EXPECT_STREQ(error.what(), "BLE adapter not found or disabled");
        }
    }
    EXPECT_EQ(radio->watchersStarted(), 0);
}

TEST(DevScanWithoutBackend, AdapterReadsAsAbsent) {
    auto scan = DevScan::create({});
    EXPECT_FALSE(scan->isScanning());
    EXPECT_THROW(scan->startScan(), VexaDevice::Utility::rt_exception);
    EXPECT_TRUE(scan->getDevices().empty());
    scan->stopScan();
}

TEST_F(DevScanLifecycle, AdvertisementsAndListReadsRunConcurrently) {
    auto scan = started();
    std::atomic<bool> done{false};
    std::vector<std::thread> readers;
    for (int r = 0; r < 3; ++r) {
        readers.emplace_back([&] {
            while (!done) {
                for (const auto& device : scan->getDevices()) {
                    auto uuids = device->servicesUuids();
                    for (const auto& param : device->params()) (void)param.second->toString();
                    ASSERT_LE(uuids->uuids.size(), DevScan::maxListEntries);
                }
            }
        });
    }
    for (int i = 0; i < 400; ++i) {
        VexaDevice::Utility::UUID uuid;
        uuid.bytes[1] = static_cast<uint8_t>(i);
        radio->advertise(withService(advertisement(static_cast<uint64_t>(i % 7), "dev"), uuid));
        if (i % 50 == 0) now += second;
    }
    radio->drain();
    done = true;
    for (auto& reader : readers) reader.join();
    EXPECT_EQ(scan->getDevices().size(), 7u);
}

TEST_F(DevScanLifecycle, ScannerEndsWhileAdvertisementsFlow) {
    for (int round = 0; round < 20; ++round) {
        auto scan = started();
        for (int i = 0; i < 20; ++i) radio->advertise(advertisement(static_cast<uint64_t>(i), "dev"));
        scan.reset();
    }
    radio->drain();
}
