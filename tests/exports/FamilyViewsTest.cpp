// The family-specific views of an access adapter or control: a view is found only on the adapter
// that offered it, as the part it offered (an interface at an offset inside the adapter
// included), and the exports that need a view refuse a sensor without it with the code and
// message of a family without the parameter, event or command.

#include "sdk/api/FamilyViews.hpp"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "sdk/api/CallbackHandle.hpp"
#include "sdk/api/DualCallbackHandle.hpp"
#include "sdk/api/FamilyAccess.hpp"
#include "sdk/api/FamilyControl.hpp"
#include "sdk/api/HostDelivery.hpp"
#include "sdk/api/SensorWrap.hpp"
#include "sdk/api/SharedViews.hpp"
#include "sdk/api/StimulatorDevice.hpp"
#include "sdk/api/include/ambrelkit2.h"
#include "sdk/core/EventBus.hpp"
#include "tests/support/IdleSensor.hpp"

using namespace VexaDevice;
using namespace VexaDevice::Api;

namespace {

struct First {
    int value = 1;
};
struct Second {
    int value = 2;
};

TEST(FamilyViews, AViewIsFoundOnlyOnTheListThatOfferedIt) {
    First first;
    Second second;
    FamilyViews views;
    EXPECT_EQ(views.find<First>(), nullptr);

    views.offer(first);
    EXPECT_EQ(views.find<First>(), &first);
    EXPECT_EQ(views.find<Second>(), nullptr) << "a view of another type is not found";

    views.offer(second);
    EXPECT_EQ(views.find<First>(), &first);
    EXPECT_EQ(views.find<Second>(), &second);

    FamilyViews other;
    EXPECT_EQ(other.find<First>(), nullptr) << "each adapter keeps its own views";
}

// Two interfaces of one object: the second lies at an offset inside it.
class Reads {
public:
    virtual int reads() = 0;

protected:
    ~Reads() = default;
};
class Writes {
public:
    virtual int writes() = 0;

protected:
    ~Writes() = default;
};
class Both final : public Reads, public Writes {
public:
    int reads() override { return 10; }
    int writes() override { return 20; }
};

TEST(FamilyViews, AnInterfaceViewIsThePartOfTheObjectThatWasOffered) {
    Both both;
    FamilyViews views;
    views.offer<Writes>(both);
    views.offer<Reads>(both);
    Writes* writes = views.find<Writes>();
    ASSERT_NE(writes, nullptr);
    EXPECT_EQ(writes, static_cast<Writes*>(&both));
    EXPECT_EQ(writes->writes(), 20);
    EXPECT_EQ(views.find<Reads>()->reads(), 10);
    EXPECT_EQ(views.find<Both>(), nullptr) << "the object itself was not offered";
}

struct SignalCalls {
    int calls = 0;
    static void receive(_Sensor*, MorvexSignalRecord*, uint32_t count, void* user) {
        EXPECT_EQ(count, 0u);
        ++static_cast<SignalCalls*>(user)->calls;
    }
};

// An adapter with the stimulator reads and, when asked, the Morvex records over a bus of its own.
class ViewedFamily final : public FamilyAccess, public StimulatorView, public MorvexRecordsView {
public:
    explicit ViewedFamily(bool morvexRecords) : FamilyAccess(std::make_shared<TestSupport::IdleSensor>()) {
        offer<StimulatorView>(*this);
        if (morvexRecords) {
            offer<MorvexRecordsView>(*this);
        }
    }
    std::weak_ptr<BLE::ConnectionBus> connectionBus() override { return connection_; }

    OperationResult readPhotoStimTimeDefer(double& out) override {
        out = 2.5;
        return OperationResult::done();
    }
    OperationResult readStimPrograms(std::vector<StimulProgram>& out) override {
        out = {StimulProgram{}, StimulProgram{}};
        out[1].Frequency = 40;
        return OperationResult::done();
    }
    Subscription addSignalDataMorvex(const HostTarget<MorvexSignalCallback>& host) override {
        return Subscription::made(
            subscribeDelivery(std::weak_ptr<Utility::EventBus<int>>(signals),
                              [host](int) { host.function(host.sensor, nullptr, 0, host.userData); }),
            Subscription::Records::Kestrane);
    }
    Subscription addResistMorvex(const HostTarget<MorvexResistCallback>&) override {
        return Subscription::failed(OperationResult::failed(0, "resistance is off"));
    }

    const std::shared_ptr<Utility::EventBus<int>> signals = std::make_shared<Utility::EventBus<int>>(4);

private:
    std::shared_ptr<BLE::ConnectionBus> connection_ = std::make_shared<BLE::ConnectionBus>(4);
};

// A control with the four-channel amplifier write and the stimulator's writes, the first only
// when asked, and one byte parameter and a phase count from its slots.
class ViewedControl final : public FamilyControl, public WrenletAmplifierWriteView, public StimulatorDevice {
public:
    explicit ViewedControl(bool wrenlet)
        : FamilyControl({
              .bytes = {{WriteParameter::Gain, [this](uint8_t value) { return record("gain", value); }}},
              .maxStimulPhases = [] { return 3; },
          }) {
        if (wrenlet) {
            offer<WrenletAmplifierWriteView>(*this);
        }
        offer<StimulatorDevice>(*this);
    }

    OperationResult writeAmplifierWrenlet(const WrenletAmplifierParam& param) override {
        return record("wrenlet", param.Current);
    }
    OperationResult writePhotoStimTimeDefer(double) override {
        return OperationResult::failed(0, "the deferral is fixed");
    }
    OperationResult writeStimPrograms(const std::vector<StimulProgram>& programs) override {
        return record("programs", static_cast<int>(programs.size()));
    }
    int32_t maxStimPrograms() override { return 2; }

    std::vector<std::pair<std::string, int>> writes;

private:
    OperationResult record(const std::string& what, int value) {
        writes.emplace_back(what, value);
        return OperationResult::done();
    }
};

_Sensor* handleOf(bool morvexRecords, uint8_t family) {
    return new _Sensor(std::make_shared<ViewedFamily>(morvexRecords), std::make_unique<FamilyControl>(), family, 0);
}

void expectRefusal(const CallStatus& status, uint32_t code, const char* message) {
    EXPECT_EQ(status.Error, code);
    EXPECT_STREQ(status.ErrorMsg, message);
}

TEST(FamilyViewExports, AnOfferedViewAnswersItsFamilysExports) {
    _Sensor* sensor = handleOf(true, SensorFamilyPhotoStim);
    auto& family = static_cast<ViewedFamily&>(sensor->access());
    CallStatus status{};

    double seconds = 0;
    ASSERT_EQ(readPhotoStimTimeDefer(sensor, &seconds, &status), 1) << status.ErrorMsg;
    EXPECT_EQ(seconds, 2.5);
    StimulProgram programs[4]{};
    int32_t count = 4;
    ASSERT_EQ(readStimPrograms(sensor, programs, &count, &status), 1) << status.ErrorMsg;
    EXPECT_EQ(count, 2);
    EXPECT_EQ(programs[1].Frequency, 40.0);

    SignalCalls calls;
    DualCallbackHandle* handle = nullptr;
    ASSERT_EQ(addSignalDataCallbackMorvex(sensor, SignalCalls::receive, &handle, &calls, &status), 1)
        << status.ErrorMsg;
    ASSERT_NE(handle, nullptr);
    EXPECT_NE(handle->kestrane.subscriber, nullptr) << "the view's own slot of the dual handle";
    EXPECT_EQ(handle->family.subscriber, nullptr);
    family.signals->notify(1);
    EXPECT_EQ(calls.calls, 1);
    removeSignalDataCallbackMorvex(handle);
    family.signals->notify(2);
    EXPECT_EQ(calls.calls, 1) << "the removed handle delivers nothing";

    // The view's own failure passes through with its message and the export's default code.
    DualCallbackHandle* resist = nullptr;
    EXPECT_EQ(addResistCallbackMorvex(
                  sensor, [](_Sensor*, MorvexResistRecord*, void*) {}, &resist, nullptr, &status),
              0);
    expectRefusal(status, 123, "resistance is off");
    EXPECT_EQ(resist, nullptr);
    freeSensor(sensor);
}

TEST(FamilyViewExports, ASensorWithoutTheViewIsRefusedAsAFamilyWithoutIt) {
    _Sensor* sensor = handleOf(false, SensorFamilyMorvex2);
    CallStatus status{};

    SignalCalls calls;
    DualCallbackHandle* dual = nullptr;
    EXPECT_EQ(addSignalDataCallbackMorvex(sensor, SignalCalls::receive, &dual, &calls, &status), 0);
    expectRefusal(status, 124, "Failed add callback the sensor");
    EXPECT_EQ(dual, nullptr);

    CallbackHandle* single = nullptr;
    EXPECT_EQ(addQuaternionDataCallback(
                  sensor, [](_Sensor*, QuaternionRecord*, uint32_t, void*) {}, &single, nullptr, &status),
              0);
    expectRefusal(status, 124, "Failed add callback the sensor");
    EXPECT_EQ(single, nullptr);

    // Records that keep the caller's entries keep them when refused.
    Morvex2AmplifierParam wide{};
    wide.Current = 7;
    EXPECT_EQ(readAmplifierParamMorvex2(sensor, &wide, &status), 0);
    expectRefusal(status, 121, "Failed read the sensor parameter");
    EXPECT_EQ(wide.Current, 7);
    TesselMotionCounterParam counter{};
    std::memset(&counter, 0x5A, sizeof counter);
    EXPECT_EQ(readMotionCounterParamTessel(sensor, &counter, &status), 0);
    expectRefusal(status, 121, "Failed read the sensor parameter");
    EXPECT_EQ(counter.CounterParam1, 0) << "a refused record is handed back zeroed";
    EXPECT_EQ(counter.CounterParam2, 0);
    int16_t filters[2]{};
    int32_t count = 2;
    EXPECT_EQ(readHardwareFiltersSensor(sensor, filters, &count, &status), 0);
    expectRefusal(status, 121, "Failed read the sensor parameter");
    freeSensor(sensor);
}

TEST(FamilyViewExports, AControlAnswersTheWritesOfTheViewsItOffered) {
    auto* control = new ViewedControl(true);
    _Sensor* sensor = new _Sensor(std::make_shared<ViewedFamily>(false), std::unique_ptr<FamilyControl>(control),
                                  SensorFamilyLorrel, 0);
    CallStatus status{};
    WrenletAmplifierParam wrenlet{};
    wrenlet.Current = 6;
    ASSERT_EQ(writeAmplifierParamWrenlet(sensor, wrenlet, &status), 1) << status.ErrorMsg;
    ASSERT_EQ(writeGainSensor(sensor, 9, &status), 1) << status.ErrorMsg;
    StimulProgram programs[3]{};
    EXPECT_EQ(writeStimPrograms(sensor, programs, 3, &status), 0) << "more than the view's stimulator holds";
    EXPECT_EQ(status.Error, 120u);
    ASSERT_EQ(writeStimPrograms(sensor, programs, 2, &status), 1) << status.ErrorMsg;
    EXPECT_EQ(control->writes,
              (std::vector<std::pair<std::string, int>>{{"wrenlet", 6}, {"gain", 9}, {"programs", 2}}));
    EXPECT_EQ(getMaxStimulPhasesCountSensor(sensor), 3);

    // The view's own failure passes through with its message and the export's default code.
    EXPECT_EQ(writePhotoStimTimeDefer(sensor, 1.5, &status), 0);
    expectRefusal(status, 120, "the deferral is fixed");

    // What the control neither offers nor has a slot for.
    EXPECT_EQ(writeAmplifierParamMorvex2(sensor, Morvex2AmplifierParam{}, &status), 0);
    expectRefusal(status, 122, "Failed write the sensor parameter");
    EXPECT_EQ(writeDataOffsetSensor(sensor, 1, &status), 0);
    expectRefusal(status, 122, "Failed write the sensor parameter");
    EXPECT_EQ(pingKestrane(sensor, 1, &status), 0);
    expectRefusal(status, 118, "Failed to execute the sensor command");
    EXPECT_EQ(deleteFileDravik(sensor, "a.dat", &status), 0);
    expectRefusal(status, 118, "Failed to execute the sensor command");
    uint8_t settings = 0x33;
    EXPECT_EQ(getSignalSettingsTessel(sensor, &settings, &status), 0);
    expectRefusal(status, 121, "Failed read the sensor parameter");
    EXPECT_EQ(settings, 0x33);
    EXPECT_EQ(getChannelsCountSensor(sensor), 0);
    EXPECT_EQ(getSupportedFiltersCountSensor(sensor), 0);
    freeSensor(sensor);

    // The same control without the amplifier view refuses the write as a family without it.
    auto* bare = new ViewedControl(false);
    sensor = new _Sensor(std::make_shared<ViewedFamily>(false), std::unique_ptr<FamilyControl>(bare),
                         SensorFamilyMorvex2, 0);
    EXPECT_EQ(writeAmplifierParamWrenlet(sensor, wrenlet, &status), 0);
    expectRefusal(status, 122, "Failed write the sensor parameter");
    EXPECT_TRUE(bare->writes.empty());
    freeSensor(sensor);
}

}  // namespace
