// The first-generation Morvex sensor driven the way a host program drives it: only through
// the exported C functions, against the emulated device on the simulated radio.

#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <cstring>
#include <thread>

#include "sdk/core/ConversionTables.hpp"
#include "sim/peers/morvex/MorvexPeer.hpp"
#include "tests/e2e/host/HostFixture.hpp"

using namespace HostTest;
using VexaSim::MorvexPeer;
using VexaSim::MorvexPeerModel;
using VexaSim::MorvexPeerSettings;

namespace {

constexpr uint64_t kAddress = 0xC0FFEE000010;
constexpr const char* kAddressText = "C0:FF:EE:00:00:10";
constexpr const char* kMorvexService = "6E400001-B534-F393-68A9-E50E24DCCA9E";

struct SignalCalls : Calls<std::vector<MorvexSignalRecord>> {
    std::vector<_Sensor*> sensors;
    static void receive(_Sensor* sensor, MorvexSignalRecord* records, uint32_t count, void* user) {
        auto* self = static_cast<SignalCalls*>(user);
        self->add(count == 0 ? std::vector<MorvexSignalRecord>{} : std::vector(records, records + count));
        if (self->count() == 1) {
            self->first.store(sensor);
        }
    }
    size_t records() {
        size_t n = 0;
        for (const auto& batch : events()) {
            n += batch.size();
        }
        return n;
    }
    std::atomic<_Sensor*> first{nullptr};
};

struct ResistCalls : Calls<MorvexResistRecord> {
    static void receive(_Sensor*, MorvexResistRecord* record, void* user) {
        static_cast<ResistCalls*>(user)->add(*record);
    }
};

struct ValueCalls : Calls<int32_t> {
    static void battery(_Sensor*, int32_t value, void* user) { static_cast<ValueCalls*>(user)->add(value); }
    static void state(_Sensor*, uint8_t value, void* user) { static_cast<ValueCalls*>(user)->add(value); }
};

struct MorvexHost : HostLibrary {
    std::shared_ptr<MorvexPeer> peer;
    SensorScannerWrap* scanner = nullptr;

    void attach(MorvexPeerSettings settings = {}) {
        peer = MorvexPeer::attach(*radio, kAddress, std::move(settings), {std::chrono::microseconds(1000), 2});
    }

    // Scans for the Morvex family and creates the sensor of the one found record.
    _Sensor* findAndCreate() {
        scanner = scanFor({SensorFamilyMorvex});
        std::vector<_SensorInfo> found;
        // The device advertises until the scanner lists it.
        EXPECT_TRUE(waitFor([&] {
            advertise(kAddress, "Morvex", kMorvexService);
            return !(found = listed(scanner)).empty();
        }));
        if (found.empty()) {
            return nullptr;
        }
        EXPECT_EQ(found[0].SensFamily, SensorFamilyMorvex);
        EXPECT_STREQ(found[0].Address, kAddressText);
        _Sensor* sensor = createSensor(scanner, &found[0], &status);
        EXPECT_NE(sensor, nullptr) << status.Error << " " << status.ErrorMsg;
        return sensor;
    }

    void TearDown() override {
        if (scanner != nullptr) {
            stopScanner(scanner, &status);
            freeScanner(scanner);
        }
        HostLibrary::TearDown();
    }
};

int32_t toCount(double volts, double gainFactor) {
    return static_cast<int32_t>(std::llround(volts * gainFactor * 1048575.0 / 2.4));
}

}  // namespace

TEST_F(MorvexHost, WholeSessionFromScanToFree) {
    MorvexPeerSettings settings;
    settings.resistanceOhms = {50e3, 100e3, 150e3, 200e3};
    attach(settings);
    const size_t threadsBefore = threadCount();

    _Sensor* sensor = findAndCreate();
    ASSERT_NE(sensor, nullptr);
    EXPECT_EQ(getFamilySensor(sensor), SensorFamilyMorvex);
    ASSERT_EQ(connectSensor(sensor, &status), 1) << status.ErrorMsg;
    EXPECT_EQ(status.Error, 0u);

    char text[64];
    ASSERT_EQ(readSerialNumberSensor(sensor, text, sizeof(text), &status), 1);
    EXPECT_STREQ(text, "MX1-000042");
    ASSERT_EQ(readAddressSensor(sensor, text, sizeof(text), &status), 1);
    EXPECT_STREQ(text, kAddressText);
    int32_t battery = 0;
    ASSERT_EQ(readBattPowerSensor(sensor, &battery, &status), 1);
    EXPECT_EQ(battery, 87);
    uint8_t state = 9;
    ASSERT_EQ(readStateSensor(sensor, &state, &status), 1);
    EXPECT_EQ(state, SensorStateInRange);
    SensorVersion version{};
    ASSERT_EQ(readVersionSensor(sensor, &version, &status), 1);
    EXPECT_EQ(version.FwMajor, 7u);
    EXPECT_EQ(version.HwMajor, 2u);
    EXPECT_EQ(version.Extra, 1u);
    uint8_t gain = 0;
    ASSERT_EQ(readGainSensor(sensor, &gain, &status), 1);

    SignalCalls signal;
    ResistCalls resist;
    ValueCalls batteryCalls;
    ValueCalls connection;
    DualCallbackHandle* signalHandle = nullptr;
    DualCallbackHandle* resistHandle = nullptr;
    CallbackHandle* batteryHandle = nullptr;
    CallbackHandle* connectionHandle = nullptr;
    ASSERT_EQ(addSignalDataCallbackMorvex(sensor, SignalCalls::receive, &signalHandle, &signal, &status), 1);
    ASSERT_EQ(addResistCallbackMorvex(sensor, ResistCalls::receive, &resistHandle, &resist, &status), 1);
    ASSERT_EQ(addBatteryCallback(sensor, ValueCalls::battery, &batteryHandle, &batteryCalls, &status), 1);
    ASSERT_EQ(addConnectionStateCallback(sensor, ValueCalls::state, &connectionHandle, &connection, &status), 1);

    // Signal: the device's waveform, to the last count, on a library thread.
    ASSERT_EQ(execCommandSensor(sensor, SensorCommandStartSignal, &status), 1) << status.ErrorMsg;
    ASSERT_TRUE(waitFor([&] { return signal.records() >= 200; }));
    ASSERT_EQ(execCommandSensor(sensor, SensorCommandStopSignal, &status), 1) << status.ErrorMsg;
    EXPECT_EQ(signal.first.load(), sensor);
    for (const auto thread : signal.threads()) {
        EXPECT_NE(thread, std::this_thread::get_id());
    }
    const double factor = VexaDevice::Utility::gainToFactor(gain);
    for (const auto& batch : signal.events()) {
        for (size_t i = 0; i < batch.size(); ++i) {
            const MorvexSignalRecord& r = batch[i];
            // Two samples per pack: records come in pairs sharing the pack's number and marker.
            const int sample = (i % 2 == 0) ? 0 : 1;
            if (sample == 1) {
                EXPECT_EQ(r.PackNum, batch[i - 1].PackNum);
            }
            EXPECT_EQ(r.Marker, MorvexPeerModel::markerOf(r.PackNum) ? 1 : 0);
            EXPECT_EQ(toCount(r.O1, factor), MorvexPeerModel::signalCount(0, r.PackNum, sample));
            EXPECT_EQ(toCount(r.T3, factor), MorvexPeerModel::signalCount(1, r.PackNum, sample));
            EXPECT_EQ(toCount(r.T4, factor), MorvexPeerModel::signalCount(2, r.PackNum, sample));
            EXPECT_EQ(toCount(r.O2, factor), MorvexPeerModel::signalCount(3, r.PackNum, sample));
        }
    }

    // Resistance: one call per record, the configured resistances once every electrode is measured.
    ASSERT_EQ(execCommandSensor(sensor, SensorCommandStartResist, &status), 1) << status.ErrorMsg;
    ASSERT_TRUE(waitFor([&] { return resist.count() >= 4; }));
    ASSERT_EQ(execCommandSensor(sensor, SensorCommandStopResist, &status), 1);
    const MorvexResistRecord measured = resist.events()[3];
    EXPECT_NEAR(measured.O1, 50e3, 50e3 * 0.005);
    EXPECT_NEAR(measured.O2, 200e3, 200e3 * 0.005);
    EXPECT_NEAR(measured.T3, 100e3, 100e3 * 0.005);
    EXPECT_NEAR(measured.T4, 150e3, 150e3 * 0.005);

    // Battery changes reach the battery function.
    peer->setBattery(55);
    ASSERT_TRUE(waitFor([&] {
        const auto values = batteryCalls.events();
        return !values.empty() && values.back() == 55;
    }));

    // After removal nothing more arrives, although the device streams again.
    removeSignalDataCallbackMorvex(signalHandle);
    removeResistCallbackMorvex(resistHandle);
    removeBatteryCallback(batteryHandle);
    const size_t signalCalls = signal.count();
    const uint64_t packsBefore = peer->packsSent();
    ASSERT_EQ(execCommandSensor(sensor, SensorCommandStartSignal, &status), 1);
    ASSERT_TRUE(waitFor([&] { return peer->packsSent() >= packsBefore + 100; }));
    ASSERT_EQ(execCommandSensor(sensor, SensorCommandStopSignal, &status), 1);
    EXPECT_EQ(signal.count(), signalCalls);

    // Disconnection is announced to the connection-state function.
    ASSERT_EQ(disconnectSensor(sensor, &status), 1) << status.ErrorMsg;
    ASSERT_TRUE(waitFor([&] {
        const auto states = connection.events();
        return !states.empty() && states.back() == SensorStateOutOfRange;
    }));
    ASSERT_EQ(readStateSensor(sensor, &state, &status), 1);
    EXPECT_EQ(state, SensorStateOutOfRange);
    removeConnectionStateCallback(connectionHandle);

    freeSensor(sensor);
    ASSERT_EQ(stopScanner(scanner, &status), 1);
    freeScanner(scanner);
    scanner = nullptr;
    EXPECT_TRUE(waitFor([&] { return threadCount() <= threadsBefore; }))
        << threadCount() << " threads, " << threadsBefore << " before";
}

TEST_F(MorvexHost, ReadsTheFamilyLacksAnswer121AndLeaveNoStaleValue) {
    attach();
    _Sensor* sensor = findAndCreate();
    ASSERT_NE(sensor, nullptr);

    int32_t voltage = 1234;
    EXPECT_EQ(readBattVoltageSensor(sensor, &voltage, &status), 0);
    EXPECT_EQ(status.Error, 121u);
    EXPECT_STREQ(status.ErrorMsg, "Failed read the sensor parameter");
    EXPECT_EQ(voltage, 0);
    EEGChannelInfo channels[2];
    int32_t count = 2;
    EXPECT_EQ(readSupportedEEGChannels(sensor, channels, &count, &status), 0);
    EXPECT_EQ(status.Error, 121u);
    EXPECT_EQ(count, 0);
    Morvex2AmplifierParam amplifier{};
    EXPECT_EQ(readAmplifierParamMorvex2(sensor, &amplifier, &status), 0);
    EXPECT_EQ(status.Error, 121u);

    // Registrations of events the family does not have answer 124 and write no handle.
    CallbackHandle* handle = nullptr;
    EXPECT_EQ(addSignalCallbackMorvex2(sensor, nullptr, &handle, nullptr, &status), 0);
    EXPECT_EQ(status.Error, 124u);
    EXPECT_STREQ(status.ErrorMsg, "Failed add callback the sensor");
    EXPECT_EQ(addAmpModeCallback(sensor, nullptr, &handle, nullptr, &status), 0);
    EXPECT_EQ(status.Error, 124u);
    DualCallbackHandle* dual = nullptr;
    EXPECT_EQ(addMEMSDataCallback(sensor, nullptr, &dual, nullptr, &status), 0);
    EXPECT_EQ(status.Error, 124u);
    EXPECT_EQ(handle, nullptr);
    EXPECT_EQ(dual, nullptr);

    // Commands the family lacks fail with the device class's result or 118.
    EXPECT_EQ(execCommandSensor(sensor, SensorCommandIdle, &status), 0);
    EXPECT_EQ(status.Error, 118u);
    // Only the low byte of a command counts: 256 is StartSignal.
    EXPECT_EQ(execCommandSensor(sensor, 256, &status), 1) << status.ErrorMsg;
    EXPECT_EQ(peer->state(), MorvexPeerModel::SignalState);
    EXPECT_EQ(execCommandSensor(sensor, SensorCommandStopSignal, &status), 1);
    freeSensor(sensor);
}

TEST_F(MorvexHost, FreedFromInsideItsOwnSignalFunction) {
    attach();
    _Sensor* sensor = findAndCreate();
    ASSERT_NE(sensor, nullptr);
    struct Freeing {
        std::atomic<_Sensor*> sensor{nullptr};
        std::atomic<DualCallbackHandle*> handle{nullptr};
        std::atomic<int> calls{0};
        static void receive(_Sensor*, MorvexSignalRecord*, uint32_t count, void* user) {
            auto* self = static_cast<Freeing*>(user);
            if (count == 0) {
                return;
            }
            ++self->calls;
            if (_Sensor* owned = self->sensor.exchange(nullptr)) {
                freeSensor(owned);
                removeSignalDataCallbackMorvex(self->handle.exchange(nullptr));
            }
        }
    } freeing;
    DualCallbackHandle* handle = nullptr;
    ASSERT_EQ(addSignalDataCallbackMorvex(sensor, Freeing::receive, &handle, &freeing, &status), 1);
    freeing.handle = handle;
    freeing.sensor = sensor;
    ASSERT_EQ(execCommandSensor(sensor, SensorCommandStartSignal, &status), 1);
    // The release ran to its end on the worker thread that was delivering.
    ASSERT_TRUE(waitFor([&] { return freeing.sensor.load() == nullptr && freeing.handle.load() == nullptr; }));
    ASSERT_TRUE(waitFor([&] { return peer->state() == MorvexPeerModel::IdleState; }))
        << "the freed sensor stops the device";
}

TEST_F(MorvexHost, RemovedWhileDeliveriesRun) {
    attach();
    _Sensor* sensor = findAndCreate();
    ASSERT_NE(sensor, nullptr);
    SignalCalls signal;
    ASSERT_EQ(execCommandSensor(sensor, SensorCommandStartSignal, &status), 1);
    // Register and remove over and over while the worker delivers.
    for (int round = 0; round < 50; ++round) {
        DualCallbackHandle* handle = nullptr;
        ASSERT_EQ(addSignalDataCallbackMorvex(sensor, SignalCalls::receive, &handle, &signal, &status), 1);
        std::this_thread::sleep_for(std::chrono::microseconds(500));
        removeSignalDataCallbackMorvex(handle);
    }
    // A delivery already under way at the last removal may still finish; later ones never start.
    const uint64_t removedAt = peer->packsSent();
    ASSERT_TRUE(waitFor([&] { return peer->packsSent() >= removedAt + 50; }));
    const size_t calls = signal.count();
    const uint64_t packs = peer->packsSent();
    ASSERT_TRUE(waitFor([&] { return peer->packsSent() >= packs + 50; }));
    EXPECT_EQ(signal.count(), calls) << "no call after the last removal";
    ASSERT_EQ(execCommandSensor(sensor, SensorCommandStopSignal, &status), 1);
    freeSensor(sensor);
}

TEST_F(MorvexHost, LinkLossMidStreamAndFreeAfterwards) {
    attach();
    _Sensor* sensor = findAndCreate();
    ASSERT_NE(sensor, nullptr);
    SignalCalls signal;
    ValueCalls connection;
    DualCallbackHandle* signalHandle = nullptr;
    CallbackHandle* connectionHandle = nullptr;
    ASSERT_EQ(addSignalDataCallbackMorvex(sensor, SignalCalls::receive, &signalHandle, &signal, &status), 1);
    ASSERT_EQ(addConnectionStateCallback(sensor, ValueCalls::state, &connectionHandle, &connection, &status), 1);
    ASSERT_EQ(execCommandSensor(sensor, SensorCommandStartSignal, &status), 1);
    ASSERT_TRUE(waitFor([&] { return signal.records() >= 20; }));

    peer->dropLink();
    ASSERT_TRUE(waitFor([&] {
        const auto states = connection.events();
        return !states.empty() && states.back() == SensorStateOutOfRange;
    }));
    // A command to a lost device fails instead of hanging.
    EXPECT_EQ(execCommandSensor(sensor, SensorCommandStopSignal, &status), 0);
    EXPECT_NE(status.Error, 0u);

    // The sensor goes first; its handles are still released afterwards, and a connection event
    // arriving later reads nothing of the freed sensor.
    freeSensor(sensor);
    removeSignalDataCallbackMorvex(signalHandle);
    removeConnectionStateCallback(connectionHandle);
}

namespace {

// When the device sends a new battery level while its table is resolved again.
enum class LevelSent { WhileAway, AsItComesBack, AfterTheReadAgain };

const char* describe(LevelSent sent) {
    switch (sent) {
    case LevelSent::WhileAway: return "while the table was away";
    case LevelSent::AsItComesBack: return "as the table came back";
    case LevelSent::AfterTheReadAgain: return "once the device was read again";
    }
    return "";
}

// The daemon resolves the device's table again while the link stays up, its objects away for a
// while. A battery status the device sends then reaches nobody; the one it sends once the table
// is back arrives, perhaps before the library has read the device again, perhaps (over a socket,
// which overtakes the bus) ahead of that read's older value. Either way the host ends with the
// device's level, and hears of no link loss.
void batteryAcrossATableResolvedAgain(MorvexHost& test, LevelSent sent) {
    if (!kOverDbus) GTEST_SKIP() << "the simulated radio keeps a connected device's table";
    VexaSim::LinkFaults faults;
    // Late enough for the sensor to be made first: calls made while the table is away wait for it.
    faults.reresolveAfterNotify = 250ms;
    faults.reresolveGap = 600ms;
    test.transport.daemon()->setFaults(kAddress, faults);
    test.attach();
    _Sensor* sensor = test.findAndCreate();
    ASSERT_NE(sensor, nullptr);
    ValueCalls batteryCalls;
    ValueCalls connection;
    CallbackHandle* batteryHandle = nullptr;
    CallbackHandle* connectionHandle = nullptr;
    ASSERT_EQ(addBatteryCallback(sensor, ValueCalls::battery, &batteryHandle, &batteryCalls, &test.status), 1);
    ASSERT_EQ(addConnectionStateCallback(sensor, ValueCalls::state, &connectionHandle, &connection, &test.status), 1);
    // The sensor is freed whatever fails: its functions' data lives on this stack.
    const auto* daemon = test.transport.daemon();
    bool ready = waitFor([&] { return !daemon->tableExported(kAddress); });
    EXPECT_TRUE(ready) << "the table never went";
    const int reads = daemon->calls("ReadValue");
    if (ready && sent != LevelSent::WhileAway) {
        // Back on the daemon: the library may not have its notifications on again yet.
        ready = waitFor([&] { return daemon->tableExported(kAddress); });
        EXPECT_TRUE(ready) << "the table never came back";
    }
    if (ready && sent == LevelSent::AfterTheReadAgain) {
        // The daemon has the status read again: the level comes after the value it answers.
        ready = waitFor([&] { return daemon->calls("ReadValue") > reads; });
        EXPECT_TRUE(ready) << "the device was not read again";
    }
    if (ready) {
        test.peer->setBattery(55);
        EXPECT_TRUE(waitFor([&] {
            const auto values = batteryCalls.events();
            return !values.empty() && values.back() == 55;
        })) << "the level sent "
            << describe(sent) << " is lost";
        int32_t battery = 0;
        EXPECT_EQ(readBattPowerSensor(sensor, &battery, &test.status), 1);
        EXPECT_EQ(battery, 55);
    }
    // The state the sensor was made with may still be on its way; no loss is reported.
    for (const int32_t state : connection.events()) EXPECT_EQ(state, SensorStateInRange);
    removeBatteryCallback(batteryHandle);
    removeConnectionStateCallback(connectionHandle);
    freeSensor(sensor);
}

}  // namespace

TEST_F(MorvexHost, ABatteryLevelSentWhileTheTableIsAwayIsReadOnceItIsBack) {
    batteryAcrossATableResolvedAgain(*this, LevelSent::WhileAway);
}

TEST_F(MorvexHost, ABatteryLevelSentAsTheTableComesBackHolds) {
    batteryAcrossATableResolvedAgain(*this, LevelSent::AsItComesBack);
}

TEST_F(MorvexHost, ABatteryLevelSentOnceTheDeviceIsReadAgainHolds) {
    batteryAcrossATableResolvedAgain(*this, LevelSent::AfterTheReadAgain);
}
