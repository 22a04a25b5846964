// Both Vondra device classes against the emulated headsets: the commands each one maps, its
// reads and amplifier setting, what it does with the link, and the second generation on the
// Wrenlet protocol.

#include <gtest/gtest.h>

#include "sdk/devices/vondra/Vondra2BLE.hpp"
#include "sdk/devices/vondra/VondraBLE.hpp"
#include "sim/peers/vondra/VondraPeer.hpp"
#include "sim/peers/wrenlet/WrenletPeer.hpp"
#include "tests/devices/kestrane/StreamRig.hpp"

using namespace KestraneTest;
using VexaDevice::OperationResult;
using VexaDevice::Kestrane::_FPGData;
using VexaDevice::Kestrane::_IMUData;
using VexaDevice::Sensor::SensorCommand;
using VexaDevice::Vondra::VondraAmplifierParam;
using VexaDevice::Vondra::VondraGeneration;
using VexaSim::AnswerOrder;
using VexaSim::CommandStreamPeerModel;
using VexaSim::VondraPeerGeneration;
using VexaSim::vondraSettings;
using VexaSim::WrenletPeerGeneration;
using VexaSim::wrenletSettings;

namespace {

const OperationResult UnsupportedCommand = OperationResult::failed(514, "Unsupported command");
const OperationResult UnsupportedParameter = OperationResult::failed(515, "Unsupported parameter");

auto makeVondra(StreamRig& rig) { return std::make_shared<VexaDevice::Vondra::VondraBLE>(rig.open(), fastProtocol()); }

auto makeVondra2(StreamRig& rig, uint8_t model, const VexaDevice::Devices::ProtocolTiming& timing = fastProtocol()) {
    return std::make_shared<VexaDevice::Vondra2::Vondra2BLE>(rig.open(), model, timing);
}

template <class Make>
std::string creationFailure(Make&& make) {
    try {
        make();
    } catch (const std::exception& e) {
        return e.what();
    }
    return "created";
}

}  // namespace

TEST(VondraDevice, StopCommandsPowerTheDeviceDown) {
    StreamRig rig(vondraSettings(VondraPeerGeneration::First));
    auto device = makeVondra(rig);
    const size_t start = rig.peer->commandFrames().size();
    ASSERT_TRUE(device->execCommand(SensorCommand::StartSignal));
    ASSERT_TRUE(device->execCommand(SensorCommand::StopSignal));
    ASSERT_TRUE(device->execCommand(SensorCommand::Idle));
    ASSERT_TRUE(device->execCommand(SensorCommand::StartSignalAndResist));
    ASSERT_TRUE(device->execCommand(SensorCommand::StopSignalAndResist));
    EXPECT_EQ(rig.framesAfter(start), (Frames{{0x03}, {0x01}, {0x02}, {0x07}, {0x01}}));
    EXPECT_EQ(device->execCommand(SensorCommand::StartMEMS), OperationResult::failed(0, ""));
    EXPECT_TRUE(device->isSupportedCommand(SensorCommand::StartSignalAndResist));
    EXPECT_FALSE(device->isSupportedCommand(SensorCommand::StartMEMS));
    // Signal, resistance and both together, idle, power-down: nothing of the streams it lacks.
    EXPECT_EQ(device->getCommands(), (VexaDevice::Sensor::CommandSet{0, 1, 2, 3, 21, 22, 25, 26}));
}

TEST(VondraDevice, ReadsAndTheAmplifierSetting) {
    StreamRig rig(vondraSettings(VondraPeerGeneration::First));
    auto device = makeVondra(rig);
    uint8_t byte = 0;
    device->readSamplingFrequency(byte);
    EXPECT_EQ(byte, 4);
    device->readSamplingFrequencyResist(byte);
    EXPECT_EQ(byte, 0);
    device->readFirmwareMode(byte);
    EXPECT_EQ(byte, 1);
    device->readOffset(byte);
    EXPECT_EQ(byte, 0);
    device->readModelCode(byte);
    EXPECT_EQ(byte, 'I');
    device->readSensorMode(byte);
    EXPECT_EQ(byte, 2);
    int32_t battery = 0;
    device->readBattPower(battery);
    EXPECT_EQ(battery, 77);
    std::string serial;
    device->readSerialNumber(serial);
    EXPECT_EQ(serial, "VN-000007");

    VondraAmplifierParam setting = VexaDevice::Vondra::defaultAmplifier(VondraGeneration::First);
    setting.gain[5] = 0;
    rig.peer->setRefusal(CommandStreamPeerModel::WrongParameter, 0x08);
    EXPECT_EQ(device->writeAmplifierParam(setting), OperationResult::failed(1, "Device error: [KSP_ERROR_CMD_PARAM]"));
    rig.peer->setRefusal(0);
    ASSERT_TRUE(device->writeAmplifierParam(setting));
    VondraAmplifierParam stored;
    ASSERT_TRUE(device->readAmplifierParam(stored));
    EXPECT_EQ(stored, setting);

    ASSERT_TRUE(device->ping(0x1FF));
    EXPECT_TRUE(TestSupport::waitFor([&] { return rig.peer->pings() == Frames{{0x06, 0xFF}}; }));
}

TEST(VondraDevice, TheLinkGoesOnlyOnceAndComesBackReadAfresh) {
    StreamRig rig(vondraSettings(VondraPeerGeneration::First));
    auto device = makeVondra(rig);
    const size_t start = rig.peer->commandFrames().size();
    ASSERT_TRUE(device->execCommand(SensorCommand::StartResist));
    ASSERT_TRUE(device->disconnect());
    ASSERT_TRUE(device->disconnect());
    EXPECT_EQ(rig.framesAfter(start), (Frames{{0x04}, {0x01}})) << "a disconnected device is sent nothing";

    rig.peer->setBattery(41);
    ASSERT_TRUE(device->connect());
    int32_t battery = 0;
    device->readBattPower(battery);
    EXPECT_EQ(battery, 41);

    ASSERT_TRUE(device->execCommand(SensorCommand::StartSignal));
    device.reset();
    EXPECT_EQ(rig.peer->mode(), 1) << "a released device is powered down";
}

TEST(VondraDevice, CreationFailuresOfBothGenerations) {
    auto foreign = vondraSettings(VondraPeerGeneration::First);
    foreign.information.modelNumber = "80.1";
    StreamRig rig(foreign);
    EXPECT_EQ(creationFailure([&] { makeVondra(rig); }),
              "Cannot create Vondra BLE Device: Device unsupported. Failed recognized the device Family");
    EXPECT_EQ(creationFailure([&] { makeVondra2(rig, 3); }), "Device unsupported. Failed recognized the device Family");

    StreamRig refusing(vondraSettings(VondraPeerGeneration::Second));
    refusing.peer->setRefusal(CommandStreamPeerModel::WrongParameter, 0x08);
    EXPECT_EQ(creationFailure([&] { makeVondra2(refusing, 3); }), "Failed to set the amplifier parameters");
}

TEST(Vondra2Device, OwnProtocolStopsToIdleAndHasNoMotionOrPhotoplethysmogram) {
    StreamRig rig(vondraSettings(VondraPeerGeneration::Second));
    auto device = makeVondra2(rig, 3);
    const size_t start = rig.peer->commandFrames().size();
    ASSERT_TRUE(device->execCommand(SensorCommand::StartSignal));
    ASSERT_TRUE(device->execCommand(SensorCommand::StopSignal));
    ASSERT_TRUE(device->execCommand(SensorCommand::PowerDown));
    EXPECT_EQ(rig.framesAfter(start), (Frames{{0x03}, {0x02}, {0x01}}));
    EXPECT_EQ(device->getCommands(), (VexaDevice::Sensor::CommandSet{0, 1, 2, 3, 21, 22, 25, 26}));
    for (auto command : {SensorCommand::StartMEMS, SensorCommand::StopMEMS, SensorCommand::StartFPG,
                         SensorCommand::StopFPG, SensorCommand::FindMe})
        EXPECT_EQ(device->execCommand(command), UnsupportedCommand);

    uint8_t byte = 7;
    EXPECT_EQ(device->readAccelerometerSens(byte), UnsupportedParameter);
    EXPECT_EQ(device->writeIrAmplitude(1), UnsupportedParameter);
    EXPECT_EQ(device->readSamplingFrequencyMEMS(byte), UnsupportedParameter);
    EXPECT_TRUE(device->memsEvent().lock()) << "a bus to subscribe to, on which nothing comes";

    VondraAmplifierParam setting = VexaDevice::Vondra::defaultAmplifier(VondraGeneration::Second);
    setting.gain[1] = 2;
    ASSERT_TRUE(device->writeAmplifierParam(setting));
    EXPECT_EQ(rig.peer->amplifierFrame(), (std::vector<uint8_t>{0x08, 1, 3, 1, 6, 1, 3, 1, 3, 1, 1, 1, 1, 1}));
    setting.current = 2;
    EXPECT_EQ(device->writeAmplifierParam(setting),
              OperationResult::failed(517, "The specified Current value is not supported"));
    VondraAmplifierParam stored;
    device->readAmplifierParam(stored);
    EXPECT_EQ(stored.current, 1);
}

// A refusal reports the mode the device stayed in, so a stop to that mode sends nothing; a frame
// nobody answered may have switched the device, so the next stop goes out.
TEST(Vondra2Device, ARefusalLeavesTheModeKnownAndSilenceLeavesItOpen) {
    for (const AnswerOrder order : {AnswerOrder::AnnouncedFirst, AnswerOrder::AnnouncedEarly}) {
        SCOPED_TRACE(order == AnswerOrder::AnnouncedFirst ? "announced first" : "announced early");
        auto settings = vondraSettings(VondraPeerGeneration::Second);
        settings.answerOrder = order;
        StreamRig rig(settings);
        auto device = makeVondra2(rig, 3, lostReplyProtocol());
        const size_t start = rig.peer->commandFrames().size();

        rig.peer->setSilent(true);
        EXPECT_EQ(device->execCommand(SensorCommand::StartSignalAndResist),
                  OperationResult::failed(513, "Device error: [ERR_DATA_SEND]"));
        rig.peer->setSilent(false);
        ASSERT_TRUE(device->execCommand(SensorCommand::StopSignalAndResist));
        EXPECT_EQ(rig.framesAfter(start), (Frames{{0x07}, {0x02}})) << "an unanswered start leaves the mode open";

        rig.peer->setRefusal(CommandStreamPeerModel::NotSupported, 0x07);
        EXPECT_EQ(device->execCommand(SensorCommand::StartSignalAndResist),
                  OperationResult::failed(2, "Device error: [KSP_ERROR_CMD_NOT_SUPPORT]"));
        EXPECT_EQ(rig.peer->mode(), 2);
        const size_t refused = rig.peer->commandFrames().size();
        EXPECT_TRUE(device->execCommand(SensorCommand::StopSignalAndResist));
        EXPECT_EQ(rig.peer->commandFrames().size(), refused) << "the device reported Idle with its refusal";
    }
}

TEST(Vondra2Device, EarlyModelsStreamMotionAndPhotoplethysmogramThroughTheWrenletProtocol) {
    StreamRig rig(wrenletSettings(WrenletPeerGeneration::Second, 'I'));
    auto device = makeVondra2(rig, 2);
    Recorder<std::vector<_IMUData>> motion(device->memsEvent());
    Recorder<std::vector<_FPGData>> fpg(device->fpgEvent());
    ASSERT_TRUE(device->execCommand(SensorCommand::StartMEMS));
    ASSERT_TRUE(device->execCommand(SensorCommand::StartFPG));
    EXPECT_TRUE(motion.atLeast(2)) << "the device's motion reaches the bus it hands out";
    EXPECT_TRUE(fpg.atLeast(2));
    ASSERT_TRUE(device->execCommand(SensorCommand::StopMEMS));
    ASSERT_TRUE(device->execCommand(SensorCommand::StopFPG));

    uint8_t byte = 0;
    ASSERT_TRUE(device->readSamplingFrequencyFPG(byte));
    EXPECT_EQ(byte, 2);
    ASSERT_TRUE(device->writeAccelerometerSens(2));
    ASSERT_TRUE(device->readAccelerometerSens(byte));
    EXPECT_EQ(byte, 2);

    VondraAmplifierParam setting = VexaDevice::Vondra::defaultAmplifier(VondraGeneration::Second);
    setting.signalUse[3] = 0;
    setting.gain[0] = 6;
    ASSERT_TRUE(device->writeAmplifierParam(setting));
    EXPECT_EQ(rig.peer->amplifierFrame(), (std::vector<uint8_t>{0x0A, 1, 5, 1, 3, 1, 3, 0, 3, 1, 1, 1, 1, 1}));
    VondraAmplifierParam stored;
    ASSERT_TRUE(device->readAmplifierParam(stored));
    EXPECT_EQ(stored, setting);

    const size_t start = rig.peer->commandFrames().size();
    ASSERT_TRUE(device->execCommand(SensorCommand::StartSignal));
    ASSERT_TRUE(device->execCommand(SensorCommand::StopSignal));
    EXPECT_EQ(rig.framesAfter(start), (Frames{{0x03}, {0x02}}));
}
