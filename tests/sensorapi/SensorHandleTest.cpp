// The sensor handle and the exports around it, with a family adapter of the test's own: null
// handles, the possible-features table, links between handles, and deliveries that fail or
// outlive their sensor.

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <future>
#include <mutex>
#include <memory>
#include <stdexcept>
#include <thread>
#include <vector>

#include "sdk/api/CallbackHandle.hpp"
#include "sdk/api/FamilyAccess.hpp"
#include "sdk/api/HostDelivery.hpp"
#include "sdk/api/SensorWrap.hpp"
#include "sdk/api/include/ambrelkit2.h"
#include "tests/support/IdleSensor.hpp"

using namespace VexaDevice;
using namespace VexaDevice::Api;

namespace {

// A family with a connection bus of its own, a state that can throw, and a failing byte read.
class TestFamily final : public FamilyAccess {
public:
    TestFamily()
        : FamilyAccess(
              std::make_shared<TestSupport::IdleSensor>(Sensor::FeatureSet{0}, OperationResult::failed(0, "no")),
              {.bytes = {{ByteParameter::AmpMode, failingByte}}}) {}

    std::weak_ptr<BLE::ConnectionBus> connectionBus() override { return bus; }
    OperationResult readState(int32_t& out) override {
        if (stateThrows) {
            throw std::runtime_error("gone");
        }
        out = state;
        return OperationResult::done();
    }
    static OperationResult failingByte(uint8_t& out) {
        out = 0xAA;
        return OperationResult::failed(0, "device said no");
    }
    OperationResult readText(TextParameter parameter, std::string& out) override {
        if (parameter != TextParameter::Name) {
            return FamilyAccess::readText(parameter, out);
        }
        out = "Unit-7";
        return OperationResult::done();
    }

    std::shared_ptr<BLE::ConnectionBus> bus = std::make_shared<BLE::ConnectionBus>(16);
    std::atomic<int32_t> state{0};
    std::atomic<bool> stateThrows{false};
};

struct StateCalls {
    std::atomic<int> calls{0};
    std::atomic<int> last{-1};
    static void receive(_Sensor*, uint8_t state, void* user) {
        auto* self = static_cast<StateCalls*>(user);
        self->last = state;
        ++self->calls;
    }
};

}  // namespace

TEST(SensorExports, NullHandlesAndPointersReportTheExportsCode) {
    CallStatus status{};
    EXPECT_EQ(connectSensor(nullptr, &status), 0);
    EXPECT_EQ(status.Error, 110u);
    EXPECT_STREQ(status.ErrorMsg, "Failed to connect the sensor");
    EXPECT_EQ(disconnectSensor(nullptr, &status), 0);
    EXPECT_EQ(status.Error, 111u);
    EXPECT_EQ(execCommandSensor(nullptr, 0, &status), 0);
    EXPECT_EQ(status.Error, 118u);
    uint8_t byte = 0;
    EXPECT_EQ(readGainSensor(nullptr, &byte, &status), 0);
    EXPECT_EQ(status.Error, 119u);
    char text[8];
    EXPECT_EQ(readNameSensor(nullptr, text, sizeof(text), &status), 0);
    EXPECT_EQ(status.Error, 119u);
    CallbackHandle* handle = nullptr;
    EXPECT_EQ(addBatteryCallback(nullptr, nullptr, &handle, nullptr, &status), 0);
    EXPECT_EQ(status.Error, 123u);
    EXPECT_STREQ(status.ErrorMsg, "Failed add callback the sensor");
    EXPECT_EQ(getFamilySensor(nullptr), 0);
    EXPECT_EQ(readPhotoStimDravik(nullptr), nullptr);
    freeSensor(nullptr);
    removeBatteryCallback(nullptr);
    removeSignalDataCallbackMorvex(nullptr);

    _Sensor sensor(std::make_shared<TestFamily>(), std::make_unique<FamilyControl>(), 3, 0);
    EXPECT_EQ(readGainSensor(&sensor, nullptr, &status), 0);
    EXPECT_EQ(status.Error, 119u);
    EXPECT_EQ(addBatteryCallback(&sensor, nullptr, nullptr, nullptr, &status), 0);
    EXPECT_EQ(status.Error, 123u);
    int32_t count = 1;
    EXPECT_EQ(readSupportedEEGChannels(&sensor, nullptr, &count, &status), 0);
    EXPECT_EQ(status.Error, 121u) << "the family answers before the array is looked at";
    // A family without the text refuses it before the length is looked at; nothing is written.
    text[0] = 'x';
    EXPECT_EQ(readAddressSensor(&sensor, text, -4, &status), 0);
    EXPECT_EQ(status.Error, 121u);
    EXPECT_EQ(text[0], 'x');
}

TEST(SensorExports, ATextWithNowhereToGoIsRefusedWith119AndNothingIsCopied) {
    _Sensor sensor(std::make_shared<TestFamily>(), std::make_unique<FamilyControl>(), 3, 0);
    CallStatus status{};
    char text[8] = "xxxxxxx";
    for (const int32_t length : {0, -1, INT32_MIN}) {
        status = {};
        EXPECT_EQ(readNameSensor(&sensor, text, length, &status), 0) << length;
        EXPECT_EQ(status.Error, 119u) << length;
        EXPECT_STREQ(status.ErrorMsg, "Failed read the sensor parameter");
        EXPECT_STREQ(text, "xxxxxxx") << length;
    }
    status = {};
    EXPECT_EQ(readNameSensor(&sensor, nullptr, 8, &status), 0);
    EXPECT_EQ(status.Error, 119u);
    EXPECT_NE(status.ErrorMsg[0], '\0');

    EXPECT_EQ(readNameSensor(&sensor, text, 1, &status), 1) << "room for the terminator alone";
    EXPECT_STREQ(text, "");
    EXPECT_EQ(readNameSensor(&sensor, text, sizeof(text), &status), 1);
    EXPECT_STREQ(text, "Unit-7");
}

TEST(SensorExports, ARegistrationWithoutAHostFunctionIsRefusedAndKeepsNoHandle) {
    auto family = std::make_shared<TestFamily>();
    _Sensor sensor(family, std::make_unique<FamilyControl>(), 3, 0);
    CallStatus status{};
    auto* const untouched = reinterpret_cast<CallbackHandle*>(0x1);
    CallbackHandle* handle = untouched;
    EXPECT_EQ(addConnectionStateCallback(&sensor, nullptr, &handle, nullptr, &status), 0);
    EXPECT_EQ(status.Error, 123u);
    EXPECT_STREQ(status.ErrorMsg, "Failed add callback the sensor");
    EXPECT_EQ(handle, untouched);

    // The same registration with a function is taken: the refusal was the null function's.
    StateCalls calls;
    ASSERT_EQ(addConnectionStateCallback(&sensor, &StateCalls::receive, &handle, &calls, &status), 1);
    EXPECT_NE(handle, untouched);
    removeConnectionStateCallback(handle);
}

TEST(SensorExports, AFailedReadWithoutACodeReports119AndTheFamilysValue) {
    _Sensor sensor(std::make_shared<TestFamily>(), std::make_unique<FamilyControl>(), 3, 0);
    CallStatus status{};
    uint8_t value = 0;
    EXPECT_EQ(readAmpMode(&sensor, &value, &status), 0);
    EXPECT_EQ(status.Error, 119u);
    EXPECT_STREQ(status.ErrorMsg, "device said no");
    EXPECT_EQ(value, 0xAA);
    // A read the family does not offer leaves a zeroed value, not the caller's old one.
    int32_t voltage = 77;
    EXPECT_EQ(readBattVoltageSensor(&sensor, &voltage, &status), 0);
    EXPECT_EQ(status.Error, 121u);
    EXPECT_EQ(voltage, 0);
    // A command result failing without a code reports 118 with the result's text.
    EXPECT_EQ(execCommandSensor(&sensor, 0, &status), 0);
    EXPECT_EQ(status.Error, 118u);
    EXPECT_STREQ(status.ErrorMsg, "no");
}

TEST(PossibleFeatures, TableByFamilyAndModel) {
    auto features = [](uint8_t family, uint8_t model) {
        std::vector<int8_t> values(16);
        int32_t count = static_cast<int32_t>(values.size());
        CallStatus status{};
        EXPECT_EQ(getPossibleFeaturesSensor(family, model, values.data(), &count, &status), 1);
        EXPECT_EQ(getPossibleFeaturesCountSensor(family, model), count);
        values.resize(static_cast<size_t>(count));
        return values;
    };
    EXPECT_EQ(features(11, 2), (std::vector<int8_t>{0, 1, 4, 5}));
    EXPECT_EQ(features(11, 3), (std::vector<int8_t>{0, 4, 11}));
    EXPECT_EQ(features(11, 0), (std::vector<int8_t>{0, 4}));
    EXPECT_EQ(features(6, 4), (std::vector<int8_t>{0, 1, 4, 5, 11}));
    EXPECT_EQ(features(6, 5), (std::vector<int8_t>{0, 4, 11}));
    EXPECT_EQ(features(4, 0), (std::vector<int8_t>{0, 4}));
    EXPECT_EQ(features(4, 1), (std::vector<int8_t>{0, 4, 11}));
    EXPECT_EQ(features(14, 0), (std::vector<int8_t>{0, 4, 7, 9, 11}));
    EXPECT_EQ(features(21, 9), (std::vector<int8_t>{7}));
    EXPECT_EQ(features(19, 0), (std::vector<int8_t>{0, 4}));
    EXPECT_TRUE(features(1, 0).empty());

    int8_t two[2];
    int32_t count = 2;
    CallStatus status{};
    ASSERT_EQ(getPossibleFeaturesSensor(14, 0, two, &count, &status), 1);
    EXPECT_EQ(count, 2);
    EXPECT_EQ(two[1], 4);
    count = 0;
    EXPECT_EQ(getPossibleFeaturesSensor(14, 0, two, &count, &status), 0);
    EXPECT_EQ(status.Error, 112u);
    EXPECT_EQ(getPossibleFeaturesSensor(14, 0, nullptr, &count, &status), 0);
    EXPECT_EQ(status.Error, 112u);
}

TEST(SensorExports, ColourOfAFoundRecord) {
    _SensorInfo info{};
    int32_t colour = -1;
    info.SensFamily = 2;
    info.SensModel = 3;
    readColorInfo(&info, &colour);
    EXPECT_EQ(colour, 3);
    info.SensModel = 4;
    readColorInfo(&info, &colour);
    EXPECT_EQ(colour, 4);
    info.SensFamily = 3;
    info.SensModel = 1;
    readColorInfo(&info, &colour);
    EXPECT_EQ(colour, 4);
    readColorInfo(&info, nullptr);
}

TEST(SensorLinks, FreeingEitherSideOfALinkLeavesNoDanglingPointer) {
    auto* dravik = new _Sensor(std::make_shared<TestFamily>(), std::make_unique<FamilyControl>(), 14, 0);
    auto* first = new _Sensor(std::make_shared<TestFamily>(), std::make_unique<FamilyControl>(), 21, 0);
    auto* second = new _Sensor(std::make_shared<TestFamily>(), std::make_unique<FamilyControl>(), 21, 0);
    dravik->link(*first);
    dravik->link(*second);
    EXPECT_EQ(readPhotoStimDravik(dravik), second) << "a new link replaces the one before";
    EXPECT_EQ(readPhotoStimDravik(first), nullptr) << "only a Dravik handle has stimulators";

    freeSensor(first);
    EXPECT_EQ(readPhotoStimDravik(dravik), second);
    dravik->unlinkStimulators();
    EXPECT_EQ(readPhotoStimDravik(dravik), nullptr);
    dravik->link(*second);
    // The Dravik handle goes first: the stimulator no longer points at it (ASan would see it).
    freeSensor(dravik);
    freeSensor(second);
}

TEST(SensorLinks, AStimulatorMovedToAnotherHandleLeavesTheFirstOne) {
    auto* firstDravik = new _Sensor(std::make_shared<TestFamily>(), std::make_unique<FamilyControl>(), 14, 0);
    auto* secondDravik = new _Sensor(std::make_shared<TestFamily>(), std::make_unique<FamilyControl>(), 14, 0);
    auto* stimulator = new _Sensor(std::make_shared<TestFamily>(), std::make_unique<FamilyControl>(), 21, 0);
    firstDravik->link(*stimulator);
    secondDravik->link(*stimulator);
    secondDravik->link(*stimulator);
    EXPECT_EQ(readPhotoStimDravik(firstDravik), nullptr);
    EXPECT_EQ(readPhotoStimDravik(secondDravik), stimulator);
    // Without the move the first handle would still list the freed stimulator (ASan).
    freeSensor(stimulator);
    EXPECT_EQ(readPhotoStimDravik(firstDravik), nullptr);
    EXPECT_EQ(readPhotoStimDravik(secondDravik), nullptr);
    freeSensor(firstDravik);
    freeSensor(secondDravik);
}

TEST(ConnectionStateDelivery, ReadsTheStateAndStopsOnceTheSensorIsFreed) {
    auto family = std::make_shared<TestFamily>();
    auto bus = family->bus;
    auto* sensor = new _Sensor(family, std::make_unique<FamilyControl>(), 3, 0);
    family.reset();
    StateCalls calls;
    CallbackHandle* handle = nullptr;
    CallStatus status{};
    ASSERT_EQ(addConnectionStateCallback(sensor, StateCalls::receive, &handle, &calls, &status), 1);

    static_cast<TestFamily&>(sensor->access()).state = 1;
    bus->notify();
    EXPECT_EQ(calls.calls, 1);
    EXPECT_EQ(calls.last, 1);
    // A failing state read is logged and not passed on.
    static_cast<TestFamily&>(sensor->access()).stateThrows = true;
    bus->notify();
    EXPECT_EQ(calls.calls, 1);

    // The bus outlives the sensor (it belongs to the BLE device): later events reach nobody.
    freeSensor(sensor);
    bus->notify();
    EXPECT_EQ(calls.calls, 1);
    removeConnectionStateCallback(handle);
}

TEST(GuardedDeliveries, AThrowingDeliveryIsLoggedAndLaterSubscribersStillRun) {
    using Bus = Utility::EventBus<std::vector<int>>;
    auto bus = std::make_shared<Bus>(16);
    const auto throwing =
        subscribeDelivery(std::weak_ptr<Bus>(bus), [](const std::vector<int>&) { throw std::bad_alloc(); });
    const auto foreign = subscribeDelivery(std::weak_ptr<Bus>(bus), [](const std::vector<int>&) { throw 42; });
    std::atomic<int> reached{0};
    const auto counting = subscribeDelivery(std::weak_ptr<Bus>(bus),
                                            [&reached](const std::vector<int>& values) { reached += values[0]; });
    // On a thread of its own, as a worker publishes: an escaping exception would end the process.
    std::thread worker([&] { bus->notify({5}); });
    worker.join();
    EXPECT_EQ(reached, 5);

    std::shared_ptr<Bus> gone;
    EXPECT_THROW(subscribeDelivery(std::weak_ptr<Bus>(gone), [](const std::vector<int>&) {}), std::runtime_error);
}

TEST(GuardedDeliveries, AnEmptyBatchCallsWithANullArray) {
    struct Seen {
        MorvexSignalRecord* records = reinterpret_cast<MorvexSignalRecord*>(1);
        uint32_t count = 99;
    } seen;
    HostTarget<MorvexSignalCallback> host{nullptr,
                                          [](_Sensor*, MorvexSignalRecord* records, uint32_t count, void* user) {
                                              static_cast<Seen*>(user)->records = records;
                                              static_cast<Seen*>(user)->count = count;
                                          },
                                          &seen};
    std::vector<MorvexSignalRecord> none;
    callWithBatch(host, none);
    EXPECT_EQ(seen.records, nullptr);
    EXPECT_EQ(seen.count, 0u);
}

// A host frees its callback handle and then the state its function writes to: once the removal
// returns, the function must not be running on the publishing thread, nor start again.
TEST(GuardedDeliveries, RemovalWaitsForADeliveryRunningOnAnotherThread) {
    using Bus = Utility::EventBus<int>;
    auto bus = std::make_shared<Bus>(16);
    std::mutex mutex;
    std::condition_variable changed;
    bool inside = false;
    bool release = false;
    std::atomic<int> calls{0};
    CallbackHandle* handle = makeCallbackHandle(subscribeDelivery(std::weak_ptr<Bus>(bus), [&](int) {
        std::unique_lock lock(mutex);
        inside = true;
        changed.notify_all();
        changed.wait(lock, [&] { return release; });
        ++calls;
    }));
    std::thread publisher([&] { bus->notify(1); });
    {
        std::unique_lock lock(mutex);
        ASSERT_TRUE(changed.wait_for(lock, std::chrono::seconds(20), [&] { return inside; }));
    }
    auto removal = std::async(std::launch::async, [&] { freeCallbackHandle(handle); });
    EXPECT_EQ(removal.wait_for(std::chrono::milliseconds(50)), std::future_status::timeout)
        << "the removal returned while the host function was still running";
    {
        std::lock_guard lock(mutex);
        release = true;
    }
    changed.notify_all();
    removal.get();
    EXPECT_EQ(calls, 1);
    publisher.join();
    bus->notify(2);
    EXPECT_EQ(calls, 1);
}

// A host removing one handle from two threads at once: whichever removal comes first frees it,
// the other finds nothing.
TEST(GuardedDeliveries, TwoRemovalsOfOneHandleAtOnceFreeItOnce) {
    using Bus = Utility::EventBus<int>;
    auto bus = std::make_shared<Bus>(16);
    std::atomic<int> calls{0};
    for (int round = 0; round < 200; ++round) {
        CallbackHandle* handle = makeCallbackHandle(subscribeDelivery(std::weak_ptr<Bus>(bus), [&](int) { ++calls; }));
        std::atomic<int> ready{0};
        const auto remove = [&] {
            ready.fetch_add(1);
            while (ready.load() < 2) {
                std::this_thread::yield();
            }
            removeBatteryCallback(handle);
        };
        std::thread first(remove);
        std::thread second(remove);
        first.join();
        second.join();
    }
    bus->notify(1);
    EXPECT_EQ(calls, 0);
}

TEST(GuardedDeliveries, AFunctionRemovingItsOwnCallbackIsNotWaitedFor) {
    using Bus = Utility::EventBus<int>;
    auto bus = std::make_shared<Bus>(16);
    CallbackHandle* handle = nullptr;
    int calls = 0;
    handle = makeCallbackHandle(subscribeDelivery(std::weak_ptr<Bus>(bus), [&](int) {
        ++calls;
        freeCallbackHandle(handle);
    }));
    std::thread publisher([&] { bus->notify(1); });
    publisher.join();
    bus->notify(2);
    EXPECT_EQ(calls, 1);
}
