// The PhotoStim device class against the emulated PhotoStim: creation and its refusals, the
// reads, the start deferral, the stimulation commands with their frames and events, and the
// link's loss and return.

#include <gtest/gtest.h>

#include <cmath>
#include <future>
#include <limits>

#include "sdk/core/RtException.hpp"
#include "sim/peers/common/BatteryServicePeer.hpp"
#include "sim/peers/common/DeviceInformationPeer.hpp"
#include "tests/devices/photostim/PtsRig.hpp"

using namespace VexaDevice::PhotoStim;
using namespace PhotoStimTest;
using KestraneTest::Frames;
using KestraneTest::Recorder;
using VexaDevice::OperationResult;
using VexaDevice::Sensor::SensorCommand;
using Peer = VexaSim::PtsServicePeer;

namespace {

const OperationResult NotReached = OperationResult::failed(513, "Failed changed stim status");

std::string creationFailure(PhotoStimRig& rig) {
    try {
        rig.make();
    } catch (const std::runtime_error& e) {
        return e.what();
    }
    return "created";
}

uint32_t tickOf(const std::vector<uint8_t>& frame) {
    return static_cast<uint32_t>(frame.at(1)) | (static_cast<uint32_t>(frame.at(2)) << 8) |
           (static_cast<uint32_t>(frame.at(3)) << 16) | (static_cast<uint32_t>(frame.at(4)) << 24);
}

DevStimulStatus stateOf(PhotoStimBLE& device) {
    DevStimulStatus state{};
    device.readStimState(state);
    return state;
}

}  // namespace

TEST(PhotoStimDeviceCreation, AnUnknownOrIncompleteDeviceIsRefusedWithTheCause) {
    VexaSim::PhotoStimPeerSettings otherFamily;
    otherFamily.information.modelNumber = "100.1";
    PhotoStimRig family(otherFamily);
    EXPECT_EQ(creationFailure(family),
              "Cannot create PhotoStimBLE BLE Device: Device unsupported. Failed recognized the device Family");

    VexaSim::PhotoStimPeerSettings noVersion;
    noVersion.information.firmwareRevision = "0.1.0";
    PhotoStimRig version(noVersion);
    EXPECT_EQ(creationFailure(version),
              "Cannot create PhotoStimBLE BLE Device: Device unsupported. Failed recognized the device version");

    // A stimulator without a Battery service, and a device without the stimulator service.
    PhotoStimRig noBattery;
    noBattery.radio->removePeripheral(PhotoStimRig::Address);
    auto bare = noBattery.radio->addPeripheral(PhotoStimRig::Address, "PhotoStim");
    const auto pts = Peer::add(bare);
    VexaSim::addDeviceInformation(*bare, VexaSim::PhotoStimPeerSettings{}.information);
    EXPECT_EQ(creationFailure(noBattery), "Cannot create PhotoStimBLE BLE Device: Battery Channel cannot be null.");

    PhotoStimRig noService;
    noService.radio->removePeripheral(PhotoStimRig::Address);
    auto plain = noService.radio->addPeripheral(PhotoStimRig::Address, "PhotoStim");
    VexaSim::addDeviceInformation(*plain, VexaSim::PhotoStimPeerSettings{}.information);
    VexaSim::addBatteryService(*plain, 50);
    EXPECT_EQ(creationFailure(noService), "Cannot create PhotoStimBLE BLE Device: PTS Status Channel cannot be null.");
}

TEST(PhotoStimDeviceReads, IdentityBatteryAndCapabilities) {
    VexaSim::PhotoStimPeerSettings settings;
    settings.stimulator.batteryVoltage = 3712;
    PhotoStimRig rig(settings);
    auto device = rig.make();

    std::string serial;
    ASSERT_TRUE(device->readSerialNumber(serial));
    EXPECT_EQ(serial, "PS-000021");
    uint8_t mode = 0;
    ASSERT_TRUE(device->readFirmwareMode(mode));
    EXPECT_EQ(mode, 1);
    VexaDevice::DeviceVersion version;
    ASSERT_TRUE(device->readFirmwareVersion(version));
    EXPECT_EQ(version.modelMajor, 'g');
    EXPECT_EQ(version.firmwareMajor, 2u);
    EXPECT_EQ(version.firmwareMinor, 1u);
    int32_t level = 0;
    ASSERT_TRUE(device->readBattPower(level));
    EXPECT_EQ(level, 85);
    int32_t voltage = 0;
    ASSERT_TRUE(device->readBattVoltage(voltage));
    EXPECT_EQ(voltage, 3712);
    EXPECT_EQ(stateOf(*device), DevStimulStatus::Idle);
    EXPECT_EQ(device->maxProgramCount(), 16);

    EXPECT_EQ(device->getFeatures(), (VexaDevice::Sensor::FeatureSet{7}));
    EXPECT_EQ(device->getCommands(), (VexaDevice::Sensor::CommandSet{27, 28, 36, 37}))
        << "synchronisation and reset run too";
    EXPECT_EQ(device->getParameters(), (VexaDevice::Sensor::ParameterMap{{0, 0},
                                                                         {1, 2},
                                                                         {2, 0},
                                                                         {3, 0},
                                                                         {5, 0},
                                                                         {14, 1},
                                                                         {16, 0},
                                                                         {20, 2},
                                                                         {21, 0},
                                                                         {22, 0},
                                                                         {42, 2},
                                                                         {43, 1},
                                                                         {44, 2}}));
    EXPECT_TRUE(device->isSupportedCommand(SensorCommand::StartPhotoStimulation));
    EXPECT_FALSE(device->isSupportedCommand(SensorCommand::StartSignal));
    EXPECT_EQ(device->execCommand(SensorCommand::StartSignal), OperationResult::failed(0, ""));
}

TEST(PhotoStimDeviceReads, BatteryAndStimulatorChangesArePublishedOnTheWorker) {
    PhotoStimRig rig;
    auto device = rig.make();
    Recorder<int> levels(device->batteryEvent());
    Recorder<int> voltages(device->batteryVoltageEvent());
    Recorder<DevStimulStatus> states(device->stimStatusEvent());
    Recorder<DevStimulSyncStatus> syncs(device->syncStatusEvent());

    rig.peer->setBatteryLevel(150);
    rig.peer->setBatteryVoltage(3600);
    // The level read at the start counts as news to the first pass; the voltage does not.
    ASSERT_TRUE(TestSupport::waitFor([&] {
        const auto published = levels.events();
        return !published.empty() && published.back() == 100;
    }));
    ASSERT_TRUE(voltages.atLeast(1));
    EXPECT_EQ(voltages.events(), std::vector<int>{3600});

    ASSERT_TRUE(device->execCommand(SynchroniseCommand));
    // Each pass publishes what changed since the last one, on the worker thread.
    ASSERT_TRUE(TestSupport::waitFor([&] {
        const auto published = states.events();
        return !published.empty() && published.back() == DevStimulStatus::Synchronised && syncs.count() == 1;
    }));
    EXPECT_EQ(syncs.events(), std::vector<DevStimulSyncStatus>{DevStimulSyncStatus::Synchronised});
}

TEST(PhotoStimDeviceDefer, TheStartDeferralTakesZeroToTenSeconds) {
    PhotoStimRig rig;
    auto device = rig.make();
    double seconds = 0;
    ASSERT_TRUE(device->readTimeDefer(seconds));
    EXPECT_EQ(seconds, 1.0);
    ASSERT_TRUE(device->writeTimeDefer(10));
    EXPECT_EQ(device->timeDeferTicks(), 625000);
    ASSERT_TRUE(device->writeTimeDefer(0.0000161));
    EXPECT_EQ(device->timeDeferTicks(), 1);

    const OperationResult refused =
        OperationResult::failed(517, "The maximum time must not exceed 10 seconds or be negative");
    for (double wrong : {10.5, -0.1, std::numeric_limits<double>::quiet_NaN(), std::numeric_limits<double>::infinity()})
        EXPECT_EQ(device->writeTimeDefer(wrong), refused) << wrong;
    ASSERT_TRUE(device->readTimeDefer(seconds));
    EXPECT_EQ(seconds, 1 / 62500.0);
}

TEST(PhotoStimDeviceCommands, SynchroniseStartStopAndReset) {
    PhotoStimRig rig;
    auto device = rig.make();
    Recorder<DevStimulStatus> states(device->stimStatusEvent());
    ASSERT_TRUE(device->execCommand(SynchroniseCommand));
    EXPECT_EQ(stateOf(*device), DevStimulStatus::Synchronised);

    // The start counts from the stimulator's time when the command runs, not from the time of
    // the last status (the one that reported the synchronisation).
    const uint32_t reported = device->stimulatorTime(false);
    ASSERT_TRUE(TestSupport::waitFor([&] { return rig.peer->now() - reported > 2000; }));
    const uint32_t before = rig.peer->now();
    ASSERT_TRUE(device->execCommand(SensorCommand::StartPhotoStimulation));
    const uint32_t after = rig.peer->now();
    const uint32_t start = tickOf(rig.peer->commandFrames().back());
    EXPECT_GE(start, before + 62500);
    EXPECT_LE(start, after + 62500);
    EXPECT_EQ(stateOf(*device), DevStimulStatus::Running);

    ASSERT_TRUE(device->execCommand(SensorCommand::StopPhotoStimulation));
    EXPECT_EQ(stateOf(*device), DevStimulStatus::Synchronised);

    // A Dravik device that drives the stimulator gives the start tick itself.
    device->setUseAbsoluteStart(true);
    device->setAbsoluteStartTick(0x00BC614E);
    ASSERT_TRUE(device->execCommand(SensorCommand::StartPhotoStimulation));
    EXPECT_EQ(rig.peer->commandFrames().back(), (std::vector<uint8_t>{4, 0x4E, 0x61, 0xBC, 0x00}));

    ASSERT_TRUE(device->execCommand(ResetCommand));
    EXPECT_EQ(stateOf(*device), DevStimulStatus::Idle);
    const Frames frames = rig.peer->commandFrames();
    ASSERT_EQ(frames.size(), 6u);
    EXPECT_EQ(frames[0], std::vector<uint8_t>{2});
    EXPECT_EQ(frames[1], std::vector<uint8_t>{3});
    EXPECT_EQ(frames[3], std::vector<uint8_t>{5});
    EXPECT_EQ(frames[5], std::vector<uint8_t>{1});
    // The worker publishes the state each pass finds changed: at the end, idle.
    EXPECT_TRUE(TestSupport::waitFor([&] {
        const auto published = states.events();
        return !published.empty() && published.back() == DevStimulStatus::Idle;
    }));
}

TEST(PhotoStimDeviceCommands, SynchronisingFailsWhenThePreparationIsNotReported) {
    PhotoStimRig rig;
    auto device = rig.make(stimulatorProtocol(shortWaits()));
    rig.peer->setIgnoring(true);
    EXPECT_EQ(device->execCommand(SynchroniseCommand), NotReached);
    EXPECT_EQ(rig.peer->commandFrames(), (Frames{{2}}));
    EXPECT_EQ(device->execCommand(SensorCommand::StartPhotoStimulation),
              OperationResult::failed(513, "Synchronization is required"));
}

// The stimulator reports Running only at the start's tick, the start deferral ahead: the start
// is done once its frame is written, and only a frame that is not written fails it.
TEST(PhotoStimDeviceCommands, AStartIsDoneOnItsWrittenFrame) {
    PhotoStimRig rig;
    rig.peer->setRunningAtStartTick(true);
    auto device = rig.make(stimulatorProtocol(shortWaits()));
    ASSERT_TRUE(device->execCommand(SynchroniseCommand));
    rig.peer->commandCharacteristic()->failNextWrites(1);
    EXPECT_EQ(device->execCommand(SensorCommand::StartPhotoStimulation), NotReached);
    EXPECT_EQ(stateOf(*device), DevStimulStatus::Synchronised);

    ASSERT_TRUE(device->writeTimeDefer(0.05));
    ASSERT_TRUE(device->execCommand(SensorCommand::StartPhotoStimulation));
    EXPECT_EQ(rig.peer->commandFrames().back().at(0), 4);
    EXPECT_EQ(stateOf(*device), DevStimulStatus::Running) << "marked at once";
    ASSERT_TRUE(TestSupport::waitFor([&] { return rig.peer->state() == Peer::Running; })) << "at the tick";
    EXPECT_EQ(stateOf(*device), DevStimulStatus::Running);
}

TEST(PhotoStimDeviceLink, ALostLinkEndsAWaitAndTheNextConnectionReadsTheDeviceAgain) {
    PhotoStimRig rig;
    auto device = rig.make();
    rig.peer->setIgnoring(true);
    auto waiting = std::async(std::launch::async, [&] { return device->execCommand(SynchroniseCommand); });
    ASSERT_TRUE(TestSupport::waitFor([&] { return rig.peer->commandFrames().size() == 1; }));
    rig.peer->dropLink();
    EXPECT_EQ(waiting.get(), NotReached);  // well before the 10 s wait

    rig.peer->setIgnoring(false);
    rig.peer->setBatteryLevel(40);
    ASSERT_TRUE(device->connect());
    ASSERT_TRUE(device->execCommand(SynchroniseCommand));
    int32_t level = 0;
    device->readBattPower(level);
    EXPECT_EQ(level, 40);
}

TEST(PhotoStimDeviceLink, EveryCommandFailsOnALinkThatIsDown) {
    PhotoStimRig rig;
    auto device = rig.make();
    ASSERT_EQ(stateOf(*device), DevStimulStatus::Idle);
    rig.peer->dropLink();
    int32_t linkState = 0;
    ASSERT_TRUE(TestSupport::waitFor([&] { return device->readState(linkState) && linkState == 1; }));

    // Idle when last seen, which proves nothing now: neither the stop nor the reset is done.
    const OperationResult down = OperationResult::failed(513, "Device error: [ERR_DATA_SEND]");
    EXPECT_EQ(device->execCommand(SensorCommand::StopPhotoStimulation), down);
    EXPECT_EQ(device->execCommand(ResetCommand), down);
    EXPECT_EQ(device->execCommand(SynchroniseCommand), down);
    EXPECT_EQ(device->execCommand(SensorCommand::StartPhotoStimulation), down);
    EXPECT_TRUE(rig.peer->commandFrames().empty());
}

TEST(PhotoStimDeviceReads, AStateOfUnknownMeaningIsPublishedToNobody) {
    PhotoStimRig rig;
    auto device = rig.make();
    Recorder<DevStimulStatus> states(device->stimStatusEvent());
    Recorder<int> levels(device->batteryEvent());
    ASSERT_TRUE(device->execCommand(SynchroniseCommand));

    // A status without a whole pack, then one of a state code the library does not know: each
    // leaves the state unknown, and a worker pass after it publishes nothing of it.
    std::vector<uint8_t> unknownCode(20, 0);
    unknownCode[0] = 7;
    int level = 60;
    for (const auto& status : {std::vector<uint8_t>(19, 2), unknownCode}) {
        rig.peer->sendStatus(status);
        ASSERT_TRUE(TestSupport::waitFor([&] { return stateOf(*device) == DevStimulStatus::Unknown; }));
        rig.peer->setBatteryLevel(static_cast<uint8_t>(++level));
        ASSERT_TRUE(TestSupport::waitFor([&] {
            const auto published = levels.events();
            return !published.empty() && published.back() == level;
        }));
    }
    ASSERT_TRUE(device->execCommand(ResetCommand));
    ASSERT_TRUE(TestSupport::waitFor([&] {
        const auto published = states.events();
        return !published.empty() && published.back() == DevStimulStatus::Idle;
    }));
    for (const DevStimulStatus state : states.events()) EXPECT_NE(state, DevStimulStatus::Unknown);
}

TEST(PhotoStimDeviceLink, DisconnectingAndReleasingResetTheStimulator) {
    PhotoStimRig rig;
    auto device = rig.make();
    ASSERT_TRUE(device->execCommand(SynchroniseCommand));
    ASSERT_TRUE(device->disconnect());
    EXPECT_EQ(rig.peer->commandFrames(), (Frames{{2}, {3}, {1}}));
    EXPECT_FALSE(rig.peer->peripheral()->isConnected());

    ASSERT_TRUE(device->connect());
    ASSERT_TRUE(device->execCommand(SynchroniseCommand));
    device.reset();
    EXPECT_EQ(rig.peer->commandFrames().back(), std::vector<uint8_t>{1});
    EXPECT_EQ(rig.peer->state(), Peer::Idle);
    EXPECT_FALSE(rig.peer->peripheral()->isConnected());
}
