// The scanner functions as a host calls them, against the simulated radio.

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "sdk/api/ScannerTiming.hpp"
#include "sdk/api/include/ambrelkit2.h"
#include "sim/radio/SimRadio.hpp"
#include "tests/scanner/Advertising.hpp"

using namespace std::chrono_literals;
using ScannerTest::AdvertisedDevice;
using ScannerTest::manufacturerRecord;
using ScannerTest::uuid;

namespace {

constexpr auto kDeadline = 10s;

// What a host's found-sensors function saw, for the test to wait on.
class SensorsSeen {
public:
    static void record(SensorScannerWrap* scanner, _SensorInfo* sensors, int32_t count, void* userData) {
        auto* self = static_cast<SensorsSeen*>(userData);
        EXPECT_TRUE(count > 0 || sensors == nullptr) << "an empty list comes as a null array";
        std::lock_guard lock(self->mutex_);
        self->scanner_ = scanner;
        self->last_.assign(sensors, sensors + count);
        ++self->calls_;
        self->changed_.notify_all();
    }

    // Waits until the last list holds `count` records.
    bool waitForCount(std::size_t count) {
        std::unique_lock lock(mutex_);
        return changed_.wait_for(lock, kDeadline, [&] { return last_.size() == count; });
    }

    bool waitForCalls(int calls) {
        std::unique_lock lock(mutex_);
        return changed_.wait_for(lock, kDeadline, [&] { return calls_ >= calls; });
    }

    std::vector<_SensorInfo> last() {
        std::lock_guard lock(mutex_);
        return last_;
    }
    int calls() {
        std::lock_guard lock(mutex_);
        return calls_;
    }
    SensorScannerWrap* scanner() {
        std::lock_guard lock(mutex_);
        return scanner_;
    }

private:
    std::mutex mutex_;
    std::condition_variable changed_;
    std::vector<_SensorInfo> last_;
    SensorScannerWrap* scanner_ = nullptr;
    int calls_ = 0;
};

AdvertisedDevice modelDevice(uint64_t address, const char* name, char type, uint8_t variant, bool pairing,
                             uint32_t serial) {
    AdvertisedDevice device{address, name};
    device.manufacturerBlocks.push_back(manufacturerRecord(serial, type, variant, pairing));
    return device;
}

// One device of every family that the model code or the services name.
std::vector<AdvertisedDevice> oneOfEachFamily() {
    AdvertisedDevice morvex{0x100000000001, "Morvex", {uuid("6E400001-B534-F393-68A9-E50E24DCCA9E")}};
    morvex.manufacturerBlocks.push_back(ScannerTest::foreignManufacturerData());
    return {
        morvex,
        modelDevice(0x100000000004, "Black", 'G', 1, true, 4),
        modelDevice(0x100000000005, "Vondra", 'I', 0, true, 5),
        modelDevice(0x100000000006, "Vondra2", 'I', 3, false, 6),
        modelDevice(0x100000000011, "Lorrel", 'P', 2, true, 11),
        modelDevice(0x100000000014, "Dravik", 'd', 1, true, 14),
        modelDevice(0x100000000018, "M2-two", '0', 2, false, 18),
        modelDevice(0x100000000019, "M2-three", '0', 3, false, 19),
        modelDevice(0x100000000020, "M2-f", 'f', 5, false, 20),
        modelDevice(0x100000000021, "Photo", 'g', 1, false, 21),
    };
}

const std::vector<uint8_t> kAllFamilies{3, 4, 5, 6, 11, 14, 18, 19, 20, 21};

class ScannerExports : public ::testing::Test {
protected:
    void SetUp() override { VexaDevice::Api::setScannerTiming({.startAttemptPause = 1ms}); }

    void TearDown() override { VexaDevice::Api::setScannerTiming({}); }

    SensorScannerWrap* create(const std::vector<uint8_t>& families) {
        CallStatus status{};
        SensorScannerWrap* scanner = createScanner(families.data(), static_cast<int32_t>(families.size()), &status);
        EXPECT_NE(scanner, nullptr) << status.ErrorMsg;
        EXPECT_EQ(status.Success, 1);
        return scanner;
    }

    void start(SensorScannerWrap* scanner) {
        CallStatus status{};
        ASSERT_EQ(startScanner(scanner, &status, 0), 1) << status.ErrorMsg;
    }

    void advertise(const std::vector<AdvertisedDevice>& devices) {
        for (const auto& device : devices) {
            radio->advertise(device.advertisement());
        }
        radio->drain();
    }

    std::shared_ptr<VexaSim::SimRadio> radio = VexaSim::SimRadio::create();
    VexaSim::SimRadioInstallation installed{radio};
};

const _SensorInfo* byName(const std::vector<_SensorInfo>& sensors, const char* name) {
    for (const auto& sensor : sensors) {
        if (std::strcmp(sensor.Name, name) == 0) {
            return &sensor;
        }
    }
    return nullptr;
}

}  // namespace

TEST_F(ScannerExports, CreateRefusesMissingOrUnknownFamilies) {
    CallStatus status{};
    const uint8_t morvex = 3;
    EXPECT_EQ(createScanner(nullptr, 1, &status), nullptr);
    EXPECT_EQ(status.Error, 100u);
    EXPECT_STREQ(status.ErrorMsg, "Invalid scan parameters are specified");
    for (int32_t count : {0, -1, INT32_MIN}) {
        status = {};
        EXPECT_EQ(createScanner(&morvex, count, &status), nullptr);
        EXPECT_EQ(status.Error, 100u) << count;
    }

    const std::vector<uint8_t> unknown{101, 7, 0, 255};
    status = {};
    EXPECT_EQ(createScanner(unknown.data(), static_cast<int32_t>(unknown.size()), &status), nullptr);
    EXPECT_EQ(status.Success, 0);
    EXPECT_EQ(status.Error, 101u);
    EXPECT_STREQ(status.ErrorMsg, "Invalid sensor types are specified for the search");

    EXPECT_EQ(createScanner(unknown.data(), 4, nullptr), nullptr);  // no status record: no crash
}

TEST_F(ScannerExports, EveryFamilyReachesTheCallbackAndTheList) {
    SensorScannerWrap* scanner = create(kAllFamilies);
    SensorsSeen seen;
    CallbackHandle* handle = nullptr;
    CallStatus status{};
    ASSERT_EQ(addSensorsCallbackScanner(scanner, &SensorsSeen::record, &handle, &seen, &status), 1);
    EXPECT_EQ(status.Error, 0u);
    ASSERT_NE(handle, nullptr);
    start(scanner);

    auto devices = oneOfEachFamily();
    devices.push_back(modelDevice(0x1000000000FF, "Stranger", 'Z', 1, false, 99));  // not recognised
    advertise(devices);
    ASSERT_TRUE(seen.waitForCount(10));
    EXPECT_EQ(seen.scanner(), scanner);

    const std::vector<_SensorInfo> listed = seen.last();
    struct Expected {
        const char* name;
        uint8_t family;
        uint8_t model;
        uint8_t pairing;
        const char* serial;
    };
    for (const Expected& e : {Expected{"Morvex", 3, 0, 0, ""}, Expected{"Black", 4, 1, 1, "000004"},
                              Expected{"Vondra", 5, 0, 1, "000005"}, Expected{"Vondra2", 6, 3, 0, "000006"},
                              Expected{"Lorrel", 11, 2, 1, "000011"}, Expected{"Dravik", 14, 1, 1, "000014"},
                              Expected{"M2-two", 18, 2, 0, "000018"}, Expected{"M2-three", 19, 3, 0, "000019"},
                              Expected{"M2-f", 20, 5, 0, "000020"}, Expected{"Photo", 21, 1, 0, "000021"}}) {
        const _SensorInfo* sensor = byName(listed, e.name);
        ASSERT_NE(sensor, nullptr) << e.name;
        EXPECT_EQ(sensor->SensFamily, e.family) << e.name;
        EXPECT_EQ(sensor->SensModel, e.model) << e.name;
        EXPECT_EQ(sensor->PairingRequired, e.pairing) << e.name;
        EXPECT_STREQ(sensor->SerialNumber, e.serial) << e.name;
        EXPECT_EQ(sensor->RSSI, -60) << e.name;
    }
    EXPECT_STREQ(byName(listed, "Lorrel")->Address, "10:00:00:00:00:11");

    // The same list through sensorsScanner, into an array of exactly that size.
    std::vector<_SensorInfo> exact(10);
    int32_t count = 10;
    ASSERT_EQ(sensorsScanner(scanner, exact.data(), &count, &status), 1);
    EXPECT_EQ(count, 10);
    for (const auto& sensor : exact) {
        EXPECT_NE(byName(listed, sensor.Name), nullptr) << sensor.Name;
    }

    removeSensorsCallbackScanner(handle);
    freeScanner(scanner);
}

TEST_F(ScannerExports, ListNeverWritesPastTheCount) {
    SensorScannerWrap* scanner = create(kAllFamilies);
    start(scanner);
    advertise(oneOfEachFamily());

    _SensorInfo sensors[5];
    std::memset(sensors, 0xAB, sizeof(sensors));
    int32_t count = 3;
    CallStatus status{};
    ASSERT_EQ(sensorsScanner(scanner, sensors, &count, &status), 1);
    EXPECT_EQ(count, 3);
    for (int i = 0; i < 3; ++i) {
        EXPECT_NE(sensors[i].SensFamily, 0) << i;
    }
    for (int i = 3; i < 5; ++i) {
        EXPECT_EQ(sensors[i].SensFamily, 0xAB) << "record " << i << " was written";
        EXPECT_EQ(static_cast<uint8_t>(sensors[i].Name[0]), 0xAB) << i;
    }
    freeScanner(scanner);
}

TEST_F(ScannerExports, EmptyListAndBadArguments) {
    SensorScannerWrap* scanner = create({14});
    start(scanner);
    _SensorInfo sensor{};
    {
        int32_t count = 1;
        CallStatus status{0, 106, "old failure"};
        ASSERT_EQ(sensorsScanner(scanner, &sensor, &count, &status), 1);
        EXPECT_EQ(count, 0);
        EXPECT_EQ(status.Error, 0u);
        EXPECT_STREQ(status.ErrorMsg, "");
    }
    for (int32_t capacity : {0, -5}) {
        int32_t count = capacity;
        CallStatus status{};
        EXPECT_EQ(sensorsScanner(scanner, &sensor, &count, &status), 0);
        EXPECT_EQ(status.Error, 106u);
        EXPECT_STREQ(status.ErrorMsg, "Failed to get a list of sensors");
        EXPECT_EQ(count, capacity);
    }
    int32_t count = 1;
    CallStatus status{};
    EXPECT_EQ(sensorsScanner(nullptr, &sensor, &count, &status), 0);
    EXPECT_EQ(status.Error, 106u);
    EXPECT_EQ(sensorsScanner(scanner, nullptr, &count, &status), 0);
    EXPECT_EQ(sensorsScanner(scanner, &sensor, nullptr, &status), 0);
    EXPECT_EQ(sensorsScanner(scanner, &sensor, nullptr, nullptr), 0);
    freeScanner(scanner);
}

TEST_F(ScannerExports, NullHandlesAreReportedWithTheExportsOwnCodes) {
    CallStatus status{};
    EXPECT_EQ(startScanner(nullptr, &status, 0), 0);
    EXPECT_EQ(status.Error, 103u);
    EXPECT_STREQ(status.ErrorMsg, "Failed to started sensor scanner");
    EXPECT_EQ(stopScanner(nullptr, &status), 0);
    EXPECT_EQ(status.Error, 104u);
    EXPECT_STREQ(status.ErrorMsg, "Failed to stopped sensor scanner");

    CallbackHandle* handle = reinterpret_cast<CallbackHandle*>(0x1);
    EXPECT_EQ(addSensorsCallbackScanner(nullptr, &SensorsSeen::record, &handle, nullptr, &status), 0);
    EXPECT_EQ(status.Error, 104u);
    EXPECT_STREQ(status.ErrorMsg, "scanner == nullptr");
    EXPECT_EQ(handle, reinterpret_cast<CallbackHandle*>(0x1));

    SensorScannerWrap* scanner = create({3});
    EXPECT_EQ(addSensorsCallbackScanner(scanner, &SensorsSeen::record, nullptr, nullptr, &status), 0);
    EXPECT_EQ(status.Error, 104u);
    EXPECT_STREQ(status.ErrorMsg, "handle == nullptr");
    // Without a host function the handle would never deliver: refused, no handle made.
    EXPECT_EQ(addSensorsCallbackScanner(scanner, nullptr, &handle, nullptr, &status), 0);
    EXPECT_EQ(status.Error, 104u);
    EXPECT_STREQ(status.ErrorMsg, "callback == nullptr");
    EXPECT_EQ(handle, reinterpret_cast<CallbackHandle*>(0x1));

    freeScanner(nullptr);
    removeSensorsCallbackScanner(nullptr);
    freeScanner(scanner);
}

TEST_F(ScannerExports, StopHaltsAndStartResumes) {
    SensorScannerWrap* scanner = create({11});
    SensorsSeen seen;
    CallbackHandle* handle = nullptr;
    ASSERT_EQ(addSensorsCallbackScanner(scanner, &SensorsSeen::record, &handle, &seen, nullptr), 1);
    advertise({modelDevice(0x31, "First", 'P', 1, true, 1)});
    EXPECT_EQ(seen.calls(), 0);  // held until started
    start(scanner);
    advertise({modelDevice(0x31, "First", 'P', 1, true, 1)});
    ASSERT_TRUE(seen.waitForCount(1));

    CallStatus status{};
    ASSERT_EQ(stopScanner(scanner, &status), 1);
    EXPECT_EQ(status.Error, 0u);
    advertise({modelDevice(0x32, "Unheard", 'P', 1, true, 2)});
    EXPECT_EQ(seen.calls(), 1);

    // Several attempts: each starts, the last one decides.
    const auto before = std::chrono::steady_clock::now();
    VexaDevice::Api::setScannerTiming({.startAttemptPause = 20ms});
    ASSERT_EQ(startScanner(scanner, &status, 3), 1) << status.ErrorMsg;
    EXPECT_GE(std::chrono::steady_clock::now() - before, 60ms);
    advertise({modelDevice(0x33, "Heard", 'P', 1, true, 3)});
    ASSERT_TRUE(seen.waitForCalls(2));
    ASSERT_EQ(seen.last().size(), 1u);  // a restart clears what was found before
    EXPECT_STREQ(seen.last()[0].Name, "Heard");

    removeSensorsCallbackScanner(handle);
    freeScanner(scanner);
}

TEST_F(ScannerExports, StartWithoutAdapterFailsWith103) {
    radio->setAdapterState(VexaSim::SimAdapterState::Absent);
    SensorScannerWrap* scanner = create({3});  // a missing adapter does not fail creation
    CallStatus status{};
    EXPECT_EQ(startScanner(scanner, &status, 0), 0);
    EXPECT_EQ(status.Error, 103u);
    EXPECT_STREQ(status.ErrorMsg, "BLE adapter not found or disabled");
    freeScanner(scanner);
}

TEST_F(ScannerExports, RemovedCallbackIsNotCalledAgain) {
    SensorScannerWrap* scanner = create({11});
    SensorsSeen kept;
    SensorsSeen removed;
    CallbackHandle* keptHandle = nullptr;
    CallbackHandle* removedHandle = nullptr;
    ASSERT_EQ(addSensorsCallbackScanner(scanner, &SensorsSeen::record, &keptHandle, &kept, nullptr), 1);
    ASSERT_EQ(addSensorsCallbackScanner(scanner, &SensorsSeen::record, &removedHandle, &removed, nullptr), 1);
    start(scanner);
    advertise({modelDevice(0x41, "One", 'P', 1, true, 1)});
    ASSERT_TRUE(removed.waitForCount(1));

    removeSensorsCallbackScanner(removedHandle);
    advertise({modelDevice(0x42, "Two", 'P', 1, true, 2)});
    ASSERT_TRUE(kept.waitForCount(2));
    EXPECT_EQ(removed.calls(), 1);

    removeSensorsCallbackScanner(keptHandle);
    freeScanner(scanner);
}

TEST_F(ScannerExports, DevicesFoundByServiceAlone) {
    SensorScannerWrap* scanner = create({1, 4, 3});
    SensorsSeen seen;
    CallbackHandle* handle = nullptr;
    ASSERT_EQ(addSensorsCallbackScanner(scanner, &SensorsSeen::record, &handle, &seen, nullptr), 1);
    start(scanner);
    AdvertisedDevice tessel{0x81, "Tessel", {uuid("3D2F0001-D6B9-11E4-88CF-0002A5D5C51B")}};
    AdvertisedDevice quindle{0x84, "my quindle", {uuid("B9390001-FA71-11E5-A787-0002A5D5C51B")}};
    AdvertisedDevice black{0x82, "Black", {uuid("7E400001-B534-F393-68A9-E50E24DCCA90")}};
    AdvertisedDevice morvex{0x83, "Morvex", {uuid("6E400000-B534-F393-68A9-E50E24DCCA9E")}};
    advertise({tessel});
    ASSERT_TRUE(seen.waitForCount(1));
    EXPECT_EQ(seen.last().front().SensFamily, SensorFamilyTessel);
    advertise({quindle, black, morvex});

    _SensorInfo sensors[4]{};
    int32_t count = 4;
    ASSERT_EQ(sensorsScanner(scanner, sensors, &count, nullptr), 1);
    ASSERT_EQ(count, 4);
    const std::vector<_SensorInfo> listed(sensors, sensors + count);
    // Tessel-class devices: the family from the advertised name, the colour from the service set.
    ASSERT_NE(byName(listed, "Tessel"), nullptr);
    EXPECT_EQ(byName(listed, "Tessel")->SensModel, 0);
    ASSERT_NE(byName(listed, "my quindle"), nullptr);
    EXPECT_EQ(byName(listed, "my quindle")->SensFamily, SensorFamilyTesselQuindle);
    EXPECT_EQ(byName(listed, "my quindle")->SensModel, 3);
    ASSERT_NE(byName(listed, "Black"), nullptr);
    EXPECT_EQ(byName(listed, "Black")->SensFamily, SensorFamilyMorvexBlack);
    EXPECT_EQ(byName(listed, "Black")->PairingRequired, 1);
    ASSERT_NE(byName(listed, "Morvex"), nullptr);
    EXPECT_EQ(byName(listed, "Morvex")->SensFamily, SensorFamilyMorvex);
    EXPECT_EQ(byName(listed, "Morvex")->PairingRequired, 0);
    removeSensorsCallbackScanner(handle);
    freeScanner(scanner);
}
