// Whole flows of the Wrenlet protocols against the emulated sensor, in both generations.

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <thread>

#include "sdk/core/RtException.hpp"
#include "sdk/devices/common/AmplifierGainCode.hpp"
#include "sdk/devices/kestrane/WrenletBleProtocol.hpp"
#include "sim/peers/wrenlet/WrenletPeer.hpp"
#include "tests/devices/kestrane/StreamRig.hpp"

using namespace VexaDevice::Kestrane;
using namespace KestraneTest;
using VexaDevice::OperationResult;
using VexaDevice::Devices::ProtocolTiming;
using VexaSim::CommandStreamPeerModel;
using VexaSim::CommandStreamPeerSettings;
using VexaSim::WrenletPeerGeneration;
using VexaSim::wrenletSettings;

namespace {

constexpr double Reference = static_cast<double>(2.4f);
constexpr double Infinity = std::numeric_limits<double>::infinity();
const std::vector<uint8_t> StartUpAmplifier{0x0A, 1, 3, 1, 3, 1, 3, 1, 3, 1, 1, 1, 1, 1};

double signalVolts(uint32_t channel, uint32_t record, double gain = 6.0) {
    return CommandStreamPeerModel::signalCount(channel, record) * Reference / (8388607.0 * gain);
}

class WrenletProtocolTest : public ::testing::TestWithParam<WrenletPeerGeneration> {
protected:
    CommandStreamPeerSettings settings(char model = 'P') const { return wrenletSettings(GetParam(), model); }

    std::shared_ptr<WrenletBleProtocol> make(StreamRig& rig, const ProtocolTiming& timing = fastProtocol()) {
        auto device = rig.open();
        auto information = StreamRig::deviceInformation(*device);
        auto protocol = GetParam() == WrenletPeerGeneration::First
                            ? makeWrenletBleProtocol(device, information, timing)
                            : makeWrenletBleProtocol2(device, information, timing);
        devices_.push_back(device);
        return protocol;
    }

    std::vector<std::shared_ptr<VexaDevice::BLE::BLEDevice>> devices_;
};

std::string generationName(const ::testing::TestParamInfo<WrenletPeerGeneration>& info) {
    return info.param == WrenletPeerGeneration::First ? "BigEndianTwoByteCounters" : "LittleEndianFourByteCounters";
}

INSTANTIATE_TEST_SUITE_P(Generations, WrenletProtocolTest,
                         ::testing::Values(WrenletPeerGeneration::First, WrenletPeerGeneration::Second),
                         generationName);

}  // namespace

TEST_P(WrenletProtocolTest, StartUpSetsTheAmplifierAndLeavesAnIdleDeviceAlone) {
    StreamRig rig(settings());
    auto protocol = make(rig);
    EXPECT_EQ(rig.peer->commandFrames(), Frames{StartUpAmplifier});
    WrenletAmplifierParam amplifier;
    ASSERT_TRUE(protocol->amplifierParam(amplifier));
    EXPECT_EQ(amplifier.gain[3], 4);
    EXPECT_EQ(amplifier.current, 1);
    EXPECT_EQ(protocol->ampMode(), 2);
    EXPECT_EQ(protocol->battPower(), 77);
    EXPECT_EQ(protocol->samplingFrequency(), 4);
    EXPECT_EQ(protocol->serialNumber(), "WR-000042");
    EXPECT_EQ(protocol->modelCode(), 'P');
}

TEST_P(WrenletProtocolTest, StartUpBringsAMeasuringDeviceToRest) {
    CommandStreamPeerSettings busy = settings();
    busy.mode = 3;
    busy.motionRunning = true;
    busy.fpgRunning = true;
    StreamRig rig(busy);
    auto protocol = make(rig);
    EXPECT_EQ(rig.peer->commandFrames(), (Frames{StartUpAmplifier, {0x01}, {0x08, 0x2D}, {0x07, 0x09}}));
    EXPECT_EQ(rig.peer->mode(), 1);
}

TEST_P(WrenletProtocolTest, SignalRecordsCarryThePeersValuesInOrder) {
    StreamRig rig(settings());
    auto protocol = make(rig);
    Recorder<std::vector<_SignalData>> signal(protocol->signalEvent());
    Recorder<DevAmpStatus> modes(protocol->ampModeEvent());
    ASSERT_TRUE(protocol->startSignal());
    EXPECT_EQ(rig.framesAfter(1), Frames{{0x03}});
    ASSERT_TRUE(signal.atLeast(24));
    const auto records = signal.records();
    for (size_t i = 0; i < records.size(); ++i) {
        const _SignalData& record = records[i];
        if (i > 0) {
            EXPECT_EQ(record.PackNum, records[i - 1].PackNum + 1);
        }
        EXPECT_EQ(record.Marker, CommandStreamPeerModel::markerOf(record.PackNum));
        ASSERT_EQ(record.Samples.size(), 4u);
        for (uint32_t ch = 0; ch < 4; ++ch)
            EXPECT_DOUBLE_EQ(record.Samples[ch], signalVolts(ch, record.PackNum)) << record.PackNum << " " << ch;
    }
    EXPECT_TRUE(TestSupport::waitFor([&] {
        const auto seen = modes.events();
        return std::find(seen.begin(), seen.end(), DevAmpStatus::Signal) != seen.end();
    }));

    // The device already streams: nothing is sent.
    ASSERT_TRUE(protocol->startSignal());
    EXPECT_EQ(rig.framesAfter(1).size(), 1u);
}

TEST_P(WrenletProtocolTest, ResistanceRecordsCarryThePeersValuesWithOutOfRangeAsInfinity) {
    StreamRig rig(settings());
    auto protocol = make(rig);
    Recorder<std::vector<_ResistData>> resist(protocol->resistEvent());
    ASSERT_TRUE(protocol->startResist());
    EXPECT_EQ(rig.framesAfter(1), Frames{{0x04}});
    ASSERT_TRUE(resist.atLeast(3));
    for (const _ResistData& record : resist.records())
        EXPECT_EQ(record.Samples, (std::vector<double>{50000, 100000, 150000, Infinity}));
}

TEST_P(WrenletProtocolTest, SignalAndResistanceTogetherThenIdleAndPowerDown) {
    StreamRig rig(settings());
    auto protocol = make(rig);
    Recorder<std::vector<_SignalData>> signal(protocol->signalEvent());
    Recorder<std::vector<_ResistData>> resist(protocol->resistEvent());
    ASSERT_TRUE(protocol->startSignalAndResist());
    EXPECT_TRUE(signal.atLeast(8));
    EXPECT_TRUE(resist.atLeast(1));
    ASSERT_TRUE(protocol->setIdle());
    ASSERT_TRUE(protocol->powerDown());
    EXPECT_EQ(rig.framesAfter(1), (Frames{{0x09}, {0x02}, {0x01}}));
    EXPECT_EQ(rig.peer->mode(), 1);
}

TEST_P(WrenletProtocolTest, MotionAndPhotoplethysmogramStreamsWithTheirCodes) {
    StreamRig rig(settings());
    auto protocol = make(rig);
    Recorder<std::vector<_IMUData>> motion(protocol->memsEvent());
    Recorder<std::vector<_FPGData>> fpg(protocol->fpgEvent());
    ASSERT_TRUE(protocol->startMEMS());
    ASSERT_TRUE(protocol->startFPG());
    ASSERT_TRUE(motion.atLeast(16));
    ASSERT_TRUE(fpg.atLeast(16));
    for (const _IMUData& record : motion.records()) {
        for (uint32_t axis = 0; axis < 3; ++axis) {
            EXPECT_DOUBLE_EQ(record.Accelerometer[axis],
                             CommandStreamPeerModel::motionCount(axis, record.PackNum) * 4.0 / 32767);
            EXPECT_DOUBLE_EQ(record.Gyroscope[axis],
                             CommandStreamPeerModel::motionCount(axis + 3, record.PackNum) * 500.0 / 32767);
        }
    }
    for (const _FPGData& record : fpg.records()) {
        EXPECT_EQ(record.Value1, CommandStreamPeerModel::fpgCount(0, record.PackNum));
        EXPECT_EQ(record.Value2, CommandStreamPeerModel::fpgCount(1, record.PackNum));
    }

    // A new sensitivity restarts the running stream with it and scales what follows.
    ASSERT_TRUE(protocol->setAccelerometerSens(2));
    EXPECT_EQ(protocol->accelerometerSens(), 2);
    motion.clear();
    ASSERT_TRUE(motion.atLeast(40));
    const _IMUData last = motion.records().back();
    EXPECT_DOUBLE_EQ(last.Accelerometer[1], CommandStreamPeerModel::motionCount(1, last.PackNum) * 8.0 / 32767);

    ASSERT_TRUE(protocol->stopMEMS());
    ASSERT_TRUE(protocol->stopFPG());
    ASSERT_TRUE(protocol->setRedAmplitude(3));  // stream off: stored only
    EXPECT_EQ(rig.framesAfter(1), (Frames{{0x07, 0x89}, {0x08, 0xAD}, {0x07, 0x91}, {0x07, 0x11}, {0x08, 0x2D}}));
    EXPECT_EQ(protocol->redAmplitude(), 3);
}

// The device refuses the restart that carries a new sensitivity: it goes on sending with the
// old one, so the code read back and the scaling of its records stay the old ones.
TEST_P(WrenletProtocolTest, ARefusedRestartKeepsTheCodeTheDeviceStreamsWith) {
    StreamRig rig(settings());
    auto protocol = make(rig);
    Recorder<std::vector<_IMUData>> motion(protocol->memsEvent());
    ASSERT_TRUE(protocol->startMEMS());
    rig.peer->setRefusal(CommandStreamPeerModel::WrongParameter, 0x07);
    EXPECT_FALSE(protocol->setAccelerometerSens(2));
    EXPECT_EQ(protocol->accelerometerSens(), 1);
    motion.clear();
    ASSERT_TRUE(motion.atLeast(16));
    const _IMUData last = motion.records().back();
    EXPECT_DOUBLE_EQ(last.Accelerometer[1], CommandStreamPeerModel::motionCount(1, last.PackNum) * 4.0 / 32767);
    EXPECT_EQ(rig.framesAfter(1), (Frames{{0x07, 0x89}, {0x07, 0x91}}));
}

TEST_P(WrenletProtocolTest, AnAcceptedAmplifierSettingIsSentAndScalesTheSignal) {
    StreamRig rig(settings());
    auto protocol = make(rig);
    WrenletAmplifierParam param;
    param.signalEnabled = {1, 0, 1, 1};
    param.resistEnabled = {0, 1, 1, 0};
    param.gain = {0, 2, 5, 6};
    param.current = 3;
    ASSERT_TRUE(protocol->setAmplifierParam(param));
    EXPECT_EQ(rig.peer->amplifierFrame(), (std::vector<uint8_t>{0x0A, 1, 0, 0, 6, 1, 4, 1, 5, 3, 0, 1, 1, 0}));
    WrenletAmplifierParam stored;
    protocol->amplifierParam(stored);
    EXPECT_EQ(stored.gain, param.gain);
    EXPECT_EQ(stored.signalEnabled, param.signalEnabled);

    Recorder<std::vector<_SignalData>> signal(protocol->signalEvent());
    ASSERT_TRUE(protocol->startSignal());
    ASSERT_TRUE(signal.atLeast(8));
    const _SignalData record = signal.records().front();
    const std::array<double, 4> gains{1, 3, 8, 12};
    for (uint32_t ch = 0; ch < 4; ++ch)
        EXPECT_DOUBLE_EQ(record.Samples[ch], signalVolts(ch, record.PackNum, gains[ch]));
}

TEST_P(WrenletProtocolTest, ARefusedAmplifierSettingIsAnErrorAndChangesNothing) {
    StreamRig rig(settings());
    auto protocol = make(rig);
    rig.peer->setRefusal(CommandStreamPeerModel::WrongParameter, 0x0A);
    WrenletAmplifierParam param;
    param.gain = {1, 1, 1, 1};
    param.current = 2;
    const OperationResult refused = protocol->setAmplifierParam(param);
    EXPECT_EQ(refused, OperationResult::failed(1, "Device error: [KSP_ERROR_CMD_PARAM]"));
    WrenletAmplifierParam stored;
    protocol->amplifierParam(stored);
    EXPECT_EQ(stored.gain[0], 4);
}

TEST_P(WrenletProtocolTest, AmplifierValuesOutOfRangeAreRefusedWithoutSending) {
    StreamRig rig(settings());
    auto protocol = make(rig);
    WrenletAmplifierParam param;
    param.gain = {4, 4, 4, 4};
    param.current = 5;
    EXPECT_EQ(protocol->setAmplifierParam(param),
              OperationResult::failed(517, "The specified Current value is not supported"));
    param.current = 1;
    param.gain[2] = 7;
    EXPECT_EQ(protocol->setAmplifierParam(param),
              OperationResult::failed(517, "The specified Gain value is not supported"));
    EXPECT_TRUE(rig.framesAfter(1).empty());
}

// Every byte of the record is checked, in the slots past the four channels too (they are stored
// as given): a refused record sends nothing and leaves the stored one; the stored one, read
// back, is taken again.
TEST_P(WrenletProtocolTest, EveryByteOutsideItsTableIsRefusedUnsent) {
    StreamRig rig(settings());
    auto protocol = make(rig);
    WrenletAmplifierParam good;
    good.signalEnabled = {1, 0, 1, 1};
    good.resistEnabled = {0, 1, 1, 1};
    good.gain = {0, 2, 5, 6};
    good.gain[9] = VexaDevice::Devices::kNoChannelGain;  // a slot without a channel may say so
    good.current = 2;
    ASSERT_TRUE(protocol->setAmplifierParam(good));
    const std::vector<uint8_t> sent = rig.peer->amplifierFrame();
    const size_t frames = rig.framesAfter(0).size();

    struct Case {
        const char* what;
        void (*spoil)(WrenletAmplifierParam&);
        const char* message;
    };
    const Case cases[] = {
        {"signal 0xFF", [](WrenletAmplifierParam& p) { p.signalEnabled[0] = 0xFF; },
         "The specified Mode value is not supported"},
        {"signal 2", [](WrenletAmplifierParam& p) { p.signalEnabled[3] = 2; },
         "The specified Mode value is not supported"},
        {"unused signal 0xFF", [](WrenletAmplifierParam& p) { p.signalEnabled[4] = 0xFF; },
         "The specified Mode value is not supported"},
        {"flag 2", [](WrenletAmplifierParam& p) { p.resistEnabled[1] = 2; },
         "The specified Flag value is not supported"},
        {"unused flag 0xFF", [](WrenletAmplifierParam& p) { p.resistEnabled[31] = 0xFF; },
         "The specified Flag value is not supported"},
        {"unused gain 11", [](WrenletAmplifierParam& p) { p.gain[5] = 11; },
         "The specified Gain value is not supported"},
        {"gain 255 on a channel", [](WrenletAmplifierParam& p) { p.gain[3] = 255; },
         "The specified Gain value is not supported"},
        {"current 0xFF", [](WrenletAmplifierParam& p) { p.current = 0xFF; },
         "The specified Current value is not supported"},
    };
    for (const Case& c : cases) {
        WrenletAmplifierParam bad = good;
        c.spoil(bad);
        EXPECT_EQ(protocol->setAmplifierParam(bad), OperationResult::failed(517, c.message)) << c.what;
    }
    EXPECT_EQ(rig.framesAfter(0).size(), frames) << "nothing goes out for a refused record";

    WrenletAmplifierParam stored;
    ASSERT_TRUE(protocol->amplifierParam(stored));
    EXPECT_EQ(stored.signalEnabled, good.signalEnabled);
    EXPECT_EQ(stored.resistEnabled, good.resistEnabled);
    EXPECT_EQ(stored.gain, good.gain);
    ASSERT_TRUE(protocol->setAmplifierParam(stored)) << "the record read back is taken as it is";
    EXPECT_EQ(rig.peer->amplifierFrame(), sent);
}

TEST_P(WrenletProtocolTest, AnAnswerToAnotherCommandDoesNotCompleteACommand) {
    StreamRig rig(settings());
    auto protocol = make(rig, lostReplyProtocol());
    rig.peer->setSilent(true);
    std::thread intruder([&] {
        TestSupport::waitFor([&] { return rig.framesAfter(1).size() == 1; });
        rig.peer->sendStatus({50, 0, 2, 0x02});  // answers an idle frame
    });
    EXPECT_EQ(protocol->startSignal(), OperationResult::failed(513, "Device error: [ERR_DATA_SEND]"));
    intruder.join();
    EXPECT_EQ(protocol->battPower(), 50);
}

TEST_P(WrenletProtocolTest, ShortAndDoubleStatusNotifications) {
    StreamRig rig(settings());
    auto protocol = make(rig);
    Recorder<int> battery(protocol->batteryEvent());
    rig.peer->sendStatus({9, 0});
    rig.radio->drain();
    EXPECT_EQ(protocol->battPower(), 77);
    EXPECT_EQ(protocol->ampMode(), 2);

    rig.peer->sendStatus({10, 0, 3, 0, 20, 0, 4 | (2 << 3), 0});
    rig.radio->drain();
    EXPECT_EQ(protocol->battPower(), 20);
    EXPECT_EQ(protocol->ampMode(), 4);
    ASSERT_TRUE(battery.atLeast(1));
    EXPECT_TRUE(TestSupport::waitFor([&] { return battery.events().back() == 20; }));
}

TEST_P(WrenletProtocolTest, ModelCodesOfTheGenerations) {
    StreamRig rig(settings('I'));
    if (GetParam() == WrenletPeerGeneration::First) {
        try {
            make(rig);
            FAIL() << "model I accepted";
        } catch (const VexaDevice::Utility::rt_exception& e) {
            EXPECT_STREQ(e.what(), "Device unsupported. Failed recognized the device Family");
        }
    } else {
        auto protocol = make(rig);
        EXPECT_EQ(protocol->modelCode(), 'I');
        EXPECT_TRUE(protocol->startSignal());
    }
}

TEST_P(WrenletProtocolTest, WhatTheGenerationsOffer) {
    StreamRig rig(settings());
    auto protocol = make(rig);
    const auto parameters = protocol->supportedParameters();
    EXPECT_EQ(parameters.contains(7), GetParam() == WrenletPeerGeneration::First);
    EXPECT_EQ(parameters.at(11), 1);
    EXPECT_EQ(parameters.at(29), 0);
    EXPECT_EQ(protocol->supportedFeatures(), (VexaDevice::Sensor::FeatureSet{0, 1, 4, 5, 11}));
    EXPECT_EQ(protocol->supportedCommands(),
              (VexaDevice::Sensor::CommandSet{0, 1, 2, 3, 4, 5, 21, 22, 23, 24, 25, 26}));
    EXPECT_EQ(protocol->samplingFrequencyMEMS(), 4);
    EXPECT_EQ(protocol->samplingFrequencyFPG(), 2);
    EXPECT_EQ(protocol->samplingFrequencyResist(), 0);
}

TEST_P(WrenletProtocolTest, ADeviceWithoutMotionOrPhotoplethysmogram) {
    CommandStreamPeerSettings bare = settings();
    bare.hasMotion = false;
    bare.hasFpg = false;
    StreamRig rig(bare);
    auto protocol = make(rig);
    EXPECT_FALSE(protocol->supportedParameters().contains(11));
    EXPECT_FALSE(protocol->supportedCommands().contains(4));
    EXPECT_EQ(protocol->setAccelerometerSens(1),
              OperationResult::failed(515, "Unsupported parameter [AccelerometerSensitivity]"));
    EXPECT_EQ(protocol->setRedAmplitude(1), OperationResult::failed(515, "Unsupported parameter [RedAmplitude]"));
    EXPECT_EQ(protocol->startMEMS(), OperationResult::failed(514, "StartMEMS"));
    EXPECT_EQ(protocol->stopFPG(), OperationResult::failed(514, "StopFPG"));
    EXPECT_EQ(protocol->samplingFrequencyMEMS(), 255);
    EXPECT_TRUE(rig.framesAfter(1).empty());
}

TEST_P(WrenletProtocolTest, CodesBeyondTheirRangeAreRefusedAndNothingIsSent) {
    StreamRig rig(settings());
    auto protocol = make(rig);
    ASSERT_TRUE(protocol->startMEMS());
    ASSERT_TRUE(protocol->startFPG());
    const Frames started = rig.framesAfter(1);
    EXPECT_EQ(protocol->setGyroscopeSens(0xFF),
              OperationResult::failed(515, "Unsupported parameter [GyroscopeSensitivity]"));
    EXPECT_EQ(protocol->setAccelerometerSens(4),
              OperationResult::failed(515, "Unsupported parameter [AccelerometerSensitivity]"));
    EXPECT_EQ(protocol->setGyroscopeSens(9),
              OperationResult::failed(515, "Unsupported parameter [GyroscopeSensitivity]"));
    EXPECT_EQ(protocol->setIrAmplitude(8), OperationResult::failed(515, "Unsupported parameter [IrAmplitude]"));
    EXPECT_EQ(protocol->setRedAmplitude(0x80), OperationResult::failed(515, "Unsupported parameter [RedAmplitude]"));
    EXPECT_EQ(rig.framesAfter(1), started);
    EXPECT_EQ(protocol->gyroscopeSens(), 1);
    EXPECT_EQ(protocol->accelerometerSens(), 1);

    // The highest codes still go out whole.
    ASSERT_TRUE(protocol->setIrAmplitude(7));
    EXPECT_EQ(rig.framesAfter(1).back(),
              (std::vector<uint8_t>{0x08, static_cast<uint8_t>(0x80 | 7 << 3 | (protocol->redAmplitude() & 7))}));
    ASSERT_TRUE(protocol->setAccelerometerSens(3));
    EXPECT_EQ(rig.framesAfter(1).back(), (std::vector<uint8_t>{0x07, 0x80 | 3 << 3 | 1}));
}

// The reply to a power-down is lost while the device did power down: the mode last seen is no
// longer known, so a start that follows is sent, not skipped as if the device still streamed.
TEST_P(WrenletProtocolTest, AfterALostReplyAModeCommandIsSentNotSkipped) {
    StreamRig rig(settings());
    auto protocol = make(rig, lostReplyProtocol());
    ASSERT_TRUE(protocol->startSignal());
    rig.peer->statusCharacteristic()->dropNextNotifications(1000);
    EXPECT_FALSE(protocol->powerDown());
    EXPECT_EQ(rig.peer->mode(), toByte(DevAmpStatus::PowerDown));
    rig.peer->statusCharacteristic()->dropNextNotifications(0);
    ASSERT_TRUE(protocol->startSignal());
    EXPECT_EQ(rig.peer->mode(), toByte(DevAmpStatus::Signal));
    EXPECT_EQ(rig.framesAfter(1).back(), std::vector<uint8_t>{0x03});
}

// The device accepts the command but stays in its mode: no success, and the mode it shows is
// what a later command starts from.
TEST_P(WrenletProtocolTest, AnAcceptanceWithoutTheModeChangeIsNoSuccess) {
    StreamRig rig(settings());
    auto protocol = make(rig);
    rig.peer->setIgnoring(true);
    EXPECT_EQ(protocol->startSignal().code, 513) << "a send failure";
    EXPECT_FALSE(protocol->startResist());
    EXPECT_NE(rig.peer->mode(), toByte(DevAmpStatus::Signal));
    rig.peer->setIgnoring(false);
    ASSERT_TRUE(protocol->startSignal());
    EXPECT_EQ(rig.peer->mode(), toByte(DevAmpStatus::Signal));
}

// A link loss reported only after the link came back (its event was still on its way) cancels
// nothing; a link that is really down fails every command, cached mode or not.
TEST_P(WrenletProtocolTest, AStaleLinkLossCancelsNothingAndADownLinkNeverSucceeds) {
    StreamRig rig(settings());
    auto protocol = make(rig);
    protocol->onDisconnected();
    ASSERT_TRUE(protocol->onConnected());
    ASSERT_TRUE(protocol->startSignal());
    EXPECT_EQ(rig.peer->mode(), toByte(DevAmpStatus::Signal));

    rig.peer->peripheral()->dropLink();
    ASSERT_TRUE(TestSupport::waitFor([&] { return devices_.back()->isDisconnected(); }));
    protocol->onDisconnected();
    EXPECT_FALSE(protocol->startSignal()) << "the device is known to stream, but the link is down";
    EXPECT_FALSE(protocol->powerDown());
}

TEST_P(WrenletProtocolTest, ASilentDeviceGivesSendFailures) {
    StreamRig rig(settings());
    auto protocol = make(rig, lostReplyProtocol());
    rig.peer->setSilent(true);
    EXPECT_EQ(protocol->startResist(), OperationResult::failed(513, "Device error: [ERR_DATA_SEND]"));
    EXPECT_EQ(protocol->startFPG(), OperationResult::failed(513, "Device error: [ERR_DATA_SEND]"));
}

TEST_P(WrenletProtocolTest, AStatusThatCannotBeReadFailsTheConstruction) {
    StreamRig rig(settings());
    rig.peer->statusCharacteristic()->failNextReads(3);
    try {
        make(rig);
        FAIL() << "constructed";
    } catch (const VexaDevice::Utility::rt_exception& e) {
        EXPECT_STREQ(e.what(), "Can not read Status");
    }
}

TEST_P(WrenletProtocolTest, ReconnectionReadsTheStatusAgain) {
    StreamRig rig(settings());
    auto protocol = make(rig);
    auto device = devices_.back();
    rig.peer->dropLink();
    protocol->onDisconnected();
    ASSERT_TRUE(TestSupport::waitFor([&] { return device->isDisconnected(); }));
    rig.peer->statusCharacteristic()->setValue({33, 0, 2, 0});
    device->connect();
    ASSERT_TRUE(protocol->onConnected());
    EXPECT_EQ(protocol->battPower(), 33);
}

// Code setters against readers and stream commands on other threads: the codes are only touched
// under the command lock (ThreadSanitizer finds a race otherwise).
TEST_P(WrenletProtocolTest, CodeSettersRunConcurrentlyWithReadersAndStreamCommands) {
    StreamRig rig(settings());
    auto protocol = make(rig);
    std::atomic<bool> done{false};
    std::thread reader([&] {
        while (!done) protocol->gyroscopeSens();
    });
    std::thread commands([&] {
        for (int i = 0; i < 5; ++i) protocol->stopFPG();
    });
    for (uint8_t code = 0; code < 200; ++code) {
        protocol->setGyroscopeSens(code % 4);
        protocol->setIrAmplitude(code % 8);
    }
    done = true;
    reader.join();
    commands.join();
    EXPECT_EQ(protocol->gyroscopeSens(), 3);
    EXPECT_EQ(protocol->irAmplitude(), 7);
}
