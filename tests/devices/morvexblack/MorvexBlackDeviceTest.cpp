// Whole flows of the MorvexBlack device class against emulated devices on the simulated radio:
// the first variant against the MorvexBlack device, the other two against Wrenlet devices.

#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <future>

#include "sdk/core/RtException.hpp"
#include "sdk/devices/morvex/MorvexBlackBLE.hpp"
#include "sim/peers/kestrane/CommandStreamPeerModel.hpp"
#include "sim/peers/morvexblack/MorvexBlackPeer.hpp"
#include "sim/peers/wrenlet/WrenletPeer.hpp"
#include "tests/devices/kestrane/StreamRig.hpp"

using namespace std::chrono_literals;
using namespace VexaDevice::MorvexBlack;
using KestraneTest::fastBle;
using KestraneTest::fastProtocol;
using KestraneTest::Frames;
using KestraneTest::Recorder;
using TestSupport::waitFor;
using VexaDevice::OperationResult;
using VexaDevice::Devices::ProtocolTiming;
using VexaDevice::Kestrane::_FPGData;
using VexaDevice::Kestrane::_IMUData;
using VexaDevice::Kestrane::_ResistData;
using VexaDevice::Kestrane::_SignalData;
using VexaDevice::Sensor::SensorCommand;
using VexaDevice::Sensor::SensorParameter;
using VexaSim::CommandStreamPeerModel;
using VexaSim::MorvexBlackPeer;
using VexaSim::MorvexBlackPeerSettings;

namespace {

constexpr uint64_t Address = 0xC0FFEE000004;
using Bytes = std::vector<uint8_t>;
const Bytes PowerDown{0x01};
const Bytes StopFpg{0x08, 0x2D};
const Bytes StopMotion{0x07, 0x09};

struct MorvexBlackDevice : ::testing::Test {
    std::shared_ptr<VexaSim::SimRadio> radio = VexaSim::SimRadio::create();
    VexaSim::SimRadioInstallation installed{radio};
    std::shared_ptr<MorvexBlackPeer> peer;
    std::shared_ptr<VexaDevice::BLE::BLEDevice> ble;
    std::shared_ptr<MorvexBLE> sensor;

    void attach(MorvexBlackPeerSettings settings = {}) {
        peer = MorvexBlackPeer::attach(*radio, Address, std::move(settings), {1ms});
        ble = VexaDevice::BLE::BLEDevice::create(VexaDevice::BLE::DeviceId::fromUInt64(Address), {}, fastBle());
    }

    void open(MorvexBlackPeerSettings settings = {}, ProtocolTiming timing = fastProtocol()) {
        attach(std::move(settings));
        sensor = makeMorvexBlackBLE(ble, 0, timing);
    }

    Frames frames() const { return peer->commandFrames(); }
};

double signalVolts(int32_t count, double gainFactor) {
    return count * static_cast<double>(2.4f) / (8388607.0 * gainFactor);
}

// The variant's protocol, told apart by what only it does.
TEST_F(MorvexBlackDevice, ConnectSequenceOfTheFirstVariantStopsEverythingAndReadsIdentity) {
    MorvexBlackPeerSettings settings;
    settings.mode = 3;  // the device was left streaming
    open(settings);
    EXPECT_EQ(frames(), (Frames{PowerDown, StopFpg, StopMotion}));
    EXPECT_EQ(peer->mode(), 1);

    std::string text;
    sensor->readSerialNumber(text);
    EXPECT_EQ(text, "MB-000013");
    VexaDevice::DeviceVersion version;
    sensor->readFirmwareVersion(version);
    EXPECT_EQ(version.firmwareMajor, 1u);
    EXPECT_EQ(version.firmwarePatch, 3u);
    uint8_t code = 0;
    sensor->readModelCode(code);
    EXPECT_EQ(code, 'G');
    EXPECT_EQ(sensor->readBattPower(), 81);
    sensor->readSensorMode(code);
    EXPECT_EQ(code, 1);
    sensor->readSamplingFrequency(code);
    EXPECT_EQ(code, 4);
    sensor->readSamplingFrequencyMEMS(code);
    EXPECT_EQ(code, 4);
    sensor->readSamplingFrequencyFPG(code);
    EXPECT_EQ(code, 6);
    sensor->readSamplingFrequencyResist(code);
    EXPECT_EQ(code, 255);
    int32_t firmwareMode = 0;
    sensor->readFirmwareMode(firmwareMode);
    EXPECT_EQ(firmwareMode, 1);

    EXPECT_EQ(sensor->getCommands(), (VexaDevice::Sensor::CommandSet{0, 1, 2, 3, 4, 5, 21, 22, 23, 24}));
    EXPECT_EQ(sensor->getFeatures(), (VexaDevice::Sensor::FeatureSet{0, 1, 4, 5}));
    EXPECT_TRUE(sensor->isSupportedParameter(SensorParameter::SamplingFrequencyFPG));
    EXPECT_FALSE(sensor->isSupportedParameter(SensorParameter::Amplifier));

    EXPECT_EQ(sensor->execCommand(SensorCommand::StartSignalAndResist), OperationResult::failed(0, ""));
    VexaDevice::Kestrane::WrenletAmplifierParam amplifier;
    EXPECT_EQ(sensor->readAmplifierParam(amplifier), OperationResult::failed(515, "Unsupported parameter"));
}

TEST_F(MorvexBlackDevice, DeviceWithoutMotionAndPhotoplethysmogramOffersNeither) {
    MorvexBlackPeerSettings settings;
    settings.hasMotion = false;
    settings.hasFpg = false;
    open(settings);
    EXPECT_TRUE(frames().empty()) << "an idle device without streams needs no frame";
    EXPECT_EQ(sensor->getCommands(), (VexaDevice::Sensor::CommandSet{0, 1, 2, 3, 21, 22}));
    EXPECT_FALSE(sensor->isSupportedParameter(SensorParameter::AccelerometerSens));
    EXPECT_EQ(sensor->execCommand(SensorCommand::StartMEMS), OperationResult::failed(514, "StartMEMS"));
    EXPECT_EQ(sensor->execCommand(SensorCommand::StopFPG), OperationResult::failed(514, "StopFPG"));
    EXPECT_EQ(sensor->writeIrAmplitude(3), OperationResult::failed(515, "Unsupported parameter [IrAmplitude]"));
    uint8_t code = 0;
    sensor->readSamplingFrequencyMEMS(code);
    EXPECT_EQ(code, 255);
    sensor->readAccelerometerSens(code);
    EXPECT_EQ(code, 255);
}

TEST_F(MorvexBlackDevice, AnotherFamilyOrAnUnknownVersionIsRefused) {
    MorvexBlackPeerSettings settings;
    settings.information.modelNumber = "80.0";
    attach(settings);
    try {
        makeMorvexBlackBLE(ble, 0, fastProtocol());
        FAIL() << "a device of another family was accepted";
    } catch (const VexaDevice::Utility::rt_exception& e) {
        EXPECT_STREQ(e.what(), "Device unsupported. Failed recognized the device Family");
    }
    EXPECT_FALSE(peer->statusCharacteristic()->isNotifying()) << "a refused device is left without notification";
}

TEST_F(MorvexBlackDevice, SignalRecordsAreTheDevicesWaveformAtTheChosenGain) {
    open();
    Recorder<std::vector<_SignalData>> signal(sensor->signalEvent());
    EXPECT_EQ(sensor->writeGain(7), OperationResult::failed(517, "Failed setPGAGain. Wrong param value"));
    ASSERT_TRUE(sensor->writeGain(2));
    uint8_t gain = 0;
    sensor->readGain(gain);
    EXPECT_EQ(gain, 2);
    ASSERT_TRUE(sensor->execCommand(SensorCommand::StartSignal));
    EXPECT_EQ(frames().back(), (Bytes{0x03, 0x30, 0x30, 0x30, 0x30}));
    EXPECT_TRUE(sensor->execCommand(SensorCommand::StartSignal)) << "already streaming";
    EXPECT_EQ(frames().size(), 3u) << "nothing sent for a mode the device already reports";

    const OperationResult busy = sensor->writeGain(3);
    EXPECT_EQ(busy.code, 516) << "a refusal because of the mode is no send failure";
    EXPECT_EQ(busy.message, "The parameters of the amplifier are allowed to be set in modes PowerDown or Idle");

    ASSERT_TRUE(signal.atLeast(200));
    const auto records = signal.records();
    for (size_t i = 0; i < records.size(); ++i) {
        const _SignalData& record = records[i];
        ASSERT_EQ(record.Samples.size(), 4u);
        if (i > 0) {
            EXPECT_EQ(record.PackNum, records[i - 1].PackNum + 1) << "no record lost or repeated";
        }
        for (uint32_t ch = 0; ch < 4; ++ch)
            EXPECT_NEAR(record.Samples[ch], signalVolts(CommandStreamPeerModel::signalCount(ch, record.PackNum), 3.0),
                        1e-12)
                << "record " << record.PackNum << " channel " << ch;
    }
}

TEST_F(MorvexBlackDevice, ResistanceComesFromTheSignalWindowsAndNoSignalIsPublished) {
    open();
    Recorder<std::vector<_SignalData>> signal(sensor->signalEvent());
    Recorder<std::vector<_ResistData>> resistance(sensor->resistEvent());
    ASSERT_TRUE(sensor->execCommand(SensorCommand::StartResist));
    EXPECT_EQ(frames().back(), (Bytes{0x04, 0x30, 0x30, 0x30, 0x30}));
    ASSERT_TRUE(resistance.atLeast(3));
    const auto ohms = MorvexBlackPeerSettings{}.resistanceOhms;
    for (const _ResistData& record : resistance.records()) {
        ASSERT_EQ(record.Samples.size(), 4u);
        for (size_t ch = 0; ch < 4; ++ch)
            EXPECT_NEAR(record.Samples[ch], ohms[ch], ohms[ch] * 1e-4) << "channel " << ch;
    }
    EXPECT_EQ(signal.count(), 0u);

    ASSERT_TRUE(sensor->execCommand(SensorCommand::StopResist));
    EXPECT_EQ(frames().back(), PowerDown);
    EXPECT_EQ(peer->mode(), 1);
}

// Packs of the new mode arrive before the command's reply has been taken in: from resistance to
// signal, every signal record still carries the signal gain, none the resistance gain.
TEST_F(MorvexBlackDevice, SignalAfterResistanceIsReadAtTheSignalGainFromItsFirstRecord) {
    open();
    Recorder<std::vector<_SignalData>> signal(sensor->signalEvent());
    Recorder<std::vector<_ResistData>> resistance(sensor->resistEvent());
    for (int round = 0; round < 3; ++round) {
        ASSERT_TRUE(sensor->execCommand(SensorCommand::StartResist));
        ASSERT_TRUE(resistance.atLeast(static_cast<size_t>(round + 1)));
        ASSERT_TRUE(sensor->execCommand(SensorCommand::StartSignal));
        ASSERT_TRUE(signal.atLeast(static_cast<size_t>(40 * (round + 1))));
    }
    ASSERT_TRUE(sensor->execCommand(SensorCommand::StopSignal));
    for (const _SignalData& record : signal.records())
        for (uint32_t ch = 0; ch < 4; ++ch)
            ASSERT_NEAR(record.Samples[ch], signalVolts(CommandStreamPeerModel::signalCount(ch, record.PackNum), 6.0),
                        1e-12)
                << "record " << record.PackNum << " channel " << ch;
    const auto ohms = MorvexBlackPeerSettings{}.resistanceOhms;
    for (const _ResistData& record : resistance.records())
        for (size_t ch = 0; ch < 4; ++ch)
            EXPECT_NEAR(record.Samples[ch], ohms[ch], ohms[ch] * 1e-4) << "channel " << ch;
}

// The device switches to resistance but every status notification about it is lost: the start
// fails, and the resistance windows that stream meanwhile never reach the host as signal.
TEST_F(MorvexBlackDevice, AnUnseenSwitchToResistanceNeverDeliversItsWindowsAsSignal) {
    open({}, KestraneTest::lostReplyProtocol());
    Recorder<std::vector<_SignalData>> signal(sensor->signalEvent());
    Recorder<std::vector<_ResistData>> resistance(sensor->resistEvent());
    ASSERT_TRUE(sensor->writeGain(2));
    ASSERT_TRUE(sensor->execCommand(SensorCommand::StartSignal));
    ASSERT_TRUE(signal.atLeast(20));
    peer->statusCharacteristic()->dropNextNotifications(1000);
    EXPECT_FALSE(sensor->execCommand(SensorCommand::StartResist));
    EXPECT_EQ(peer->mode(), 4);
    // The status read afterwards tells the windows' meaning: they come out as resistance.
    ASSERT_TRUE(resistance.atLeast(2));

    const auto records = signal.records();
    for (const _SignalData& record : records) {
        ASSERT_EQ(record.Samples.size(), 4u);
        for (uint32_t ch = 0; ch < 4; ++ch)
            ASSERT_NEAR(record.Samples[ch], signalVolts(CommandStreamPeerModel::signalCount(ch, record.PackNum), 3.0),
                        1e-12)
                << "record " << record.PackNum << " channel " << ch << " is not the device's signal";
    }

    // The mode was read again: stopping the measurement reaches the device.
    peer->statusCharacteristic()->dropNextNotifications(0);
    ASSERT_TRUE(sensor->execCommand(SensorCommand::StopResist));
    EXPECT_EQ(peer->mode(), 1);
}

TEST_F(MorvexBlackDevice, MotionAndPhotoplethysmogramRecords) {
    open();
    Recorder<std::vector<_IMUData>> motion(sensor->memsEvent());
    Recorder<std::vector<_FPGData>> light(sensor->fpgEvent());
    ASSERT_TRUE(sensor->writeAccelerometerSens(2));
    ASSERT_TRUE(sensor->execCommand(SensorCommand::StartMEMS));
    EXPECT_EQ(frames().back(), (Bytes{0x07, 0x80 | 2 << 3 | 1}));
    ASSERT_TRUE(sensor->execCommand(SensorCommand::StartFPG));
    EXPECT_EQ(frames().back(), (Bytes{0x08, 0xAD}));
    ASSERT_TRUE(motion.atLeast(40));
    ASSERT_TRUE(light.atLeast(40));

    for (const _IMUData& record : motion.records()) {
        EXPECT_DOUBLE_EQ(record.Accelerometer[0],
                         CommandStreamPeerModel::motionCount(0, record.PackNum) * 8.0 / 32767.0);
        EXPECT_DOUBLE_EQ(record.Gyroscope[1], CommandStreamPeerModel::motionCount(4, record.PackNum) * 500.0 / 32767.0);
    }
    for (const _FPGData& record : light.records()) {
        EXPECT_EQ(record.Value1, CommandStreamPeerModel::fpgCount(0, record.PackNum));
        EXPECT_EQ(record.Value2, CommandStreamPeerModel::fpgCount(1, record.PackNum));
    }

    // A new code for a running stream reaches the device at once.
    ASSERT_TRUE(sensor->writeRedAmplitude(2));
    EXPECT_EQ(frames().back(), (Bytes{0x08, 0x80 | 5 << 3 | 2}));
    ASSERT_TRUE(sensor->execCommand(SensorCommand::StopMEMS));
    EXPECT_FALSE(peer->motionRunning());
    EXPECT_TRUE(peer->fpgRunning());
}

TEST_F(MorvexBlackDevice, StaleStatusIsNotTakenForTheAnswer) {
    open();
    Recorder<VexaDevice::Kestrane::DevAmpStatus> modes(sensor->ampModeEvent());
    // Every answer is preceded by the status of the mode the device is leaving.
    peer->setStaleFirst(true);
    ASSERT_TRUE(sensor->execCommand(SensorCommand::StartSignal));
    EXPECT_EQ(frames().size(), 3u) << "the first frame was answered; no repetition";
    uint8_t mode = 0;
    sensor->readSensorMode(mode);
    EXPECT_EQ(mode, 3);
}

TEST_F(MorvexBlackDevice, DeviceThatAcknowledgesWithoutSwitchingIsNoSuccess) {
    open({}, KestraneTest::lostReplyProtocol());
    peer->setIgnoring(true);
    EXPECT_EQ(sensor->execCommand(SensorCommand::StartSignal),
              OperationResult::failed(513, "Device error: [ERR_DATA_SEND]"));
    EXPECT_EQ(frames().size(), 2u + 3u) << "three attempts";
    peer->setIgnoring(false);
    peer->setRefusal(1);
    EXPECT_EQ(sensor->execCommand(SensorCommand::StartResist),
              OperationResult::failed(1, "Device error: [KSP_ERROR_CMD_PARAM]"));
}

TEST_F(MorvexBlackDevice, ShortAndDoubleStatusNotifications) {
    open();
    Recorder<int> battery(sensor->batteryEvent());
    peer->sendStatus({3, 0});
    peer->sendStatus({2, 0, 50, 0, 2, 0, 60, 0});
    ASSERT_TRUE(waitFor([&] { return sensor->readBattPower() == 60; }));
    uint8_t mode = 0;
    sensor->readSensorMode(mode);
    EXPECT_EQ(mode, 2) << "the short pack changed nothing";
    // The level is stored before the worker publishes it: wait for the publication too.
    EXPECT_TRUE(waitFor([&] {
        const auto events = battery.events();
        return !events.empty() && events.back() == 60;
    }));
}

TEST_F(MorvexBlackDevice, DisconnectPowersDownOnlyAReachableDevice) {
    open();
    ASSERT_TRUE(sensor->execCommand(SensorCommand::StartSignal));
    ASSERT_TRUE(sensor->disconnect());
    EXPECT_EQ(frames().back(), PowerDown);
    int32_t state = 0;
    sensor->readState(state);
    EXPECT_EQ(state, 1);

    // Link loss while streaming; back again, identity and status are read anew.
    ASSERT_TRUE(sensor->connect());
    ASSERT_TRUE(sensor->execCommand(SensorCommand::StartSignal));
    const size_t sent = frames().size();
    peer->peripheral()->dropLink();
    ASSERT_TRUE(waitFor([&] { return ble->isDisconnected(); }));
    ASSERT_TRUE(sensor->disconnect());
    EXPECT_EQ(frames().size(), sent) << "nothing is sent to a device out of reach";
    EXPECT_FALSE(sensor->execCommand(SensorCommand::StartSignal)) << "the device streams, but the link is down";
    EXPECT_FALSE(sensor->execCommand(SensorCommand::StopResist));

    peer->setBattery(33);
    ASSERT_TRUE(sensor->connect());
    EXPECT_EQ(sensor->readBattPower(), 33);
    Recorder<std::vector<_SignalData>> signal(sensor->signalEvent());
    ASSERT_TRUE(sensor->execCommand(SensorCommand::PowerDown));
    ASSERT_TRUE(sensor->execCommand(SensorCommand::StartSignal));
    EXPECT_TRUE(signal.atLeast(16));
}

TEST_F(MorvexBlackDevice, ReleasedWhileStreamingPowersTheDeviceDownOnce) {
    open();
    Recorder<std::vector<_SignalData>> signal(sensor->signalEvent());
    ASSERT_TRUE(sensor->execCommand(SensorCommand::StartSignal));
    ASSERT_TRUE(signal.atLeast(16));
    const size_t sent = frames().size();
    sensor.reset();
    EXPECT_EQ(frames().size(), sent + 1);
    EXPECT_EQ(frames().back(), PowerDown);
    EXPECT_EQ(peer->mode(), 1);
    EXPECT_TRUE(ble->isDisconnected());
}

TEST_F(MorvexBlackDevice, StoppedAndReleasedFromInsideItsOwnResistanceCallback) {
    open();
    auto holder = std::make_shared<std::shared_ptr<MorvexBLE>>(std::move(sensor));
    std::atomic<bool> released{false};
    std::promise<OperationResult> stopped;
    auto callback = std::make_shared<std::function<void(const std::vector<_ResistData>&)>>(
        [holder, &released, &stopped](std::vector<_ResistData>) {
            if (released.exchange(true)) return;
            // A command from the worker's own publication, then the host lets go of the sensor.
            stopped.set_value((*holder)->execCommand(SensorCommand::StopResist));
            holder->reset();
        });
    (*holder)->resistEvent().lock()->subscribe(callback);
    ASSERT_TRUE((*holder)->execCommand(SensorCommand::StartResist));
    auto result = stopped.get_future();
    ASSERT_EQ(result.wait_for(20s), std::future_status::ready);
    EXPECT_TRUE(result.get());
    ASSERT_TRUE(waitFor([&] { return ble->isDisconnected(); }));
    EXPECT_EQ(peer->mode(), 1);
}

TEST_F(MorvexBlackDevice, PingIsWrittenWithoutAnswer) {
    open();
    ASSERT_TRUE(sensor->ping(0x1FF));
    ASSERT_TRUE(waitFor([&] { return peer->pings().size() == 1; }));
    EXPECT_EQ(peer->pings().front(), (Bytes{0x06, 0xFF}));
}

// Variants 1 and above: the Wrenlet protocols behind the same class.
struct MorvexBlackWrenletVariant : ::testing::TestWithParam<std::pair<uint8_t, VexaSim::WrenletPeerGeneration>> {};

TEST_P(MorvexBlackWrenletVariant, ModelByteChoosesTheWrenletProtocol) {
    const auto [variant, generation] = GetParam();
    KestraneTest::StreamRig rig(VexaSim::wrenletSettings(generation, 'G'));
    const auto sensor = makeMorvexBlackBLE(rig.open(), variant, fastProtocol());

    uint8_t gain = 0;
    sensor->readGain(gain);
    EXPECT_EQ(gain, 4);
    EXPECT_EQ(sensor->writeGain(2), OperationResult::failed(515, "Unsupported parameter"));
    VexaDevice::Kestrane::WrenletAmplifierParam amplifier;
    EXPECT_TRUE(sensor->readAmplifierParam(amplifier));

    Recorder<std::vector<_SignalData>> signal(sensor->signalEvent());
    Recorder<std::vector<_ResistData>> resistance(sensor->resistEvent());
    const size_t before = rig.peer->commandFrames().size();
    EXPECT_TRUE(sensor->execCommand(SensorCommand::StartSignalAndResist));
    EXPECT_EQ(rig.peer->commandFrames().at(before), Bytes{0x09}) << "the Wrenlet command";
    EXPECT_TRUE(signal.atLeast(16));
    EXPECT_TRUE(resistance.atLeast(2));
    ASSERT_TRUE(sensor->execCommand(SensorCommand::StopSignalAndResist));
    EXPECT_EQ(rig.peer->mode(), 1);
    int32_t firmwareMode = 0;
    sensor->readFirmwareMode(firmwareMode);
    EXPECT_EQ(firmwareMode, 1);
}

INSTANTIATE_TEST_SUITE_P(Variants, MorvexBlackWrenletVariant,
                         ::testing::Values(std::pair{uint8_t{1}, VexaSim::WrenletPeerGeneration::First},
                                           std::pair{uint8_t{2}, VexaSim::WrenletPeerGeneration::Second},
                                           std::pair{uint8_t{7}, VexaSim::WrenletPeerGeneration::Second}));

}  // namespace
