// The Dravik device class over its protocol and the emulated device, alone and with a
// photo-stimulator linked to it.

#include <gtest/gtest.h>

#include "sdk/devices/dravik/DravikBLE.hpp"
#include "sdk/devices/photostim/PhotoStimBLE.hpp"
#include "sim/peers/photostim/PhotoStimPeer.hpp"
#include "tests/devices/dravik/DravikRig.hpp"

using namespace VexaDevice;
using namespace VexaDevice::Dravik;
using Sensor::SensorCommand;
using namespace std::chrono_literals;

TEST(DravikDevice, CommandsMapOntoModesAndOthersFailWithoutACode) {
    DravikTest::DravikRig rig;
    auto device = makeDravikBLE(rig.ble, DravikTest::fastDravik());
    ASSERT_TRUE(device->connect());
    EXPECT_EQ(device->execCommand(SensorCommand::StartMEMS), OperationResult::failed(0, ""));
    ASSERT_TRUE(device->execCommand(SensorCommand::StartSignal));
    uint8_t mode = 0;
    ASSERT_TRUE(device->readAmpMode(mode));
    EXPECT_EQ(mode, AmpModeSignal);
    ASSERT_TRUE(device->execCommand(SensorCommand::StopResist)) << "outside signal and resistance: stops";
    ASSERT_TRUE(device->readAmpMode(mode));
    EXPECT_EQ(mode, AmpModePowerDown);
    EXPECT_EQ(device->getCommands().count(0), 1u);
    EXPECT_EQ(device->getCommands().count(4), 0u);
    std::string serial;
    ASSERT_TRUE(device->readSerialNumber(serial));
    EXPECT_EQ(serial, "DRV000123");
    EXPECT_EQ(device->maxStimPhases(), 16);
}

namespace {

constexpr uint64_t kStimulatorAddress = 0xC0FFEE00D14D;

VexaDevice::Devices::ProtocolTiming fastStimulator() {
    VexaDevice::Devices::ProtocolTiming timing;
    timing.workerWait = 2ms;
    timing.writeRetryPause = 2ms;
    timing.replyWaitStep = 5ms;
    timing.replyWaitSteps = 600;
    // Every wait ends once the device reports the state; the long ones only allow for a loaded
    // machine. The synchronisation that is meant to fail has a short wait of its own.
    timing.stimulator.pollStep = 1ms;
    timing.stimulator.workerWait = 2ms;
    timing.stimulator.resetWait = 3s;
    timing.stimulator.stateWait = 3s;
    return timing;
}

DravikTiming fastLinkedDravik() {
    auto timing = DravikTest::fastDravik();
    timing.stimulator = fastStimulator().stimulator;
    timing.syncWait = 200ms;
    return timing;
}

// A Dravik device and a PhotoStim on one radio; with `sameLink` their stimulators share a sync
// line, else the Dravik's never sees the PhotoStim's pulses.
struct LinkedStimulators {
    std::shared_ptr<VexaSim::StimSyncLink> line = VexaSim::StimSyncLink::create();
    DravikTest::DravikRig rig;
    std::shared_ptr<VexaSim::PhotoStimPeer> stimulatorPeer;
    std::shared_ptr<PhotoStim::PhotoStimBLE> stimulator;
    std::shared_ptr<DravikBLE> device;

    explicit LinkedStimulators(bool sameLink) : rig({}, sameLink ? line : VexaSim::StimSyncLink::create()) {
        VexaSim::PhotoStimPeerSettings settings;
        settings.stimulator.link = line;
        stimulatorPeer = VexaSim::PhotoStimPeer::attach(*rig.radio, kStimulatorAddress, settings);
        auto ble = BLE::BLEDevice::create(BLE::DeviceId::fromUInt64(kStimulatorAddress), {}, KestraneTest::fastBle());
        stimulator = std::make_shared<PhotoStim::PhotoStimBLE>(ble, fastStimulator());
        device = makeDravikBLE(rig.ble, fastLinkedDravik());
    }
};

}  // namespace

TEST(DravikDevice, WithoutAStimulatorThePhotoStimulationIsRefused) {
    VexaSim::DravikPeerSettings settings;
    settings.hasStimulator = false;
    DravikTest::DravikRig rig(settings);
    auto device = makeDravikBLE(rig.ble, DravikTest::fastDravik());
    for (int32_t command : {27, 28, 36, 37}) {
        EXPECT_EQ(device->getCommands().count(command), 0u) << command;
    }
    EXPECT_EQ(device->getFeatures().count(7), 0u);
    EXPECT_EQ(device->getParameters().count(45), 0u);
    PhotoStim::DevStimulStatus state{};
    EXPECT_EQ(device->readStimState(state).code, 527);
    EXPECT_EQ(device->execCommand(SensorCommand::StartPhotoStimulation),
              OperationResult::failed(527, "[ERR_UNSUPPORTED_STIM] Stimulator is not supported"));
}

TEST(DravikDevice, ALinkedPhotoStimStartsAtAbsoluteTicksUntilItIsUnlinked) {
    LinkedStimulators both(true);
    EXPECT_EQ(both.device->getFeatures().count(7), 1u);
    EXPECT_EQ(both.device->getCommands().count(36), 1u);
    EXPECT_EQ(both.device->execCommand(PhotoStim::SynchroniseCommand),
              OperationResult::failed(528, "[ERR_REQUIRED_STIM_SENSOR] An external stimulant must be set"));

    ASSERT_TRUE(both.device->writePhotoStim(both.stimulator));
    EXPECT_EQ(both.device->readPhotoStim(), both.stimulator);
    EXPECT_TRUE(both.stimulator->useAbsoluteStart());
    ASSERT_TRUE(both.device->writePhotoStim(nullptr));
    EXPECT_EQ(both.device->readPhotoStim(), nullptr);
    EXPECT_FALSE(both.stimulator->useAbsoluteStart()) << "back to starts relative to its own time";
}

TEST(DravikDevice, AFailedSynchronisationResetsBothStimulators) {
    LinkedStimulators both(false);
    ASSERT_TRUE(both.device->writePhotoStim(both.stimulator));
    EXPECT_EQ(both.device->execCommand(PhotoStim::SynchroniseCommand),
              OperationResult::failed(529, "[ERR_STIM_SENSOR_STATUS_SET] Synchronization failed"));
    EXPECT_EQ(both.stimulatorPeer->state(), VexaSim::PtsServicePeer::Idle);
    EXPECT_EQ(both.rig.peer->stimulator()->state(), VexaSim::PtsServicePeer::Idle);
    EXPECT_EQ(both.device->execCommand(SensorCommand::StartPhotoStimulation).code, 531);
}
