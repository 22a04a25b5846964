// PhotoStim sensors (family 21) through the exported functions: creation, reads, the start
// deferral, programs, the stimulation commands and their callbacks, and the counts.

#include <gtest/gtest.h>

#include <cmath>

#include "sim/peers/photostim/PhotoStimPeer.hpp"
#include "tests/e2e/host/HostFixture.hpp"

using namespace HostTest;

namespace {

constexpr uint64_t kAddress = 0xC0FFEE000041;
constexpr const char* kAddressText = "C0:FF:EE:00:00:41";
constexpr int32_t kStartPhotoStimulation = 27;
constexpr int32_t kStopPhotoStimulation = 28;
constexpr int32_t kSynchronise = 36;
constexpr int32_t kReset = 37;

struct PhotoStimHost : SensorHost {
    std::shared_ptr<VexaSim::PhotoStimPeer> peer = VexaSim::PhotoStimPeer::attach(*radio, kAddress);

    void SetUp() override {
        SensorHost::SetUp();
        VexaDevice::Api::SensorTiming timing = VexaDevice::Api::sensorTiming();
        timing.protocol.stimulator.workerWait = 2ms;
        timing.protocol.stimulator.pollStep = 1ms;
        VexaDevice::Api::setSensorTiming(timing);
        createFor(SensorFamilyPhotoStim, kAddressText);
    }
};

// The start flows against a stimulator that starts at once and one that reports Running only
// at the start's tick.
struct PhotoStimHostStart : PhotoStimHost, ::testing::WithParamInterface<bool> {
    void SetUp() override {
        PhotoStimHost::SetUp();
        peer->setRunningAtStartTick(GetParam());
    }
};

}  // namespace

TEST_F(PhotoStimHost, ListsTheSynchronisationAndResetItRuns) {
    EXPECT_EQ(listedCommands(sensor), (std::set<int32_t>{27, 28, 36, 37}));
    EXPECT_EQ(getCommandsCountSensor(sensor), 4);
    EXPECT_EQ(isSupportedCommandSensor(sensor, 37), 1);
    expectUnlistedCommandsRefused(sensor);
    ASSERT_EQ(execCommandSensor(sensor, kReset, &status), 1) << status.ErrorMsg;
}

INSTANTIATE_TEST_SUITE_P(Running, PhotoStimHostStart, ::testing::Values(false, true),
                         [](const auto& info) { return info.param ? "AtTheStartTick" : "AtOnce"; });

TEST_F(PhotoStimHost, ReadsCapabilitiesAndTheStartDeferral) {
    EXPECT_EQ(getFamilySensor(sensor), SensorFamilyPhotoStim);
    char serial[32] = {};
    ASSERT_EQ(readSerialNumberSensor(sensor, serial, sizeof(serial), &status), 1) << status.ErrorMsg;
    EXPECT_STREQ(serial, "PS-000021");
    int32_t level = 0;
    ASSERT_EQ(readBattPowerSensor(sensor, &level, &status), 1);
    EXPECT_EQ(level, 85);
    int32_t voltage = 0;
    ASSERT_EQ(readBattVoltageSensor(sensor, &voltage, &status), 1);
    EXPECT_EQ(voltage, 3900);
    SensorVersion version{};
    ASSERT_EQ(readVersionSensor(sensor, &version, &status), 1);
    EXPECT_EQ(version.FwMajor, 2u);
    EXPECT_EQ(version.FwMinor, 1u);
    uint8_t mode = 0;
    ASSERT_EQ(readStimMode(sensor, &mode, &status), 1);
    EXPECT_EQ(mode, 1);
    uint8_t gain = 0;
    EXPECT_EQ(readGainSensor(sensor, &gain, &status), 0);
    EXPECT_EQ(status.Error, 121u);

    int8_t commands[8] = {};
    int32_t count = 8;
    ASSERT_EQ(getCommandsSensor(sensor, commands, &count, &status), 1);
    EXPECT_EQ(std::vector<int8_t>(commands, commands + count), (std::vector<int8_t>{27, 28, 36, 37}));
    EXPECT_EQ(getMaxStimulPhasesCountSensor(sensor), 16);

    double seconds = 0;
    ASSERT_EQ(writePhotoStimTimeDefer(sensor, 2.5, &status), 1) << status.ErrorMsg;
    ASSERT_EQ(readPhotoStimTimeDefer(sensor, &seconds, &status), 1);
    EXPECT_EQ(seconds, 2.5);
    EXPECT_EQ(writePhotoStimTimeDefer(sensor, 10.5, &status), 0);
    EXPECT_EQ(status.Error, 517u);
    EXPECT_STREQ(status.ErrorMsg, "The maximum time must not exceed 10 seconds or be negative");
    EXPECT_EQ(writePhotoStimTimeDefer(sensor, std::nan(""), &status), 0);
    EXPECT_EQ(status.Error, 517u);
}

TEST_F(PhotoStimHost, ProgramsAreWrittenQuantisedAndRefusedWithTheirParameter) {
    const StimulProgram programs[] = {{50, 100, 0.005, 2, 0, 0}, {0.5, 10, 0.005, 2, 0, 0}};
    EXPECT_EQ(writeStimPrograms(sensor, programs, 2, &status), 0);
    EXPECT_EQ(status.Error, 517u);
    EXPECT_STREQ(status.ErrorMsg, "Incorrect Frequency parameter value");
    ASSERT_EQ(writeStimPrograms(sensor, programs, 1, &status), 1) << status.ErrorMsg;

    const std::vector<uint8_t> packet = peer->programPacket();
    EXPECT_EQ(std::vector<uint8_t>(packet.begin(), packet.begin() + 9),
              (std::vector<uint8_t>{255, 0, 100, 0, 0x38, 0x01, 0xA9, 0x03, 0}));
    StimulProgram read[16] = {};
    int32_t count = 16;
    ASSERT_EQ(readStimPrograms(sensor, read, &count, &status), 1) << status.ErrorMsg;
    ASSERT_EQ(count, 1);
    EXPECT_DOUBLE_EQ(read[0].Frequency, 62500.0 / 1249);
    EXPECT_DOUBLE_EQ(read[0].Power, 100);
    EXPECT_DOUBLE_EQ(read[0].PulseDuration, 0.004992);
    EXPECT_DOUBLE_EQ(read[0].StimulDuration, 1.9984);
}

TEST_P(PhotoStimHostStart, SynchronisingAndRunningAProgramReachTheCallbacks) {
    ByteValueCalls states;
    ByteValueCalls syncs;
    IntValueCalls voltages;
    CallbackHandle* stateHandle = nullptr;
    CallbackHandle* syncHandle = nullptr;
    CallbackHandle* voltageHandle = nullptr;
    ASSERT_EQ(addStimModeCallback(sensor, ByteValueCalls::receive, &stateHandle, &states, &status), 1)
        << status.ErrorMsg;
    ASSERT_EQ(addPhotoStimSyncStateCallback(sensor, ByteValueCalls::receive, &syncHandle, &syncs, &status), 1);
    ASSERT_EQ(addBatteryVoltageCallback(sensor, IntValueCalls::receive, &voltageHandle, &voltages, &status), 1);

    EXPECT_EQ(execCommandSensor(sensor, kStartPhotoStimulation, &status), 0);
    EXPECT_EQ(status.Error, 513u);
    EXPECT_STREQ(status.ErrorMsg, "Synchronization is required");

    ASSERT_EQ(execCommandSensor(sensor, kSynchronise, &status), 1) << status.ErrorMsg;
    EXPECT_TRUE(lastIs<uint8_t>(states, 3));
    EXPECT_TRUE(lastIs<uint8_t>(syncs, 1));
    uint8_t sync = 0;
    ASSERT_EQ(readPhotoStimSyncState(sensor, &sync, &status), 1);
    EXPECT_EQ(sync, 1);

    // Two seconds ahead: the start is done on the written frame, long before the tick.
    ASSERT_EQ(writePhotoStimTimeDefer(sensor, 2, &status), 1) << status.ErrorMsg;
    const uint32_t before = peer->now();
    ASSERT_EQ(execCommandSensor(sensor, kStartPhotoStimulation, &status), 1) << status.ErrorMsg;
    EXPECT_TRUE(lastIs<uint8_t>(states, 4));
    uint8_t mode = 0;
    ASSERT_EQ(readStimMode(sensor, &mode, &status), 1);
    EXPECT_EQ(mode, 4) << "marked running";
    EXPECT_EQ(peer->state() == VexaSim::PtsServicePeer::Running, !GetParam());
    EXPECT_EQ(peer->startPending(), GetParam());
    EXPECT_GE(peer->startTick() - before, 2u * 62500);
    ASSERT_EQ(execCommandSensor(sensor, kStopPhotoStimulation, &status), 1) << status.ErrorMsg;
    EXPECT_TRUE(lastIs<uint8_t>(states, 3));
    ASSERT_EQ(execCommandSensor(sensor, kReset, &status), 1) << status.ErrorMsg;
    EXPECT_TRUE(lastIs<uint8_t>(states, 1));
    EXPECT_TRUE(lastIs<uint8_t>(syncs, 0));

    peer->setBatteryVoltage(3500);
    EXPECT_TRUE(lastIs<int32_t>(voltages, 3500));
    for (const auto thread : states.threads()) EXPECT_NE(thread, std::this_thread::get_id());

    removeStimModeCallback(stateHandle);
    removePhotoStimSyncStateCallback(syncHandle);
    removeBatteryVoltageCallback(voltageHandle);
}

TEST_F(PhotoStimHost, StopAndResetFailOnADroppedLink) {
    ASSERT_EQ(execCommandSensor(sensor, kSynchronise, &status), 1) << status.ErrorMsg;
    peer->dropLink();
    uint8_t state = SensorStateInRange;
    ASSERT_TRUE(
        waitFor([&] { return readStateSensor(sensor, &state, &status) == 1 && state == SensorStateOutOfRange; }));
    for (const int32_t command : {kStopPhotoStimulation, kReset}) {
        EXPECT_EQ(execCommandSensor(sensor, command, &status), 0) << command << ": the link is down";
        EXPECT_EQ(status.Error, 513u);
        EXPECT_STREQ(status.ErrorMsg, "Device error: [ERR_DATA_SEND]");
    }
}
