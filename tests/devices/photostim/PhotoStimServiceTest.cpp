// The photo-stimulation service against the emulated stimulator: construction, every state
// transition with its frames and publications, the waits for the state a command leads to,
// program lists, status packs and notifications, suspension.

#include <gtest/gtest.h>

#include <future>
#include <thread>

#include "sdk/core/RtException.hpp"
#include "tests/devices/photostim/PtsRig.hpp"

using namespace std::chrono_literals;
using namespace VexaDevice::PhotoStim;
using namespace PhotoStimTest;
using KestraneTest::Frames;
using KestraneTest::Recorder;
using VexaDevice::OperationResult;
using VexaSim::PtsServicePeer;
using Peer = VexaSim::PtsServicePeer;
namespace Property = VexaDevice::BLE::Platform::CharacteristicProperty;

namespace {

const OperationResult NotReached = OperationResult::failed(513, "Failed changed stim status");

DevStimulStatus stateOf(const PhotoStimBLEService& service) {
    DevStimulStatus state{};
    service.stimState(state);
    return state;
}

DevStimulSyncStatus syncOf(const PhotoStimBLEService& service) {
    DevStimulSyncStatus sync{};
    service.syncState(sync);
    return sync;
}

std::string creationFailure(PtsRig& rig, bool required = true) {
    try {
        rig.service(answeredWaits(), required);
    } catch (const VexaDevice::Utility::rt_exception& e) {
        return e.what();
    }
    return "created";
}

std::vector<uint8_t> pack(uint8_t state, uint8_t sync, uint16_t voltage, uint32_t time) {
    std::vector<uint8_t> bytes(20, 0);
    bytes[0] = state;
    bytes[1] = sync;
    bytes[2] = static_cast<uint8_t>(voltage);
    bytes[3] = static_cast<uint8_t>(voltage >> 8);
    for (int i = 0; i < 4; ++i) bytes[4 + i] = static_cast<uint8_t>(time >> (8 * i));
    return bytes;
}

// Whether the library side has the status notification on.
bool statusNotifying(PtsRig& rig) { return rig.device->getChannelMap()[PtsServiceUuid][PtsStatusUuid]->isNotifying(); }

const std::vector<StimProgram> TwoPrograms{{50, 100, 0.005, 2, 0, 0}, {10, 20, 0.01, 3, 4, 0}};

}  // namespace

TEST(PhotoStimServiceCreation, MissingOrIncapableCharacteristicsOfARequiredServiceFailWithTheirTexts) {
    PtsRig none(false);
    EXPECT_EQ(creationFailure(none), "PTS Status Channel cannot be null.");

    struct Layout {
        uint32_t status, config, command;
        const char* failure;
    };
    const uint32_t RW = Property::Read | Property::Write;
    const uint32_t RN = Property::Read | Property::Notify;
    const Layout layouts[] = {
        {RN, 0, Property::Write, "PTS Config Channel cannot be null."},
        {RN, RW, 0, "PTS Command Channel cannot be null."},
        {Property::Notify, RW, Property::Write, "PTS Status characteristic must have both read and notify properties"},
        {RN, Property::Read, Property::Write, "PTS Config characteristic must have both read and write properties"},
        {RN, RW, Property::Read, "PTS Command characteristic must have write property"},
    };
    for (const Layout& layout : layouts) {
        PtsRig rig(false);
        auto service = rig.peripheral->addService(PtsServiceUuid);
        service->addCharacteristic(PtsStatusUuid, layout.status);
        if (layout.config != 0) service->addCharacteristic(PtsConfigUuid, layout.config);
        if (layout.command != 0) service->addCharacteristic(PtsCommandUuid, layout.command);
        EXPECT_EQ(creationFailure(rig), layout.failure);
    }
}

TEST(PhotoStimServiceCreation, AnOptionalServiceThatIsMissingStaysAbsentAndInert) {
    PtsRig rig(false);
    rig.peripheral->addService(PtsServiceUuid)->addCharacteristic(PtsStatusUuid, Property::Read | Property::Notify);
    auto service = rig.service(answeredWaits(), false);
    EXPECT_FALSE(service->isPresent());
    EXPECT_EQ(stateOf(*service), DevStimulStatus::Unknown);
    const OperationResult absent = OperationResult::failed(513, "PTS Service is not present");
    EXPECT_EQ(service->reset(), absent);
    EXPECT_EQ(service->prepareSync(), absent);
    EXPECT_EQ(service->writeStimProgramList({}), absent);
    EXPECT_TRUE(service->startStatusNotify());
    EXPECT_TRUE(service->stopStatusNotify());
    EXPECT_TRUE(service->resume());
    EXPECT_EQ(service->stimulatorTime(true), 0u);
    EXPECT_EQ(rig.peripheral->characteristic(PtsServiceUuid, PtsStatusUuid)->clientConfigurationWrites(), 0);
}

TEST(PhotoStimServiceCreation, ReadsTheStatusAndTheProgramsTheDeviceHolds) {
    VexaSim::PtsPeerSettings settings;
    settings.batteryVoltage = 4012;
    settings.statusWord = 0xA5A5F00D;
    PtsRig rig(true, settings);
    const PackedPrograms stored = packPrograms(TwoPrograms);
    rig.pts->configCharacteristic()->setValue({stored.packet.begin(), stored.packet.end()});
    rig.pts->statusCharacteristic()->failNextReads(2);

    auto service = rig.service();
    EXPECT_TRUE(service->isPresent());
    EXPECT_EQ(stateOf(*service), DevStimulStatus::Idle);
    EXPECT_EQ(syncOf(*service), DevStimulSyncStatus::NotSynchronised);
    EXPECT_EQ(service->batteryVoltage(), 4012);
    EXPECT_EQ(service->statusWord(), 0xA5A5F00Du);
    EXPECT_EQ(service->programs(), stored.programs);
    EXPECT_TRUE(rig.pts->statusCharacteristic()->isNotifying());
}

TEST(PhotoStimServiceCreation, AStatusThatCannotBeReadThreeTimesFailsCreation) {
    PtsRig rig;
    rig.pts->statusCharacteristic()->failNextReads(3);
    EXPECT_EQ(creationFailure(rig), "Can not read Status");
    PtsRig config;
    config.pts->configCharacteristic()->failNextReads(3);
    EXPECT_EQ(creationFailure(config), "Can not read Status");
}

TEST(PhotoStimServiceStates, EveryTransitionSendsItsFrameAndIsPublishedOnce) {
    PtsRig rig;
    auto service = rig.service();
    Recorder<DevStimulStatus> states(service->stimStatusEvent());
    Recorder<DevStimulSyncStatus> syncs(service->syncStatusEvent());

    EXPECT_TRUE(service->reset());  // already idle: nothing sent
    EXPECT_TRUE(service->prepareSync());
    EXPECT_EQ(stateOf(*service), DevStimulStatus::SyncPrepared);
    EXPECT_TRUE(service->sync());
    EXPECT_EQ(syncOf(*service), DevStimulSyncStatus::Synchronised);
    EXPECT_TRUE(service->startProgram(0x01020304, false));
    ASSERT_TRUE(TestSupport::waitFor([&] { return stateOf(*service) == DevStimulStatus::Running; }));
    EXPECT_EQ(rig.pts->startTick(), 0x01020304u);
    EXPECT_TRUE(service->sync());  // a running program is stopped
    EXPECT_EQ(stateOf(*service), DevStimulStatus::Synchronised);
    EXPECT_TRUE(service->prepareSync());  // not idle: reset first
    EXPECT_TRUE(service->reset());

    EXPECT_EQ(rig.pts->commandFrames(), (Frames{{2}, {3}, {4, 4, 3, 2, 1}, {5}, {1}, {2}, {1}}));
    EXPECT_EQ(states.events(), (std::vector<DevStimulStatus>{DevStimulStatus::SyncPrepared,
                                                             DevStimulStatus::Synchronised, DevStimulStatus::Running,
                                                             DevStimulStatus::Synchronised, DevStimulStatus::Idle,
                                                             DevStimulStatus::SyncPrepared, DevStimulStatus::Idle}));
    EXPECT_EQ(syncs.events(), (std::vector<DevStimulSyncStatus>{DevStimulSyncStatus::Synchronised,
                                                                DevStimulSyncStatus::NotSynchronised}));
}

TEST(PhotoStimServiceStates, CommandsOutOfOrderAreRefusedWithoutSending) {
    PtsRig rig;
    auto service = rig.service();
    EXPECT_EQ(service->sync(),
              OperationResult::failed(513, "It is required to initiate the synchronization procedure (prepareSync)."));
    EXPECT_EQ(service->startProgram(1, true), OperationResult::failed(513, "Synchronization is required"));
    ASSERT_TRUE(service->prepareSync());
    EXPECT_EQ(service->startProgram(1, true), OperationResult::failed(513, "Synchronization is required"));
    EXPECT_TRUE(service->stopProgram());  // nothing runs
    EXPECT_EQ(rig.pts->commandFrames(), (Frames{{2}}));
}

// A stimulator that starts at once and one that reports Running only at the start's tick.
struct PhotoStimMarkedStart : ::testing::TestWithParam<bool> {};

INSTANTIATE_TEST_SUITE_P(Running, PhotoStimMarkedStart, ::testing::Values(false, true),
                         [](const auto& info) { return info.param ? "AtTheStartTick" : "AtOnce"; });

// A marked start is done on the written frame, however far ahead its tick lies; the device's
// reports drive the state from there.
TEST_P(PhotoStimMarkedStart, IsDoneOnTheWrittenFrameAndTheDevicesReportsFollow) {
    PtsRig rig;
    rig.pts->setRunningAtStartTick(GetParam());
    auto service = rig.service(shortWaits());
    ASSERT_TRUE(service->prepareSync());
    ASSERT_TRUE(service->sync());
    Recorder<DevStimulStatus> states(service->stimStatusEvent());

    // A start frame the device does not take is reported, and the state stays.
    rig.pts->commandCharacteristic()->failNextWrites(1);
    EXPECT_EQ(service->startProgram(500, true), NotReached);
    EXPECT_EQ(stateOf(*service), DevStimulStatus::Synchronised);

    // Two seconds ahead, far beyond the service's waits.
    const uint32_t tick = rig.pts->now() + 2 * 62500;
    ASSERT_TRUE(service->startProgram(tick, true));
    EXPECT_EQ(stateOf(*service), DevStimulStatus::Running);
    EXPECT_EQ(rig.pts->startTick(), tick);
    EXPECT_EQ(rig.pts->startPending(), GetParam());
    ASSERT_TRUE(states.atLeast(1));
    EXPECT_EQ(states.events().front(), DevStimulStatus::Running);

    // A stop before the tick cancels the start.
    ASSERT_TRUE(service->stopProgram());
    EXPECT_EQ(stateOf(*service), DevStimulStatus::Synchronised);
    EXPECT_EQ(rig.pts->state(), Peer::Synchronised);
    EXPECT_FALSE(rig.pts->startPending());

    // A start due now runs, and the device says so.
    ASSERT_TRUE(service->startProgram(rig.pts->now() + 50, true));
    ASSERT_TRUE(TestSupport::waitFor([&] { return rig.pts->state() == Peer::Running; }));
    EXPECT_EQ(stateOf(*service), DevStimulStatus::Running);
}

// An unmarked start (a second stimulator's) stays Synchronised until the device reports the
// program; a stop before the device does still keeps the program from running.
TEST_P(PhotoStimMarkedStart, AStopBeforeAnUnmarkedStartRunsCancelsIt) {
    PtsRig rig;
    rig.pts->setRunningAtStartTick(GetParam());
    auto service = rig.service(shortWaits());
    ASSERT_TRUE(service->prepareSync());
    ASSERT_TRUE(service->sync());
    ASSERT_TRUE(service->startProgram(rig.pts->now() + 2 * 62500, false));
    ASSERT_TRUE(service->stopProgram());
    EXPECT_EQ(rig.pts->commandFrames().back(), std::vector<uint8_t>{5});
    EXPECT_EQ(rig.pts->state(), Peer::Synchronised);
    EXPECT_FALSE(rig.pts->startPending()) << "the program never runs";
    EXPECT_EQ(stateOf(*service), DevStimulStatus::Synchronised);
}

// A marked start on a stimulator that waits for its tick: a status the device sends meanwhile
// (its battery voltage here) still says synchronised, and the stop must still cancel the start.
TEST(PhotoStimServiceStates, AStopAfterAMarkedStartThatTheDeviceStillHoldsCancelsIt) {
    PtsRig rig;
    rig.pts->setRunningAtStartTick(true);
    auto service = rig.service(shortWaits());
    ASSERT_TRUE(service->prepareSync());
    ASSERT_TRUE(service->sync());
    ASSERT_TRUE(service->startProgram(rig.pts->now() + 2 * 62500, true));
    EXPECT_EQ(stateOf(*service), DevStimulStatus::Running);
    rig.pts->setBatteryVoltage(3700);
    ASSERT_TRUE(TestSupport::waitFor([&] { return stateOf(*service) == DevStimulStatus::Synchronised; }));
    ASSERT_TRUE(rig.pts->startPending());

    EXPECT_TRUE(service->stopProgram());
    EXPECT_EQ(rig.pts->commandFrames().back(), std::vector<uint8_t>{5});
    EXPECT_FALSE(rig.pts->startPending()) << "the program never runs";
    EXPECT_EQ(rig.pts->state(), Peer::Synchronised);

    // Stopped, nothing is on its way any more: a second stop sends nothing.
    const size_t frames = rig.pts->commandFrames().size();
    EXPECT_TRUE(service->stopProgram());
    EXPECT_EQ(rig.pts->commandFrames().size(), frames);
}

// The owner of a second stimulator starts it without waiting for the running program, which a
// device reports only once the program starts: a stop right after the start must still stop it.
TEST(PhotoStimServiceStates, AStopRightAfterAnUnawaitedStartStopsTheProgramTheStartRuns) {
    PtsRig rig;
    auto service = rig.service();
    ASSERT_TRUE(service->prepareSync());
    ASSERT_TRUE(service->sync());
    rig.pts->statusCharacteristic()->delayNextNotifications(1, 300ms);
    ASSERT_TRUE(service->startProgram(7, false));
    EXPECT_TRUE(service->stopProgram());
    EXPECT_EQ(rig.pts->state(), Peer::Synchronised);
    EXPECT_EQ(stateOf(*service), DevStimulStatus::Synchronised);
    EXPECT_EQ(rig.pts->commandFrames(), (Frames{{2}, {3}, {4, 7, 0, 0, 0}, {5}}));

    // Once the device has reported a state other than synchronised, no start is on its way.
    ASSERT_TRUE(service->reset());
    ASSERT_TRUE(service->prepareSync());
    ASSERT_TRUE(service->sync());
    EXPECT_TRUE(service->stopProgram());
    EXPECT_EQ(rig.pts->commandFrames().size(), 7u) << "nothing runs: no stop is sent";
}

TEST(PhotoStimServiceStates, OnlyTheStateACommandLeadsToCompletesIt) {
    PtsRig rig;
    auto service = rig.service(shortWaits());
    // The device changes state, but not to the one asked for.
    rig.pts->setAnswerState(Peer::Running);
    EXPECT_EQ(service->prepareSync(), NotReached);
    ASSERT_TRUE(TestSupport::waitFor([&] { return stateOf(*service) == DevStimulStatus::Running; }));
    // A device that does not answer at all.
    rig.pts->setAnswerState(std::nullopt);
    rig.pts->setIgnoring(true);
    EXPECT_EQ(service->stopProgram(), NotReached);
    EXPECT_EQ(service->reset(), NotReached);
    EXPECT_EQ(rig.pts->commandFrames(), (Frames{{2}, {5}, {1}}));
}

// A status cut short leaves the state unknown: the next command reads the device first instead
// of taking "unknown" for "not synchronised" or "not running", whether the cut status comes
// before a start or after it.
TEST(PhotoStimServiceDoubt, AStartAfterAStatusCutShortFindsTheStimulatorSynchronised) {
    PtsRig rig;
    auto service = rig.service();
    ASSERT_TRUE(service->prepareSync());
    ASSERT_TRUE(service->sync());
    rig.pts->sendStatus(std::vector<uint8_t>(19, 2));
    ASSERT_TRUE(TestSupport::waitFor([&] { return stateOf(*service) == DevStimulStatus::Unknown; }));
    EXPECT_TRUE(service->startProgram(rig.pts->now() + 2 * 62500, true));
    EXPECT_EQ(rig.pts->state(), Peer::Running);
    EXPECT_EQ(stateOf(*service), DevStimulStatus::Running);
}

TEST(PhotoStimServiceDoubt, AStopAfterTheRunningReportWasCutShortStopsTheProgram) {
    PtsRig rig;
    auto service = rig.service();
    ASSERT_TRUE(service->prepareSync());
    ASSERT_TRUE(service->sync());
    // The device's report of the running program is cut short, and comes once the start was marked.
    rig.pts->statusCharacteristic()->truncateNextNotifications(1, 1);
    rig.radio->pause();
    ASSERT_TRUE(service->startProgram(rig.pts->now() + 2 * 62500, true));
    EXPECT_EQ(stateOf(*service), DevStimulStatus::Running);
    rig.radio->resume();
    rig.radio->drain();
    ASSERT_EQ(stateOf(*service), DevStimulStatus::Unknown);
    EXPECT_EQ(service->writeStimProgramList(TwoPrograms),
              OperationResult::failed(513, "Parameter setting is forbidden. Stimulation program started"));
    EXPECT_EQ(rig.pts->programPacket(), std::vector<uint8_t>(128, 0));
    ASSERT_TRUE(service->stopProgram());
    EXPECT_EQ(rig.pts->state(), Peer::Synchronised);
    EXPECT_EQ(rig.pts->commandFrames().back(), std::vector<uint8_t>{5});
    EXPECT_EQ(stateOf(*service), DevStimulStatus::Synchronised);
}

// A frame whose outcome neither a report nor the read after the wait confirmed leaves the state
// in doubt: the next command asks the device, and fails when it cannot, except a reset, which
// is sent whatever the state. A whole pack from the device ends the doubt.
TEST(PhotoStimServiceDoubt, AStateChangeTheDeviceDidNotConfirmIsReadBeforeTheNextCommand) {
    PtsRig rig;
    auto service = rig.service(shortWaits());
    auto status = rig.pts->statusCharacteristic();

    // The device prepares, but its report is lost and the status cannot be read.
    status->dropNextNotifications(1);
    status->failNextReads(3);
    EXPECT_EQ(service->prepareSync(), NotReached);
    ASSERT_EQ(rig.pts->state(), Peer::SyncPrepared);
    EXPECT_EQ(stateOf(*service), DevStimulStatus::Idle);

    // Still unreadable: a stop cannot tell whether a program runs.
    status->failNextReads(3);
    EXPECT_EQ(service->stopProgram(), OperationResult::failed(513, "Can not read Status"));
    // Readable again: the reset finds the device prepared and resets it.
    ASSERT_TRUE(service->reset());
    EXPECT_EQ(rig.pts->state(), Peer::Idle);
    EXPECT_EQ(rig.pts->commandFrames(), (Frames{{2}, {1}}));

    // A reset is sent even when the state it would skip cannot be read, and the idle state the
    // service held before is no confirmation of it: the device's report (late here) or the read
    // after the wait is.
    status->dropNextNotifications(1);
    status->failNextReads(3);
    EXPECT_EQ(service->prepareSync(), NotReached);
    status->failNextReads(3);
    rig.radio->pause();
    ASSERT_TRUE(service->reset());
    EXPECT_EQ(rig.pts->state(), Peer::Idle);
    EXPECT_EQ(rig.pts->commandFrames(), (Frames{{2}, {1}, {2}, {1}}));
    status->failNextReads(3);
    EXPECT_TRUE(service->stopProgram()) << "the reset was confirmed: nothing is read";
    rig.radio->resume();

    // A whole pack after an unconfirmed change settles the state without a read.
    status->dropNextNotifications(1);
    status->failNextReads(3);
    EXPECT_EQ(service->prepareSync(), NotReached);
    rig.pts->setBatteryVoltage(3800);
    ASSERT_TRUE(TestSupport::waitFor([&] { return stateOf(*service) == DevStimulStatus::SyncPrepared; }));
    status->failNextReads(3);
    EXPECT_TRUE(service->prepareSync());
    EXPECT_EQ(rig.pts->commandFrames().size(), 5u);
}

TEST(PhotoStimServiceStates, SuspendingEndsAWaitAtOnceAndResumingReadsTheDeviceAgain) {
    PtsRig rig;
    auto service = rig.service();
    rig.pts->setIgnoring(true);
    auto waiting = std::async(std::launch::async, [&] { return service->prepareSync(); });
    ASSERT_TRUE(TestSupport::waitFor([&] { return rig.pts->commandFrames().size() == 1; }));
    const auto suspendedAt = std::chrono::steady_clock::now();
    EXPECT_TRUE(service->suspend());
    EXPECT_EQ(waiting.get(), NotReached);
    EXPECT_LT(std::chrono::steady_clock::now() - suspendedAt, 5s);  // the wait itself lasts 10 s

    const PackedPrograms stored = packPrograms(TwoPrograms);
    rig.pts->configCharacteristic()->setValue({stored.packet.begin(), stored.packet.end()});
    EXPECT_EQ(service->stimulatorTime(true), service->stimulatorTime(false));  // suspended: no read
    EXPECT_TRUE(service->resume());
    EXPECT_EQ(service->programs(), stored.programs);

    rig.pts->configCharacteristic()->failNextReads(3);
    service->suspend();
    EXPECT_THROW(service->resume(), VexaDevice::Utility::rt_exception);
    EXPECT_EQ(service->prepareSync(), NotReached);  // still suspended: the wait ends at once
}

TEST(PhotoStimServiceStatus, OnlyTheLastWholePackCountsAndShortBytesLeaveTheStateUnknown) {
    PtsRig rig;
    auto service = rig.service();
    Recorder<DevStimulSyncStatus> syncs(service->syncStatusEvent());
    Recorder<DevStimulStatus> states(service->stimStatusEvent());
    std::vector<uint8_t> two = pack(Peer::Idle, 0, 1, 1);
    const std::vector<uint8_t> second = pack(Peer::Synchronised, 9, 3333, 0x00ABCDEF);
    two.insert(two.end(), second.begin(), second.end());
    rig.pts->sendStatus(two);
    ASSERT_TRUE(TestSupport::waitFor([&] { return stateOf(*service) == DevStimulStatus::Synchronised; }));
    EXPECT_EQ(syncOf(*service), DevStimulSyncStatus::Synchronised);
    EXPECT_EQ(service->batteryVoltage(), 3333);
    EXPECT_EQ(service->stimulatorTime(false), 0x00ABCDEFu);

    rig.pts->sendStatus(std::vector<uint8_t>(19, 2));
    ASSERT_TRUE(TestSupport::waitFor([&] { return stateOf(*service) == DevStimulStatus::Unknown; }));
    EXPECT_EQ(service->batteryVoltage(), 3333);
    EXPECT_EQ(syncOf(*service), DevStimulSyncStatus::Synchronised);

    rig.pts->sendStatus(pack(7, 0, 1, 1));
    ASSERT_TRUE(TestSupport::waitFor([&] { return syncOf(*service) == DevStimulSyncStatus::NotSynchronised; }));
    EXPECT_EQ(stateOf(*service), DevStimulStatus::Unknown);
    EXPECT_EQ(syncs.events(), (std::vector<DevStimulSyncStatus>{DevStimulSyncStatus::Synchronised,
                                                                DevStimulSyncStatus::NotSynchronised}));

    // The unknown states were published to nobody; the next known one is.
    rig.pts->sendStatus(pack(Peer::Idle, 0, 1, 1));
    ASSERT_TRUE(TestSupport::waitFor([&] { return states.count() == 2; }));
    EXPECT_EQ(states.events(), (std::vector<DevStimulStatus>{DevStimulStatus::Synchronised, DevStimulStatus::Idle}));
}

TEST(PhotoStimServiceStatus, TheStimulatorTimeIsReadAgainOnRequestAndFollowsTheSyncLink) {
    PtsRig rig;
    auto service = rig.service();
    const uint32_t before = service->stimulatorTime(false);
    const uint32_t own = rig.pts->now();
    const uint32_t reread = service->stimulatorTime(true);
    EXPECT_GE(reread, own);
    EXPECT_GE(reread, before);
    EXPECT_EQ(service->stimulatorTime(false), reread);

    ASSERT_TRUE(service->prepareSync());
    ASSERT_TRUE(service->sync());
    const uint32_t link = rig.pts->syncLink()->now();
    const uint32_t synchronised = service->stimulatorTime(true);
    EXPECT_GE(synchronised, link);
    EXPECT_LT(synchronised - link, 62500u);

    rig.pts->syncLink()->breakSync();
    ASSERT_TRUE(TestSupport::waitFor([&] { return syncOf(*service) == DevStimulSyncStatus::NotSynchronised; }));
    EXPECT_EQ(stateOf(*service), DevStimulStatus::Idle);
}

TEST(PhotoStimServicePrograms, AListIsWrittenAsOnePacketAndHeldQuantised) {
    PtsRig rig;
    auto service = rig.service();
    rig.pts->configCharacteristic()->failNextWrites(2);
    ASSERT_TRUE(service->writeStimProgramList(TwoPrograms));
    const PackedPrograms expected = packPrograms(TwoPrograms);
    EXPECT_EQ(rig.pts->programPacket(), std::vector<uint8_t>(expected.packet.begin(), expected.packet.end()));
    EXPECT_EQ(service->programs(), expected.programs);
    EXPECT_DOUBLE_EQ(service->programs()[0].frequency, 62500.0 / 1249);

    ASSERT_TRUE(service->writeStimProgramList({}));
    EXPECT_EQ(service->programs(), (std::vector<StimProgram>{{31.25, 50.19607843137255, 0.016, 0.32, 1, 0}}));
}

TEST(PhotoStimServicePrograms, RefusedListsLeaveTheDeviceAndTheListAlone) {
    PtsRig rig;
    auto service = rig.service();
    ASSERT_TRUE(service->writeStimProgramList(TwoPrograms));
    const auto held = service->programs();
    const auto writes = rig.pts->configCharacteristic()->writes().size();

    EXPECT_EQ(service->writeStimProgramList({{0.5, 10, 0.005, 2, 0, 0}}),
              OperationResult::failed(517, "Incorrect Frequency parameter value"));
    rig.pts->configCharacteristic()->failNextWrites(3);
    EXPECT_EQ(service->writeStimProgramList(TwoPrograms),
              OperationResult::failed(513, "Failed to set parameters of stimulation programs"));

    ASSERT_TRUE(service->prepareSync());
    ASSERT_TRUE(service->sync());
    ASSERT_TRUE(service->startProgram(0, true));
    const std::vector<StimProgram> seventeen(17, TwoPrograms[0]);
    EXPECT_EQ(service->writeStimProgramList(seventeen),
              OperationResult::failed(517, "Incorrect size of the program stim list"));
    const std::vector<StimProgram> sixteen(16, TwoPrograms[0]);
    EXPECT_EQ(service->writeStimProgramList(sixteen),
              OperationResult::failed(513, "Parameter setting is forbidden. Stimulation program started"));

    EXPECT_EQ(service->programs(), held);
    EXPECT_EQ(rig.pts->configCharacteristic()->writes().size(), writes);
}

TEST(PhotoStimServiceNotify, AFailedStartOfTheStatusNotificationIsReportedAsASendFailure) {
    PtsRig rig;
    auto service = rig.service();
    EXPECT_TRUE(service->startStatusNotify());  // already notifying
    EXPECT_TRUE(service->stopStatusNotify());
    EXPECT_FALSE(statusNotifying(rig));
    rig.pts->statusCharacteristic()->failNextClientConfigurationWrites(1);
    const OperationResult failed = service->startStatusNotify();
    EXPECT_EQ(failed.code, 513);
    EXPECT_FALSE(failed.message.empty());
    ASSERT_TRUE(service->startStatusNotify());
    EXPECT_TRUE(statusNotifying(rig));
    ASSERT_TRUE(service->prepareSync());
}

TEST(PhotoStimServiceRelease, ReleasingTheServiceResetsTheStimulator) {
    PtsRig rig;
    auto service = rig.service();
    ASSERT_TRUE(service->prepareSync());
    service.reset();
    EXPECT_EQ(rig.pts->commandFrames(), (Frames{{2}, {1}}));
    EXPECT_EQ(rig.pts->state(), Peer::Idle);
    EXPECT_FALSE(statusNotifying(rig));
}
