// Lorrel headbands through the exported functions: the model byte picks the Lorrel protocol
// (0-2), the first Wrenlet protocol (3-4) or the second (5 and above); signal and resistance in
// the device order, motion and photoplethysmogram records, the reads and writes each model
// answers, and a failed creation.

#include <gtest/gtest.h>

#include <cmath>

#include "sim/peers/kestrane/CommandStreamPeer.hpp"
#include "sim/peers/kestrane/CommandStreamPeerModel.hpp"
#include "sim/peers/lorrel/LorrelPeer.hpp"
#include "sim/peers/wrenlet/WrenletPeer.hpp"
#include "tests/e2e/host/HostFixture.hpp"

using namespace HostTest;
using VexaSim::CommandStreamPeerModel;

namespace {

constexpr uint64_t kAddress = 0xC0FFEE000041;
constexpr const char* kAddressText = "C0:FF:EE:00:00:41";

double volts(int64_t count, double gain) {
    return static_cast<double>(count) * static_cast<double>(2.4f) / (8388607.0 * gain);
}

struct SignalCalls : Calls<MorvexSignalRecord> {
    static void receive(_Sensor*, MorvexSignalRecord* records, uint32_t count, void* user) {
        for (uint32_t i = 0; i < count; ++i) {
            static_cast<SignalCalls*>(user)->add(records[i]);
        }
    }
};

struct ResistCalls : Calls<FourChannelResistRecord> {
    static void receive(_Sensor*, FourChannelResistRecord* record, void* user) {
        static_cast<ResistCalls*>(user)->add(*record);
    }
};

struct MotionCalls : Calls<MEMSRecord> {
    static void receive(_Sensor*, MEMSRecord* records, uint32_t count, void* user) {
        for (uint32_t i = 0; i < count; ++i) {
            static_cast<MotionCalls*>(user)->add(records[i]);
        }
    }
};

struct LightCalls : Calls<FPGRecord> {
    static void receive(_Sensor*, FPGRecord* records, uint32_t count, void* user) {
        for (uint32_t i = 0; i < count; ++i) {
            static_cast<LightCalls*>(user)->add(records[i]);
        }
    }
};

// The host's receivers outlive the sensor, which the fixture frees last.
struct LorrelHost : SensorHost {
    SignalCalls signal;
    ResistCalls resist;
    MotionCalls motion;
    LightCalls light;
    std::shared_ptr<VexaSim::LorrelPeer> lorrel;
    std::shared_ptr<VexaSim::CommandStreamPeer> wrenlet;

    void openLorrel(uint8_t model) {
        lorrel = VexaSim::LorrelPeer::attach(*radio, kAddress, {}, {std::chrono::microseconds(1000)});
        createFor(SensorFamilyLorrel, kAddressText, model);
    }

    void openWrenlet(uint8_t model, VexaSim::WrenletPeerGeneration generation) {
        wrenlet = VexaSim::CommandStreamPeer::attach(*radio, kAddress, VexaSim::wrenletSettings(generation, 'P'),
                                                     {std::chrono::microseconds(1000)});
        createFor(SensorFamilyLorrel, kAddressText, model);
    }

    // The signal records delivered after StartSignal, checked against the device's sawtooth.
    void expectSignal(double gain) {
        const size_t earlier = signal.count();
        CallbackHandle* handle = nullptr;
        ASSERT_EQ(addSignalDataCallbackLorrel(sensor, &SignalCalls::receive, &handle, &signal, &status), 1)
            << status.ErrorMsg;
        ASSERT_EQ(execCommandSensor(sensor, 0, &status), 1) << status.ErrorMsg;
        ASSERT_TRUE(waitFor([&] { return signal.count() >= earlier + 16; }));
        const auto records = signal.events();
        ASSERT_NE(records[earlier].O1, records[earlier + 1].O1);
        for (size_t i = earlier; i < records.size(); ++i) {
            const MorvexSignalRecord& record = records[i];
            EXPECT_DOUBLE_EQ(record.O1, volts(CommandStreamPeerModel::signalCount(0, record.PackNum), gain));
            EXPECT_DOUBLE_EQ(record.T3, volts(CommandStreamPeerModel::signalCount(1, record.PackNum), gain));
            EXPECT_DOUBLE_EQ(record.T4, volts(CommandStreamPeerModel::signalCount(2, record.PackNum), gain));
            EXPECT_DOUBLE_EQ(record.O2, volts(CommandStreamPeerModel::signalCount(3, record.PackNum), gain));
        }
        removeSignalDataCallbackLorrel(handle);
        ASSERT_EQ(execCommandSensor(sensor, 1, &status), 1) << status.ErrorMsg;
    }
};

}  // namespace

TEST_F(LorrelHost, TheSecondModelRunsOnlyTheCommandsItLists) {
    openLorrel(2);
    ASSERT_EQ(connectSensor(sensor, &status), 1) << status.ErrorMsg;
    EXPECT_EQ(listedCommands(sensor).count(SensorCommandStopSignalAndResist), 0u);
    expectUnlistedCommandsRefused(sensor);
}

TEST_F(LorrelHost, TheFirstModelsSpeakTheLorrelProtocol) {
    openLorrel(2);
    ASSERT_EQ(connectSensor(sensor, &status), 1) << status.ErrorMsg;
    int32_t battery = 0;
    ASSERT_EQ(readBattPowerSensor(sensor, &battery, &status), 1);
    EXPECT_EQ(battery, 76);
    char serial[32] = {};
    ASSERT_EQ(readSerialNumberSensor(sensor, serial, sizeof(serial), &status), 1);
    EXPECT_STREQ(serial, "LR-000011");
    uint8_t code = 0;
    ASSERT_EQ(readGainSensor(sensor, &code, &status), 1);
    EXPECT_EQ(code, 4);
    ASSERT_EQ(readSamplingFrequencySensor(sensor, &code, &status), 1);
    EXPECT_EQ(code, 4);
    SensorVersion version{};
    ASSERT_EQ(readVersionSensor(sensor, &version, &status), 1);
    EXPECT_EQ(version.FwMajor, 1u);
    EXPECT_EQ(version.FwMinor, 4u);
    EXPECT_EQ(getChannelsCountSensor(sensor), 4);

    // A gain for the next start, then the signal at that gain in the device order.
    ASSERT_EQ(writeGainSensor(sensor, 2, &status), 1) << status.ErrorMsg;
    expectSignal(3.0);
    EXPECT_EQ(lorrel->gainCodes(), (std::vector<uint8_t>{0x30, 0x30, 0x30, 0x30}));

    // The Wrenlet-only operations answer as unsupported; nothing reaches the device.
    WrenletAmplifierParam amplifier{};
    EXPECT_EQ(readAmplifierParamWrenlet(sensor, &amplifier, &status), 0);
    EXPECT_EQ(status.Error, 515u);
    const size_t frames = lorrel->commandFrames().size();
    EXPECT_EQ(execCommandSensor(sensor, 25, &status), 0);
    EXPECT_EQ(lorrel->commandFrames().size(), frames);
}

TEST_F(LorrelHost, ResistanceArrivesOneRecordAtATimeInTheDeviceOrder) {
    openLorrel(0);
    CallbackHandle* handle = nullptr;
    ASSERT_EQ(addResistCallbackLorrel(sensor, &ResistCalls::receive, &handle, &resist, &status), 1);
    ASSERT_EQ(execCommandSensor(sensor, 2, &status), 1) << status.ErrorMsg;
    ASSERT_TRUE(waitFor([&] { return resist.count() >= 2; }));
    const auto ohms = VexaSim::LorrelPeerSettings{}.resistanceOhms;
    for (const FourChannelResistRecord& record : resist.events()) {
        EXPECT_NEAR(record.O1, ohms[0], ohms[0] * 1e-3);
        EXPECT_NEAR(record.T3, ohms[1], ohms[1] * 1e-3);
        EXPECT_NEAR(record.T4, ohms[2], ohms[2] * 1e-3);
        EXPECT_NEAR(record.O2, ohms[3], ohms[3] * 1e-3);
    }
    // The gain cannot change while the device measures: a refusal, not a send failure.
    EXPECT_EQ(writeGainSensor(sensor, 1, &status), 0);
    EXPECT_EQ(status.Error, 516u);
    ASSERT_EQ(execCommandSensor(sensor, 3, &status), 1);
    EXPECT_EQ(lorrel->mode(), 1);
    removeResistCallbackLorrel(handle);
}

TEST_F(LorrelHost, MotionAndPhotoplethysmogramRecords) {
    openLorrel(1);
    DualCallbackHandle* motionHandle = nullptr;
    CallbackHandle* lightHandle = nullptr;
    ASSERT_EQ(addMEMSDataCallback(sensor, &MotionCalls::receive, &motionHandle, &motion, &status), 1)
        << status.ErrorMsg;
    ASSERT_EQ(addFPGDataCallback(sensor, &LightCalls::receive, &lightHandle, &light, &status), 1);
    ASSERT_EQ(writeAccelerometerSensSensor(sensor, 2, &status), 1) << status.ErrorMsg;
    ASSERT_EQ(execCommandSensor(sensor, 4, &status), 1) << status.ErrorMsg;
    ASSERT_EQ(execCommandSensor(sensor, 23, &status), 1) << status.ErrorMsg;
    ASSERT_TRUE(waitFor([&] { return motion.count() >= 16 && light.count() >= 16; }));
    for (const MEMSRecord& record : motion.events()) {
        EXPECT_DOUBLE_EQ(record.AccelerometerX, CommandStreamPeerModel::motionCount(0, record.PackNum) * 8.0 / 32767);
        EXPECT_DOUBLE_EQ(record.GyroscopeY, CommandStreamPeerModel::motionCount(4, record.PackNum) * 500.0 / 32767);
    }
    for (const FPGRecord& record : light.events()) {
        EXPECT_DOUBLE_EQ(record.Value1, CommandStreamPeerModel::fpgCount(0, record.PackNum));
        EXPECT_DOUBLE_EQ(record.Value2, CommandStreamPeerModel::fpgCount(1, record.PackNum));
    }
    uint8_t code = 0;
    ASSERT_EQ(readSamplingFrequencyFPGSensor(sensor, &code, &status), 1);
    EXPECT_EQ(code, 2);
    ASSERT_EQ(readAccelerometerSensSensor(sensor, &code, &status), 1);
    EXPECT_EQ(code, 2);
    removeMEMSDataCallback(motionHandle);
    removeFPGDataCallback(lightHandle);
}

TEST_F(LorrelHost, ModelsThreeAndFourSpeakTheFirstWrenletProtocol) {
    openWrenlet(3, VexaSim::WrenletPeerGeneration::First);
    expectSignal(6.0);
    uint8_t gain = 0;
    ASSERT_EQ(readGainSensor(sensor, &gain, &status), 1);
    EXPECT_EQ(gain, 4);
    EXPECT_EQ(writeGainSensor(sensor, 2, &status), 0);
    EXPECT_EQ(status.Error, 515u);
    WrenletAmplifierParam amplifier{};
    ASSERT_EQ(readAmplifierParamWrenlet(sensor, &amplifier, &status), 1) << status.ErrorMsg;
    EXPECT_EQ(amplifier.ChMode[0], 1);
    EXPECT_EQ(amplifier.Current, 1);
    ASSERT_EQ(execCommandSensor(sensor, 25, &status), 1) << status.ErrorMsg;
    EXPECT_EQ(wrenlet->mode(), 5);
}

TEST_F(LorrelHost, ModelsFromFiveOnSpeakTheSecondWrenletProtocol) {
    openWrenlet(5, VexaSim::WrenletPeerGeneration::Second);
    expectSignal(6.0);
    freeSensor(sensor);
    sensor = nullptr;
    _SensorInfo info = record(SensorFamilyLorrel, kAddressText, 200);
    sensor = createSensor(scanner, &info, &status);
    ASSERT_NE(sensor, nullptr) << status.ErrorMsg;
    expectSignal(6.0);
}

TEST_F(LorrelHost, AFailedCreationReportsItsErrorAndLeavesNoThreadRunning) {
    VexaSim::LorrelPeerSettings settings;
    settings.information.modelNumber = "71.0";
    lorrel = VexaSim::LorrelPeer::attach(*radio, kAddress, settings, {std::chrono::microseconds(1000)});
    scanner = scanFor({SensorFamilyLorrel});
    _SensorInfo info = record(SensorFamilyLorrel, kAddressText, 0);
    // A first creation leaves what the library keeps for the address (the BLE device) in place.
    EXPECT_EQ(createSensor(scanner, &info, &status), nullptr);
    const size_t before = threadCount();
    EXPECT_EQ(createSensor(scanner, &info, &status), nullptr);
    EXPECT_EQ(status.Error, 108u);
    EXPECT_STREQ(status.ErrorMsg,
                 "Cannot create Lorrel BLE Device: Device unsupported. Failed recognized the device Family");
    EXPECT_TRUE(waitFor([&] { return threadCount() <= before; }));
}

TEST_F(LorrelHost, AModeCommandSucceedsOnlyWhenTheDeviceShowsIt) {
    openLorrel(0);
    expectModeCommandsOnlyWhenTheDeviceShowsThem(*lorrel);
}
