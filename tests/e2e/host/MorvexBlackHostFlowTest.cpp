// A MorvexBlack sensor through the exported functions: Morvex records in the device's fixed
// channel order, one resistance call per record, and what the family does not offer.

#include <gtest/gtest.h>

#include <cmath>

#include "sim/peers/kestrane/CommandStreamPeerModel.hpp"
#include "sim/peers/morvexblack/MorvexBlackPeer.hpp"
#include "tests/e2e/host/HostFixture.hpp"

using namespace HostTest;
using VexaSim::CommandStreamPeerModel;
using VexaSim::MorvexBlackPeer;
using VexaSim::MorvexBlackPeerSettings;

namespace {

constexpr uint64_t kAddress = 0xC0FFEE000040;
constexpr const char* kAddressText = "C0:FF:EE:00:00:40";

struct SignalCalls : Calls<std::vector<MorvexSignalRecord>> {
    static void receive(_Sensor*, MorvexSignalRecord* records, uint32_t count, void* user) {
        static_cast<SignalCalls*>(user)->add(std::vector(records, records + count));
    }
};

struct ResistCalls : Calls<MorvexResistRecord> {
    static void receive(_Sensor*, MorvexResistRecord* record, void* user) {
        static_cast<ResistCalls*>(user)->add(*record);
    }
};

struct MorvexBlackHost : SensorHost {
    std::shared_ptr<MorvexBlackPeer> peer;

    void SetUp() override {
        SensorHost::SetUp();
        peer = MorvexBlackPeer::attach(*radio, kAddress, MorvexBlackPeerSettings{}, {std::chrono::microseconds(1000)});
        createFor(SensorFamilyMorvexBlack, kAddressText);
    }
};

}  // namespace

TEST_F(MorvexBlackHost, RunsOnlyTheCommandsItLists) {
    EXPECT_EQ(listedCommands(sensor).count(SensorCommandStopSignalAndResist), 0u);
    expectUnlistedCommandsRefused(sensor);
}

TEST_F(MorvexBlackHost, SignalInTheDevicesFixedOrderAndResistanceOneCallPerRecord) {
    SignalCalls signal;
    ResistCalls resist;
    DualCallbackHandle* signalHandle = nullptr;
    DualCallbackHandle* resistHandle = nullptr;
    ASSERT_EQ(addSignalDataCallbackMorvex(sensor, SignalCalls::receive, &signalHandle, &signal, &status), 1);
    ASSERT_EQ(addResistCallbackMorvex(sensor, ResistCalls::receive, &resistHandle, &resist, &status), 1);

    ASSERT_EQ(execCommandSensor(sensor, SensorCommandStartSignal, &status), 1) << status.ErrorMsg;
    ASSERT_TRUE(waitFor([&] { return signal.count() >= 5; }));
    ASSERT_EQ(execCommandSensor(sensor, SensorCommandStopSignal, &status), 1) << status.ErrorMsg;
    // The device sends O1, T3, T4, O2: O1 = [0], O2 = [3], T3 = [1], T4 = [2], at one scale.
    size_t checked = 0;
    for (const auto& batch : signal.events()) {
        for (const MorvexSignalRecord& r : batch) {
            const int32_t o1 = CommandStreamPeerModel::signalCount(0, r.PackNum);
            if (o1 == 0) {
                continue;
            }
            const double scale = r.O1 / o1;
            EXPECT_NEAR(r.O2, scale * CommandStreamPeerModel::signalCount(3, r.PackNum), 1e-12);
            EXPECT_NEAR(r.T3, scale * CommandStreamPeerModel::signalCount(1, r.PackNum), 1e-12);
            EXPECT_NEAR(r.T4, scale * CommandStreamPeerModel::signalCount(2, r.PackNum), 1e-12);
            ++checked;
        }
    }
    EXPECT_GT(checked, 0u);

    ASSERT_EQ(execCommandSensor(sensor, SensorCommandStartResist, &status), 1) << status.ErrorMsg;
    ASSERT_TRUE(waitFor([&] { return resist.count() >= 2; }));
    ASSERT_EQ(execCommandSensor(sensor, SensorCommandStopResist, &status), 1) << status.ErrorMsg;
    const auto ohms = MorvexBlackPeerSettings{}.resistanceOhms;
    const MorvexResistRecord last = resist.events().back();
    EXPECT_NEAR(last.O1, ohms[0], ohms[0] * 1e-4);
    EXPECT_NEAR(last.O2, ohms[3], ohms[3] * 1e-4);
    EXPECT_NEAR(last.T3, ohms[1], ohms[1] * 1e-4);
    EXPECT_NEAR(last.T4, ohms[2], ohms[2] * 1e-4);

    removeSignalDataCallbackMorvex(signalHandle);
    removeResistCallbackMorvex(resistHandle);
}

TEST_F(MorvexBlackHost, ReadsAndRegistrationsOfTheMorvexBlackClass) {
    uint8_t gain = 0;
    EXPECT_EQ(readGainSensor(sensor, &gain, &status), 1) << status.ErrorMsg;
    int32_t battery = 0;
    ASSERT_EQ(readBattPowerSensor(sensor, &battery, &status), 1);
    EXPECT_EQ(battery, 81);
    SensorVersion version{};
    ASSERT_EQ(readVersionSensor(sensor, &version, &status), 1);
    EXPECT_EQ(version.FwMajor, 1u);
    EXPECT_EQ(version.Extra, 0u);
    // The first hardware variant keeps no amplifier record: the family's own answer comes through.
    WrenletAmplifierParam amplifier{};
    EXPECT_EQ(readAmplifierParamWrenlet(sensor, &amplifier, &status), 0);
    EXPECT_NE(status.Error, 121u);

    // Model byte 0: no Morvex2-shaped amplifier record, no channel list.
    Morvex2AmplifierParam wide{};
    EXPECT_EQ(readAmplifierParamMorvex2(sensor, &wide, &status), 0);
    EXPECT_EQ(status.Error, 121u);
    EEGChannelInfo channels[4];
    int32_t count = 4;
    EXPECT_EQ(readSupportedChannelsMorvex2(sensor, channels, &count, &status), 0);
    EXPECT_EQ(status.Error, 121u);

    CallbackHandle* handle = nullptr;
    EXPECT_EQ(addResistCallbackMorvex2(sensor, nullptr, &handle, nullptr, &status), 0);
    EXPECT_EQ(status.Error, 124u);
    EXPECT_EQ(addSignalCallbackMorvex2(sensor, nullptr, &handle, nullptr, &status), 0);
    EXPECT_EQ(status.Error, 124u);
    EXPECT_EQ(handle, nullptr);
    EXPECT_EQ(addFPGDataCallback(
                  sensor, [](_Sensor*, FPGRecord*, uint32_t, void*) {}, &handle, nullptr, &status),
              1);
    removeFPGDataCallback(handle);
    DualCallbackHandle* motion = nullptr;
    EXPECT_EQ(addMEMSDataCallback(
                  sensor, [](_Sensor*, MEMSRecord*, uint32_t, void*) {}, &motion, nullptr, &status),
              1)
        << status.ErrorMsg;
    removeMEMSDataCallback(motion);
}
