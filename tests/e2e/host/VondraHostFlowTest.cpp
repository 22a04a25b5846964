// Vondra sensors through the exported functions: the amplifier frames each setting sends and
// what a refusal reports, signal and resistance values of both generations (resistances out of
// range as +infinity), and the second generation on both of its protocols. The Vondra protocol
// runs against a device that announces its status as a frame arrives and answers after the
// write's acknowledgement, and against one whose answer follows the announcement during the
// write when it is new.

#include <gtest/gtest.h>

#include <algorithm>
#include <limits>

#include "sim/peers/kestrane/CommandStreamPeer.hpp"
#include "sim/peers/kestrane/CommandStreamPeerModel.hpp"
#include "sim/peers/vondra/VondraPeer.hpp"
#include "sim/peers/wrenlet/WrenletPeer.hpp"
#include "tests/e2e/host/HostFixture.hpp"

using namespace HostTest;
using VexaSim::CommandStreamPeer;
using VexaSim::CommandStreamPeerModel;
using VexaSim::CommandStreamPeerSettings;
using VexaSim::VondraPeerGeneration;

namespace {

constexpr uint64_t kAddress = 0xC0FFEE000050;
constexpr const char* kAddressText = "C0:FF:EE:00:00:50";
constexpr double kInfinity = std::numeric_limits<double>::infinity();
using Bytes = std::vector<uint8_t>;

// Volts of a count of the emulated device at gain factor 6.
double volts(int32_t count, double reference) { return count * reference / (8388607.0 * 6); }

template <class Record>
struct BatchCalls : Calls<std::vector<Record>> {
    static void receive(_Sensor*, Record* records, uint32_t count, void* user) {
        static_cast<BatchCalls*>(user)->add(std::vector<Record>(records, records + count));
    }
    std::vector<Record> records() {
        std::vector<Record> all;
        for (const auto& batch : this->events()) {
            all.insert(all.end(), batch.begin(), batch.end());
        }
        return all;
    }
};

using VexaSim::AnswerOrder;

struct VondraHost : SensorHost, ::testing::WithParamInterface<AnswerOrder> {
    std::shared_ptr<CommandStreamPeer> peer;

    // A Vondra device answering in the order under test.
    void attachVondra(VondraPeerGeneration generation) {
        CommandStreamPeerSettings settings = VexaSim::vondraSettings(generation);
        settings.answerOrder = GetParam();
        attach(std::move(settings));
    }
    void attach(CommandStreamPeerSettings settings) {
        peer = CommandStreamPeer::attach(*radio, kAddress, std::move(settings), {std::chrono::microseconds(1000)});
    }

    void expectFailure(uint8_t result, uint32_t code, const char* text) {
        EXPECT_EQ(result, 0);
        EXPECT_EQ(status.Error, code);
        EXPECT_STREQ(status.ErrorMsg, text);
    }
};

}  // namespace

INSTANTIATE_TEST_SUITE_P(Devices, VondraHost,
                         ::testing::Values(AnswerOrder::AnnouncedFirst, AnswerOrder::AnnouncedEarly),
                         [](const ::testing::TestParamInfo<AnswerOrder>& info) {
                             return info.param == AnswerOrder::AnnouncedFirst ? "AnnouncedFirst" : "AnnouncedEarly";
                         });

TEST_P(VondraHost, EachAmplifierSettingGoesOutAsItsFrameAndARefusalSurfaces) {
    attachVondra(VondraPeerGeneration::First);
    createFor(SensorFamilyVondra, kAddressText);

    VondraAmplifierParam read{};
    ASSERT_EQ(readAmplifierParamVondra(sensor, &read, &status), 1) << status.ErrorMsg;
    for (int ch = 0; ch < 7; ++ch) {
        EXPECT_EQ(read.ChMode[ch], 1);
        EXPECT_EQ(read.ChFlag[ch], 1);
        EXPECT_EQ(read.ChGain[ch], 4);
    }
    EXPECT_EQ(read.Current, 1);

    // Each gain index the amplifier takes, a mode byte of 2, resistance on two channels only.
    const VondraAmplifierParam wide{{1, 0, 1, 1, 1, 1, 2}, {0, 1, 0, 0, 0, 0, 7}, {0, 1, 3, 4, 5, 6, 4}, 6};
    ASSERT_EQ(writeAmplifierParamVondra(sensor, wide, &status), 1) << status.ErrorMsg;
    EXPECT_EQ(peer->amplifierFrame(), (Bytes{0x08, 1, 0, 0, 1, 1, 2, 1, 3, 1, 4, 1, 5, 1, 3, 4, 0, 1, 0, 0, 0, 0, 1}));
    ASSERT_EQ(readAmplifierParamVondra(sensor, &read, &status), 1);
    EXPECT_EQ(read.ChMode[6], 1) << "a mode byte reads back as on";
    EXPECT_EQ(read.ChFlag[6], 1);
    EXPECT_EQ(read.ChGain[2], 3);
    EXPECT_EQ(read.Current, 6);

    const VondraAmplifierParam probe{{1, 1, 1, 1, 1, 1, 1}, {1, 1, 1, 1, 1, 1, 1}, {4, 4, 4, 4, 4, 4, 4}, 0};
    ASSERT_EQ(writeAmplifierParamVondra(sensor, probe, &status), 1) << status.ErrorMsg;
    EXPECT_EQ(peer->amplifierFrame(), (Bytes{0x08, 1, 3, 1, 3, 1, 3, 1, 3, 1, 3, 1, 3, 1, 3, 0, 1, 1, 1, 1, 1, 1, 1}));

    // Values the amplifier cannot take go nowhere.
    VondraAmplifierParam wrong = probe;
    wrong.ChGain[3] = 2;
    expectFailure(writeAmplifierParamVondra(sensor, wrong, &status), 517, "The specified Gain value is not supported");
    wrong = probe;
    wrong.Current = 3;
    expectFailure(writeAmplifierParamVondra(sensor, wrong, &status), 517,
                  "The specified Current value is not supported");

    // The device's refusal is the result, and the setting it refused is not kept.
    peer->setRefusal(CommandStreamPeerModel::WrongParameter, 0x08);
    expectFailure(writeAmplifierParamVondra(sensor, wide, &status), 1, "Device error: [KSP_ERROR_CMD_PARAM]");
    ASSERT_EQ(readAmplifierParamVondra(sensor, &read, &status), 1);
    EXPECT_EQ(read.Current, 0);
    EXPECT_EQ(peer->amplifierFrame()[15], 0) << "the device kept the setting before";

    Vondra2AmplifierParam other{};
    expectFailure(readAmplifierParamVondra2(sensor, &other, &status), 121, "Failed read the sensor parameter");
    expectFailure(writeAmplifierParamVondra2(sensor, other, &status), 122, "Failed write the sensor parameter");
}

TEST_P(VondraHost, SevenChannelSignalAndResistanceValues) {
    attachVondra(VondraPeerGeneration::First);
    createFor(SensorFamilyVondra, kAddressText);

    uint8_t byte = 0;
    ASSERT_EQ(readSamplingFrequencySensor(sensor, &byte, &status), 1);
    EXPECT_EQ(byte, 4);
    ASSERT_EQ(readSamplingFrequencyResistSensor(sensor, &byte, &status), 1);
    EXPECT_EQ(byte, 0);
    ASSERT_EQ(readFirmwareModeSensor(sensor, &byte, &status), 1);
    EXPECT_EQ(byte, 1);
    int32_t battery = 0;
    ASSERT_EQ(readBattPowerSensor(sensor, &battery, &status), 1);
    EXPECT_EQ(battery, 77);
    SensorVersion version{};
    ASSERT_EQ(readVersionSensor(sensor, &version, &status), 1);
    EXPECT_EQ(version.FwMajor, 3u);
    EXPECT_EQ(version.FwPatch, 5u);
    EXPECT_EQ(version.HwMinor, 2u);
    EXPECT_EQ(version.Extra, 0u);
    EXPECT_EQ(getChannelsCountSensor(sensor), 7);
    expectFailure(readAccelerometerSensSensor(sensor, &byte, &status), 121, "Failed read the sensor parameter");
    DualCallbackHandle* motion = nullptr;
    expectFailure(addMEMSDataCallback(sensor, nullptr, &motion, nullptr, &status), 124,
                  "Failed add callback the sensor");

    BatchCalls<VondraSignalRecord> signal;
    BatchCalls<VondraResistRecord> resist;
    CallbackHandle* signalHandle = nullptr;
    CallbackHandle* resistHandle = nullptr;
    ASSERT_EQ(
        addSignalDataCallbackVondra(sensor, BatchCalls<VondraSignalRecord>::receive, &signalHandle, &signal, &status),
        1);
    ASSERT_EQ(addResistCallbackVondra(sensor, BatchCalls<VondraResistRecord>::receive, &resistHandle, &resist, &status),
              1);
    ASSERT_EQ(execCommandSensor(sensor, SensorCommandStartSignalAndResist, &status), 1) << status.ErrorMsg;
    ASSERT_TRUE(waitFor([&] { return signal.records().size() >= 10 && resist.records().size() >= 2; }));
    ASSERT_EQ(execCommandSensor(sensor, SensorCommandStopSignal, &status), 1) << status.ErrorMsg;
    EXPECT_EQ(peer->mode(), 1) << "the stop commands power the device down";
    ASSERT_EQ(readAmpMode(sensor, &byte, &status), 1);
    EXPECT_EQ(byte, 1);

    for (const VondraSignalRecord& record : signal.records()) {
        EXPECT_EQ(record.Marker, CommandStreamPeerModel::markerOf(record.PackNum));
        for (uint32_t ch = 0; ch < 7; ++ch) {
            EXPECT_DOUBLE_EQ(record.Values[ch], volts(CommandStreamPeerModel::signalCount(ch, record.PackNum), 4.5));
        }
    }
    // Below 0 and above 4 MOhm is out of range; 4 MOhm itself is not.
    const std::vector<double> ohms{50000, kInfinity, 150000, kInfinity, 4000000, 70000, 80000};
    for (const VondraResistRecord& record : resist.records()) {
        EXPECT_EQ(std::vector<double>(record.Values, record.Values + 7), ohms);
    }
    removeSignalDataCallbackVondra(signalHandle);
    removeResistCallbackVondra(resistHandle);

    ASSERT_EQ(pingKestrane(sensor, 0x5A, &status), 1) << status.ErrorMsg;
    EXPECT_TRUE(waitFor([&] { return peer->pings() == std::vector<Bytes>{{0x06, 0x5A}}; }));
}

TEST_P(VondraHost, SecondGenerationOnItsOwnProtocol) {
    attachVondra(VondraPeerGeneration::Second);
    createFor(SensorFamilyVondra2, kAddressText, 3);
    EXPECT_EQ(getChannelsCountSensor(sensor), 4);
    uint8_t byte = 0;
    expectFailure(readAccelerometerSensSensor(sensor, &byte, &status), 515, "Unsupported parameter");
    expectFailure(writeIrAmplitudeFPGSensor(sensor, 1, &status), 515, "Unsupported parameter");
    expectFailure(execCommandSensor(sensor, SensorCommandStartMEMS, &status), 514, "Unsupported command");

    const Vondra2AmplifierParam setting{{1, 1, 0, 1}, {1, 0, 1, 1}, {2, 4, 0, 6}, 4};
    ASSERT_EQ(writeAmplifierParamVondra2(sensor, setting, &status), 1) << status.ErrorMsg;
    EXPECT_EQ(peer->amplifierFrame(), (Bytes{0x08, 1, 6, 1, 3, 0, 0, 1, 5, 2, 1, 0, 1, 1}));
    Vondra2AmplifierParam read{};
    ASSERT_EQ(readAmplifierParamVondra2(sensor, &read, &status), 1);
    EXPECT_EQ(read.ChGain[0], 2);
    EXPECT_EQ(read.Current, 4);
    for (uint8_t current : {2, 3, 5}) {
        Vondra2AmplifierParam wrong = setting;
        wrong.Current = current;
        expectFailure(writeAmplifierParamVondra2(sensor, wrong, &status), 517,
                      "The specified Current value is not supported");
    }
    const Vondra2AmplifierParam gainOnly{{1, 1, 1, 1}, {1, 1, 1, 1}, {4, 4, 4, 4}, 1};
    ASSERT_EQ(writeAmplifierParamVondra2(sensor, gainOnly, &status), 1) << status.ErrorMsg;

    BatchCalls<MorvexSignalRecord> signal;
    BatchCalls<FourChannelResistRecord> resist;
    CallbackHandle* signalHandle = nullptr;
    CallbackHandle* resistHandle = nullptr;
    ASSERT_EQ(
        addSignalDataCallbackVondra2(sensor, BatchCalls<MorvexSignalRecord>::receive, &signalHandle, &signal, &status),
        1);
    ASSERT_EQ(
        addResistCallbackVondra2(sensor, BatchCalls<FourChannelResistRecord>::receive, &resistHandle, &resist, &status),
        1);
    ASSERT_EQ(execCommandSensor(sensor, SensorCommandStartSignalAndResist, &status), 1) << status.ErrorMsg;
    ASSERT_TRUE(waitFor([&] { return signal.records().size() >= 10 && resist.records().size() >= 2; }));
    ASSERT_EQ(execCommandSensor(sensor, SensorCommandStopSignal, &status), 1) << status.ErrorMsg;
    EXPECT_EQ(peer->mode(), 2) << "the stop commands put the device to Idle";

    const double reference = static_cast<double>(2.4f);
    for (const MorvexSignalRecord& r : signal.records()) {
        EXPECT_DOUBLE_EQ(r.O1, volts(CommandStreamPeerModel::signalCount(0, r.PackNum), reference));
        EXPECT_DOUBLE_EQ(r.O2, volts(CommandStreamPeerModel::signalCount(1, r.PackNum), reference));
        EXPECT_DOUBLE_EQ(r.T3, volts(CommandStreamPeerModel::signalCount(2, r.PackNum), reference));
        EXPECT_DOUBLE_EQ(r.T4, volts(CommandStreamPeerModel::signalCount(3, r.PackNum), reference));
    }
    for (const FourChannelResistRecord& r : resist.records()) {
        EXPECT_EQ(r.O1, 50000);
        EXPECT_EQ(r.O2, kInfinity);
        EXPECT_EQ(r.T3, 150000);
        EXPECT_EQ(r.T4, kInfinity);
    }
    removeSignalDataCallbackVondra2(signalHandle);
    removeResistCallbackVondra2(resistHandle);
}

TEST_P(VondraHost, SecondGenerationEarlyModelsOnTheWrenletProtocol) {
    attach(VexaSim::wrenletSettings(VexaSim::WrenletPeerGeneration::Second, 'I'));
    createFor(SensorFamilyVondra2, kAddressText, 2);
    uint8_t byte = 0;
    ASSERT_EQ(readSamplingFrequencyMEMSSensor(sensor, &byte, &status), 1) << status.ErrorMsg;
    EXPECT_EQ(byte, 4);
    ASSERT_EQ(writeGyroscopeSensSensor(sensor, 3, &status), 1) << status.ErrorMsg;
    ASSERT_EQ(readGyroscopeSensSensor(sensor, &byte, &status), 1);
    EXPECT_EQ(byte, 3);

    BatchCalls<MEMSRecord> motion;
    BatchCalls<FPGRecord> fpg;
    DualCallbackHandle* motionHandle = nullptr;
    CallbackHandle* fpgHandle = nullptr;
    ASSERT_EQ(addMEMSDataCallback(sensor, BatchCalls<MEMSRecord>::receive, &motionHandle, &motion, &status), 1)
        << status.ErrorMsg;
    ASSERT_EQ(addFPGDataCallback(sensor, BatchCalls<FPGRecord>::receive, &fpgHandle, &fpg, &status), 1);
    ASSERT_EQ(execCommandSensor(sensor, SensorCommandStartMEMS, &status), 1) << status.ErrorMsg;
    ASSERT_EQ(execCommandSensor(sensor, SensorCommandStartFPG, &status), 1) << status.ErrorMsg;
    EXPECT_TRUE(waitFor([&] { return motion.records().size() >= 4 && fpg.records().size() >= 4; }))
        << "motion and photoplethysmogram reach the host";
    ASSERT_EQ(execCommandSensor(sensor, SensorCommandStopMEMS, &status), 1);
    ASSERT_EQ(execCommandSensor(sensor, SensorCommandStopFPG, &status), 1);
    removeMEMSDataCallback(motionHandle);
    removeFPGDataCallback(fpgHandle);

    BatchCalls<FourChannelResistRecord> resist;
    CallbackHandle* resistHandle = nullptr;
    ASSERT_EQ(
        addResistCallbackVondra2(sensor, BatchCalls<FourChannelResistRecord>::receive, &resistHandle, &resist, &status),
        1);
    ASSERT_EQ(execCommandSensor(sensor, SensorCommandStartResist, &status), 1) << status.ErrorMsg;
    ASSERT_TRUE(waitFor([&] { return resist.records().size() >= 2; }));
    ASSERT_EQ(execCommandSensor(sensor, SensorCommandStopResist, &status), 1);
    EXPECT_EQ(resist.records().back().T4, kInfinity) << "5 MOhm is out of range";
    removeResistCallbackVondra2(resistHandle);

    const Vondra2AmplifierParam setting{{1, 0, 1, 1}, {1, 1, 0, 1}, {6, 4, 2, 0}, 4};
    ASSERT_EQ(writeAmplifierParamVondra2(sensor, setting, &status), 1) << status.ErrorMsg;
    EXPECT_EQ(peer->amplifierFrame(), (Bytes{0x0A, 1, 5, 0, 3, 1, 6, 1, 0, 4, 1, 1, 0, 1}));
    Vondra2AmplifierParam read{};
    ASSERT_EQ(readAmplifierParamVondra2(sensor, &read, &status), 1);
    EXPECT_EQ(read.ChMode[1], 0);
    EXPECT_EQ(read.ChGain[0], 6);
    EXPECT_EQ(read.Current, 4);
}

TEST_P(VondraHost, AModeCommandSucceedsOnlyWhenTheDeviceShowsIt) {
    attachVondra(VondraPeerGeneration::First);
    createFor(SensorFamilyVondra, kAddressText);
    expectModeCommandsOnlyWhenTheDeviceShowsThem(*peer);
}

// A frame repeated gets its own answer, not the status the device announces as it arrives: a
// refusal surfaces and its setting is not kept, the next write is not given the stale refusal,
// an unchanged answer still ends the exchange, and each mode frame goes out once.
TEST_P(VondraHost, ARepeatedCommandGetsItsOwnAnswer) {
    attachVondra(VondraPeerGeneration::Second);
    createFor(SensorFamilyVondra2, kAddressText, 3);

    const Vondra2AmplifierParam first{{1, 1, 1, 1}, {1, 1, 1, 1}, {5, 5, 5, 5}, 1};
    const Vondra2AmplifierParam second{{1, 1, 1, 1}, {1, 1, 1, 1}, {6, 6, 6, 6}, 4};
    ASSERT_EQ(writeAmplifierParamVondra2(sensor, first, &status), 1) << status.ErrorMsg;

    // Refused: the status before the write reported the accepted first setting.
    peer->setRefusal(CommandStreamPeerModel::WrongParameter, 0x08);
    expectFailure(writeAmplifierParamVondra2(sensor, second, &status), 1, "Device error: [KSP_ERROR_CMD_PARAM]");
    Vondra2AmplifierParam read{};
    ASSERT_EQ(readAmplifierParamVondra2(sensor, &read, &status), 1);
    EXPECT_EQ(read.ChGain[0], 5) << "a refused setting is not kept";
    EXPECT_EQ(read.Current, 1);

    // Taken: the status before the write reported the refusal.
    peer->setRefusal(0);
    ASSERT_EQ(writeAmplifierParamVondra2(sensor, second, &status), 1) << status.ErrorMsg;
    EXPECT_EQ(peer->amplifierFrame(), (Bytes{0x08, 1, 5, 1, 5, 1, 5, 1, 5, 2, 1, 1, 1, 1}));
    ASSERT_EQ(readAmplifierParamVondra2(sensor, &read, &status), 1);
    EXPECT_EQ(read.ChGain[3], 6);
    EXPECT_EQ(read.Current, 4);

    // The same setting again, answered with the same status as before.
    ASSERT_EQ(writeAmplifierParamVondra2(sensor, second, &status), 1) << status.ErrorMsg;
    ASSERT_EQ(writeAmplifierParamVondra2(sensor, second, &status), 1) << status.ErrorMsg;

    // Each mode command goes out once.
    const size_t framesBefore = peer->commandFrames().size();
    ASSERT_EQ(execCommandSensor(sensor, SensorCommandStartSignal, &status), 1) << status.ErrorMsg;
    ASSERT_EQ(execCommandSensor(sensor, SensorCommandStopSignal, &status), 1) << status.ErrorMsg;
    ASSERT_EQ(execCommandSensor(sensor, SensorCommandStartSignal, &status), 1) << status.ErrorMsg;
    const auto frames = peer->commandFrames();
    EXPECT_EQ(std::vector<Bytes>(frames.begin() + static_cast<std::ptrdiff_t>(framesBefore), frames.end()),
              (std::vector<Bytes>{{0x03}, {0x02}, {0x03}}));
    EXPECT_EQ(peer->mode(), 3);
}
