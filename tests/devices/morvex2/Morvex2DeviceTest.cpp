// Whole flows of the Morvex2 device class against the emulated device, with four and eight
// channels.

#include <gtest/gtest.h>

#include <limits>

#include "sdk/core/RtException.hpp"
#include "sdk/devices/morvex/Morvex2BLE.hpp"
#include "sim/peers/morvex2/Morvex2Peer.hpp"
#include "tests/devices/kestrane/StreamRig.hpp"

using namespace VexaDevice::Morvex2;
using namespace KestraneTest;
using VexaDevice::OperationResult;
using VexaDevice::Kestrane::_ResistData;
using VexaDevice::Kestrane::_SignalData;
using VexaDevice::Sensor::EEGChannelType;
using VexaDevice::Sensor::SensorCommand;
using VexaSim::CommandStreamPeerModel;
using VexaSim::morvex2Settings;

namespace {

constexpr double Reference = static_cast<double>(2.4f);
constexpr double Infinity = std::numeric_limits<double>::infinity();

// The amplifier frame sent once connected: every used channel on with gain code 4 (device code
// 3), current code 1, resistance on; unused slots off at device gain code 3.
std::vector<uint8_t> startUpAmplifier(uint32_t channels) {
    std::vector<uint8_t> frame{0x0A};
    for (uint32_t i = 0; i < 8; ++i) {
        frame.push_back(i < channels ? 1 : 0);
        frame.push_back(3);
    }
    frame.push_back(1);
    for (uint32_t i = 0; i < 8; ++i) frame.push_back(i < channels ? 1 : 0);
    return frame;
}

std::shared_ptr<Morvex2BLE> make(StreamRig& rig) { return makeMorvex2BLE(rig.open(), fastProtocol()); }

std::string creationFailure(StreamRig& rig) {
    try {
        make(rig);
    } catch (const std::exception& e) {
        return e.what();
    }
    return "created";
}

struct Shape {
    char model;
    uint8_t variant;
    uint32_t channels;
    uint8_t samplesPerPack;
};

class Morvex2ChannelsTest : public ::testing::TestWithParam<Shape> {};

INSTANTIATE_TEST_SUITE_P(Shapes, Morvex2ChannelsTest, ::testing::Values(Shape{'G', 2, 4, 8}, Shape{'f', 3, 8, 4}),
                         [](const auto& info) { return std::to_string(info.param.channels) + "Channels"; });

}  // namespace

TEST_P(Morvex2ChannelsTest, StartUpSetsAmplifierAndPackSizeThenSignalAndResistanceCarryThePeersValues) {
    const Shape shape = GetParam();
    StreamRig rig(morvex2Settings(shape.model, shape.variant));
    auto device = make(rig);
    EXPECT_EQ(rig.peer->commandFrames(), (Frames{startUpAmplifier(shape.channels), {0x0B, shape.samplesPerPack}}));

    Recorder<std::vector<_SignalData>> signal(device->signalEvent());
    ASSERT_TRUE(device->execCommand(SensorCommand::StartSignal));
    ASSERT_TRUE(signal.atLeast(3 * shape.samplesPerPack));
    for (const _SignalData& record : signal.records()) {
        ASSERT_EQ(record.Samples.size(), shape.channels);
        for (uint32_t ch = 0; ch < shape.channels; ++ch)
            EXPECT_DOUBLE_EQ(record.Samples[ch],
                             CommandStreamPeerModel::signalCount(ch, record.PackNum) * Reference / (8388607.0 * 6));
    }

    Recorder<std::vector<_ResistData>> resist(device->resistEvent());
    ASSERT_TRUE(device->execCommand(SensorCommand::StartResist));
    ASSERT_TRUE(resist.atLeast(2));
    std::vector<double> expected{50000, 100000, 150000, Infinity, 60000, 70000, 80000, 90000};
    expected.resize(shape.channels);
    EXPECT_EQ(resist.records().back().Samples, expected);
    EXPECT_EQ(rig.framesAfter(2), (Frames{{0x03}, {0x04}}));
}

TEST_P(Morvex2ChannelsTest, FewerSamplesPerPackReframeTheSignal) {
    const Shape shape = GetParam();
    StreamRig rig(morvex2Settings(shape.model, shape.variant));
    auto bleDevice = rig.open();
    auto protocol = makeMorvex2BleProtocol(bleDevice, StreamRig::deviceInformation(*bleDevice), fastProtocol());
    EXPECT_EQ(protocol->setSamplesPerPack(shape.samplesPerPack + 1),
              OperationResult::failed(517, "Wrong number samples in packet"));
    EXPECT_EQ(protocol->setSamplesPerPack(0), OperationResult::failed(517, "Wrong number samples in packet"));
    // A refused size is reported as the device answered it.
    rig.peer->setRefusal(CommandStreamPeerModel::WrongParameter, 0x0B);
    EXPECT_EQ(protocol->setSamplesPerPack(2), OperationResult::failed(1, "Device error: [KSP_ERROR_CMD_PARAM]"));
    rig.peer->setRefusal(0);
    ASSERT_TRUE(protocol->setSamplesPerPack(3));
    EXPECT_EQ(rig.peer->samplesPerPack(), 3u);

    Recorder<std::vector<_SignalData>> signal(protocol->signalEvent());
    ASSERT_TRUE(protocol->startSignal());
    ASSERT_TRUE(signal.atLeast(9));
    const auto records = signal.records();
    for (size_t i = 1; i < records.size(); ++i) EXPECT_EQ(records[i].PackNum, records[i - 1].PackNum + 1);
    EXPECT_DOUBLE_EQ(
        records.back().Samples.back(),
        CommandStreamPeerModel::signalCount(shape.channels - 1, records.back().PackNum) * Reference / (8388607.0 * 6));
}

TEST(Morvex2DeviceTest, ARefusedPackSizeOrAmplifierFailsTheCreation) {
    StreamRig packSize(morvex2Settings('G', 2));
    packSize.peer->setRefusal(CommandStreamPeerModel::WrongParameter, 0x0B);
    EXPECT_EQ(creationFailure(packSize), "Failed to set the ADC parameters");

    StreamRig amplifier(morvex2Settings('G', 2));
    amplifier.peer->setRefusal(CommandStreamPeerModel::WrongParameter, 0x0A);
    EXPECT_EQ(creationFailure(amplifier), "Failed to set the amplifier parameters");
}

TEST(Morvex2DeviceTest, UnknownModelsAndVersionsAreRefused) {
    StreamRig unknown(morvex2Settings('X', 1));
    EXPECT_EQ(creationFailure(unknown), "Device unsupported. Failed recognized the device Family");

    auto unversioned = morvex2Settings('G', 2);
    unversioned.information.firmwareRevision = "0.1.0";
    StreamRig zero(unversioned);
    EXPECT_EQ(creationFailure(zero), "Device unsupported. Failed recognized the device version");
}

TEST(Morvex2DeviceTest, AmplifierSettings) {
    StreamRig rig(morvex2Settings('G', 2));
    auto device = make(rig);
    Morvex2AmplifierParam param{{1, 1, 1}, {true, true, true}, {4, 4, 4}, 1};
    EXPECT_EQ(device->writeAmplifierParam(param),
              OperationResult::failed(517, "Wrong number of channels is specified"));

    param = {{1, 0, 0, 1}, {false, true, true, false}, {1, 3, 4, 6}, 4};
    ASSERT_TRUE(device->writeAmplifierParam(param));
    EXPECT_EQ(rig.peer->amplifierFrame(),
              (std::vector<uint8_t>{0x0A, 1, 1, 0, 2, 0, 3, 1, 5, 0, 3, 0, 3, 0, 3, 0, 3, 4, 0, 1, 1, 0, 0, 0, 0, 0}));
    Morvex2AmplifierParam stored;
    ASSERT_TRUE(device->readAmplifierParam(stored));
    EXPECT_EQ(stored.modes, param.modes);
    EXPECT_EQ(stored.current, 4);

    // A gain no table knows is refused in a slot past the device's four channels too, unsent.
    const size_t framesBefore = rig.framesAfter(0).size();
    Morvex2AmplifierParam unusedSlot{
        {1, 1, 1, 1, 0, 0, 0, 0}, std::vector<bool>(8, false), {4, 4, 4, 4, 4, 11, 4, 4}, 1};
    EXPECT_EQ(device->writeAmplifierParam(unusedSlot),
              OperationResult::failed(517, "The specified Gain value is not supported"));
    EXPECT_EQ(rig.framesAfter(0).size(), framesBefore);
    ASSERT_TRUE(device->readAmplifierParam(stored));
    EXPECT_EQ(stored.gains, param.gains);

    rig.peer->setRefusal(3, 0x0A);
    param.current = 2;
    EXPECT_EQ(device->writeAmplifierParam(param), OperationResult::failed(3, "Device error: [KSP_ERROR_BUSSY]"));
    ASSERT_TRUE(device->readAmplifierParam(stored));
    EXPECT_EQ(stored.current, 4);
}

// Modes take 0 and 1 only, in every slot of the record: anything else is refused before a frame
// goes out, and the record kept is the last one taken, which is taken again as it is.
TEST(Morvex2DeviceTest, ModesOutsideTheTableAreRefusedUnsent) {
    StreamRig rig(morvex2Settings('G', 2));
    auto device = make(rig);
    const Morvex2AmplifierParam good{{1, 0, 1, 1, 0, 1, 0, 0},
                                     {true, false, true, true, false, false, false, false},
                                     {1, 3, 4, 6, 255, 255, 255, 255},
                                     2};
    ASSERT_TRUE(device->writeAmplifierParam(good));
    const std::vector<uint8_t> sent = rig.peer->amplifierFrame();
    const size_t frames = rig.framesAfter(0).size();
    for (const auto& [slot, mode] : {std::pair<size_t, uint8_t>{0, 0xFF}, {3, 2}, {6, 0xFF}}) {
        Morvex2AmplifierParam bad = good;
        bad.modes[slot] = mode;
        EXPECT_EQ(device->writeAmplifierParam(bad),
                  OperationResult::failed(517, "The specified Mode value is not supported"))
            << "slot " << slot << " mode " << int(mode);
    }
    EXPECT_EQ(rig.framesAfter(0).size(), frames);

    Morvex2AmplifierParam stored;
    ASSERT_TRUE(device->readAmplifierParam(stored));
    EXPECT_EQ(stored.modes, good.modes);
    ASSERT_TRUE(device->writeAmplifierParam(stored));
    EXPECT_EQ(rig.peer->amplifierFrame(), sent);
}

TEST(Morvex2DeviceTest, CommandsOfTheDeviceClass) {
    StreamRig rig(morvex2Settings('G', 3));
    auto device = make(rig);
    ASSERT_TRUE(device->execCommand(SensorCommand::StartSignal));
    ASSERT_TRUE(device->execCommand(SensorCommand::StopSignal));
    ASSERT_TRUE(device->execCommand(SensorCommand::Idle));
    EXPECT_EQ(device->execCommand(SensorCommand::FindMe), OperationResult::failed(514, "Unsupported command"));
    EXPECT_EQ(device->execCommand(SensorCommand::StartSignalAndResist),
              OperationResult::failed(514, "Unsupported Command: [StartSignalAndResist]"));
    ASSERT_TRUE(device->execCommand(SensorCommand::StartMEMS));
    ASSERT_TRUE(device->execCommand(SensorCommand::StopFPG));
    EXPECT_EQ(rig.framesAfter(2), (Frames{{0x03}, {0x01}, {0x02}, {0x07, 0x89}, {0x08, 0x2D}}));
    EXPECT_FALSE(device->isSupportedCommand(SensorCommand::StartSignalAndResist));
    EXPECT_TRUE(device->isSupportedCommand(SensorCommand::StartFPG));
    // Signal and resistance one at a time, idle, power-down, and both side streams.
    EXPECT_EQ(device->getCommands(), (VexaDevice::Sensor::CommandSet{0, 1, 2, 3, 4, 5, 21, 22, 23, 24}));
}

TEST(Morvex2DeviceTest, ReadersAndPing) {
    StreamRig rig(morvex2Settings('G', 3));
    auto device = make(rig);
    uint8_t byte = 0;
    device->readSamplingFrequency(byte);
    EXPECT_EQ(byte, 4);
    device->readFirmwareMode(byte);
    EXPECT_EQ(byte, 1);
    device->readModelCode(byte);
    EXPECT_EQ(byte, 'G');
    device->readSamplingFrequencyFPG(byte);
    EXPECT_EQ(byte, 2);
    device->readSensorMode(byte);
    EXPECT_EQ(byte, 2);
    int32_t battery = 0;
    device->readBattPower(battery);
    EXPECT_EQ(battery, 77);
    std::string serial;
    device->readSerialNumber(serial);
    EXPECT_EQ(serial, "MX2-000007");
    VexaDevice::DeviceVersion version;
    device->readFirmwareVersion(version);
    EXPECT_EQ(version.firmwareMajor, 2u);
    EXPECT_EQ(version.modelMinor, 3);

    ASSERT_TRUE(device->ping(0x1234));
    EXPECT_TRUE(TestSupport::waitFor([&] { return rig.peer->pings() == Frames{{0x06, 0x34}}; }));
}

TEST(Morvex2DeviceTest, ChannelListsByModel) {
    StreamRig wide(morvex2Settings('0', 3));
    std::vector<VexaDevice::Sensor::EEGChannelInfo> channels;
    ASSERT_TRUE(make(wide)->readSensorChannels(channels));
    ASSERT_EQ(channels.size(), 8u);
    EXPECT_EQ(channels[0].name, "O1");
    EXPECT_EQ(channels[0].id, 6);
    EXPECT_EQ(channels[0].dataIndex, 3);
    EXPECT_EQ(channels[7].name, "Fp1");
    EXPECT_EQ(channels[7].type, EEGChannelType::Fp1);

    StreamRig narrow(morvex2Settings('G', 2));
    ASSERT_TRUE(make(narrow)->readSensorChannels(channels));
    ASSERT_EQ(channels.size(), 4u);
    EXPECT_EQ(channels[0].id, 3);
    EXPECT_EQ(channels[3].type, EEGChannelType::T4);

    StreamRig other(morvex2Settings('P', 1));
    ASSERT_TRUE(make(other)->readSensorChannels(channels));
    ASSERT_EQ(channels.size(), 4u);
    EXPECT_EQ(channels[2].name, "Any");
    EXPECT_EQ(channels[2].id, 2);
}

TEST(Morvex2DeviceTest, DisconnectingAStreamingDevicePowersItDownFirst) {
    StreamRig rig(morvex2Settings('G', 2));
    auto device = make(rig);
    ASSERT_TRUE(device->execCommand(SensorCommand::StartSignal));
    ASSERT_TRUE(device->disconnect());
    EXPECT_EQ(rig.framesAfter(2), (Frames{{0x03}, {0x01}}));
    int32_t state = 0;
    device->readState(state);
    EXPECT_EQ(state, 1);

    // Connecting again reads the device afresh.
    rig.peer->setBattery(41);
    ASSERT_TRUE(device->connect());
    int32_t battery = 0;
    device->readBattPower(battery);
    EXPECT_EQ(battery, 41);
}

// Releasing the device while it streams and a host subscriber is busy: the worker is stopped and
// joined, nothing runs on a released protocol.
TEST(Morvex2DeviceTest, ReleasedWhileStreaming) {
    StreamRig rig(morvex2Settings('f', 3));
    auto device = make(rig);
    std::atomic<int> batches{0};
    auto subscriber = std::make_shared<std::function<void(const std::vector<_SignalData>&)>>(
        [&](std::vector<_SignalData>) { ++batches; });
    device->signalEvent().lock()->subscribe(subscriber);
    ASSERT_TRUE(device->execCommand(SensorCommand::StartSignal));
    ASSERT_TRUE(TestSupport::waitFor([&] { return batches > 2; }));
    device.reset();
    const int seen = batches;
    rig.radio->drain();
    EXPECT_EQ(batches, seen);
}
