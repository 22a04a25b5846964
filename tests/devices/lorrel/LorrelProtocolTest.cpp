// The Lorrel protocol against the emulated headband on the simulated radio: start-up, mode and
// stream commands, the gain and stream-code settings, and the signal, resistance, motion and
// photoplethysmogram records it publishes.

#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <functional>
#include <future>
#include <mutex>
#include <string>

#include "sdk/core/RtException.hpp"
#include "sdk/devices/lorrel/LorrelBleProtocol.hpp"
#include "sim/peers/kestrane/CommandStreamPeerModel.hpp"
#include "sim/peers/lorrel/LorrelPeer.hpp"
#include "tests/devices/kestrane/StreamRig.hpp"

using namespace std::chrono_literals;
using namespace VexaDevice::Lorrel;
using KestraneTest::fastBle;
using KestraneTest::fastProtocol;
using KestraneTest::Frames;
using KestraneTest::Recorder;
using TestSupport::waitFor;
using VexaDevice::OperationResult;
using VexaDevice::Kestrane::_FPGData;
using VexaDevice::Kestrane::_IMUData;
using VexaDevice::Kestrane::_ResistData;
using VexaDevice::Kestrane::_SignalData;
using VexaSim::CommandStreamPeerModel;
using VexaSim::LorrelPeer;
using VexaSim::LorrelPeerSettings;

namespace {

constexpr uint64_t Address = 0xC0FFEE000011;
using Bytes = std::vector<uint8_t>;
const Bytes StopFpg{0x08, 0x2D};
const Bytes StopMotion{0x07, 0x09};

double volts(int64_t count, double gain) {
    return static_cast<double>(count) * static_cast<double>(2.4f) / (8388607.0 * gain);
}

struct LorrelProtocol : ::testing::Test {
    std::shared_ptr<VexaSim::SimRadio> radio = VexaSim::SimRadio::create();
    VexaSim::SimRadioInstallation installed{radio};
    std::shared_ptr<LorrelPeer> peer;
    std::shared_ptr<VexaDevice::BLE::BLEDevice> ble;

    std::shared_ptr<LorrelBleProtocol> open(LorrelPeerSettings settings = {},
                                            VexaDevice::Devices::ProtocolTiming timing = fastProtocol()) {
        peer = LorrelPeer::attach(*radio, Address, std::move(settings), {1ms});
        ble = VexaDevice::BLE::BLEDevice::create(VexaDevice::BLE::DeviceId::fromUInt64(Address), {}, fastBle());
        return makeLorrelBleProtocol(ble, KestraneTest::StreamRig::deviceInformation(*ble), timing);
    }

    std::string failureOf(LorrelPeerSettings settings) {
        try {
            open(std::move(settings));
        } catch (const VexaDevice::Utility::rt_exception& e) {
            return e.what();
        }
        return "created";
    }

    Frames framesAfter(size_t skip) const {
        const Frames all = peer->commandFrames();
        return Frames(all.begin() + static_cast<std::ptrdiff_t>(skip), all.end());
    }
};

}  // namespace

TEST_F(LorrelProtocol, StartUpStopsTheStreamsAndReadsTheDevice) {
    auto protocol = open();
    EXPECT_EQ(peer->commandFrames(), (Frames{StopFpg, StopMotion}));
    EXPECT_EQ(protocol->battPower(), 76);
    EXPECT_EQ(protocol->ampMode(), 2);
    EXPECT_EQ(protocol->gain(), 4);
    EXPECT_EQ(protocol->samplingFrequency(), 4);
    EXPECT_EQ(protocol->samplingFrequencyMEMS(), 4);
    EXPECT_EQ(protocol->samplingFrequencyFPG(), 2);
    EXPECT_EQ(protocol->samplingFrequencyResist(), 255);
    EXPECT_EQ(protocol->serialNumber(), "LR-000011");
    EXPECT_EQ(protocol->modelCode(), 'P');
    EXPECT_EQ(protocol->deviceVersion().firmwareMinor, 4u);
    EXPECT_EQ(protocol->accelerometerSens(), 1);
    EXPECT_EQ(protocol->irAmplitude(), 5);
    EXPECT_EQ(protocol->supportedFeatures(), (VexaDevice::Sensor::FeatureSet{0, 1, 4, 5}));

    // A device left streaming is powered down first.
    LorrelPeerSettings busy;
    busy.mode = 3;
    protocol = open(busy);
    EXPECT_EQ(peer->commandFrames(), (Frames{{0x01}, StopFpg, StopMotion}));
    EXPECT_EQ(protocol->ampMode(), 1);
}

TEST_F(LorrelProtocol, ADeviceWithoutMotionOrPhotoplethysmogramOffersNeither) {
    LorrelPeerSettings bare;
    bare.hasMotion = false;
    bare.hasFpg = false;
    auto protocol = open(bare);
    EXPECT_TRUE(peer->commandFrames().empty());
    EXPECT_EQ(protocol->supportedCommands(), (VexaDevice::Sensor::CommandSet{0, 1, 2, 3, 21, 22}));
    EXPECT_EQ(protocol->supportedFeatures(), (VexaDevice::Sensor::FeatureSet{0, 4}));
    EXPECT_EQ(protocol->supportedParameters().size(), 12u) << "the headband's twelve and no stream's";
    EXPECT_EQ(protocol->startMEMS(), OperationResult::failed(514, "StartMEMS"));
    EXPECT_EQ(protocol->stopFPG(), OperationResult::failed(514, "StopFPG"));
    EXPECT_EQ(protocol->samplingFrequencyMEMS(), 255);
    EXPECT_EQ(protocol->samplingFrequencyFPG(), 255);
    EXPECT_EQ(protocol->setAccelerometerSens(1),
              OperationResult::failed(515, "Unsupported parameter [AccelerometerSensitivity]"));
}

TEST_F(LorrelProtocol, UnknownDevicesAndMissingCharacteristicsFailTheConstruction) {
    LorrelPeerSettings unversioned;
    unversioned.information.firmwareRevision = "0.0.0";
    EXPECT_EQ(failureOf(unversioned), "Device unsupported. Failed recognized the device version");
    LorrelPeerSettings other;
    other.information.modelNumber = "71.0";
    EXPECT_EQ(failureOf(other), "Device unsupported. Failed recognized the device Family");
}

TEST_F(LorrelProtocol, ASerialNumberOfSixteenCharactersIsCutThere) {
    LorrelPeerSettings settings;
    settings.information.serialNumber = "ABCDEFGHIJKLMNOPQRST";
    EXPECT_EQ(open(settings)->serialNumber(), "ABCDEFGHIJKLMNOP");
}

TEST_F(LorrelProtocol, ModeCommandsAreSkippedInTheirModeAndAnsweredByTheDevice) {
    auto protocol = open();
    const size_t startUp = peer->commandFrames().size();
    EXPECT_TRUE(protocol->setIdle());
    EXPECT_TRUE(framesAfter(startUp).empty());
    ASSERT_TRUE(protocol->startSignal());
    EXPECT_TRUE(protocol->startSignal());
    EXPECT_EQ(framesAfter(startUp), (Frames{{0x03, 0x00, 0x00, 0x00, 0x00}}));
    EXPECT_EQ(peer->mode(), 3);

    // The device's refusal comes back with its code.
    peer->setRefusal(uint8_t{2}, 0x04);
    const OperationResult refused = protocol->startResist();
    EXPECT_FALSE(refused);
    EXPECT_EQ(refused.code, 2);
    EXPECT_EQ(peer->mode(), 3);
    peer->setRefusal(uint8_t{0});
    EXPECT_TRUE(protocol->powerDown());
    EXPECT_EQ(peer->mode(), 1);
}

TEST_F(LorrelProtocol, AStartTheDeviceAcknowledgesWithoutStreamingFails) {
    auto protocol = open();
    peer->setIgnoring(true);
    const OperationResult signal = protocol->startSignal();
    EXPECT_FALSE(signal);
    EXPECT_EQ(signal.code, 513);
    EXPECT_FALSE(protocol->startResist());
    EXPECT_EQ(protocol->ampMode(), 2);
}

TEST_F(LorrelProtocol, TheGainIsRefusedWhileMeasuringAndGoesOutWithTheNextStart) {
    auto protocol = open();
    EXPECT_EQ(protocol->setGain(7), OperationResult::failed(517, "Failed setPGAGain. Wrong param value"));
    ASSERT_TRUE(protocol->startSignal());
    const OperationResult busy = protocol->setGain(2);
    EXPECT_EQ(busy, OperationResult::failed(
                        516, "The parameters of the amplifier are allowed to be set in modes PowerDown or Idle"));
    ASSERT_TRUE(protocol->powerDown());
    const size_t before = peer->commandFrames().size();
    EXPECT_TRUE(protocol->setGain(2));
    EXPECT_EQ(protocol->gain(), 2);
    EXPECT_EQ(peer->commandFrames().size(), before);
    ASSERT_TRUE(protocol->startSignal());
    EXPECT_EQ(peer->gainCodes(), (Bytes{0x30, 0x30, 0x30, 0x30}));
}

TEST_F(LorrelProtocol, SignalRecordsCarryTheDevicesCounts) {
    auto protocol = open();
    ASSERT_TRUE(protocol->setGain(2));
    Recorder<std::vector<_SignalData>> signal(protocol->signalEvent());
    ASSERT_TRUE(protocol->startSignal());
    ASSERT_TRUE(signal.atLeast(24));
    const auto records = signal.records();
    for (size_t i = 0; i < 24; ++i) {
        const _SignalData& record = records[i];
        ASSERT_EQ(record.Samples.size(), 4u);
        for (uint32_t ch = 0; ch < 4; ++ch)
            EXPECT_DOUBLE_EQ(record.Samples[ch], volts(CommandStreamPeerModel::signalCount(ch, record.PackNum), 3.0));
    }
    EXPECT_EQ(records[1].PackNum, records[0].PackNum + 1);
}

TEST_F(LorrelProtocol, ResistanceIsReadFromTheProbeWindows) {
    auto protocol = open();
    Recorder<std::vector<_ResistData>> resist(protocol->resistEvent());
    Recorder<std::vector<_SignalData>> signal(protocol->signalEvent());
    ASSERT_TRUE(protocol->startResist());
    EXPECT_EQ(peer->commandFrames().back(), (Bytes{0x04, 0x30, 0x30, 0x30, 0x30}));
    ASSERT_TRUE(resist.atLeast(2));
    const auto ohms = LorrelPeerSettings{}.resistanceOhms;
    for (const _ResistData& record : resist.records()) {
        ASSERT_EQ(record.Samples.size(), 4u);
        for (size_t ch = 0; ch < 4; ++ch) EXPECT_NEAR(record.Samples[ch], ohms[ch], ohms[ch] * 1e-3);
    }
    EXPECT_EQ(signal.count(), 0u);
}

// The device switches but the answer is lost: the start fails and the protocol's own switch
// never happens. The packs the device sends meanwhile mean nothing; from the status that shows
// the device's mode on, each pack is read in the mode it was sent in, at that mode's scale.
TEST_F(LorrelProtocol, PacksAreReadInTheModeTheDeviceSentThemIn) {
    auto protocol = open({}, KestraneTest::lostReplyProtocol());
    Recorder<std::vector<_SignalData>> signal(protocol->signalEvent());
    Recorder<std::vector<_ResistData>> resist(protocol->resistEvent());
    const auto ohms = LorrelPeerSettings{}.resistanceOhms;
    const auto checkResistance = [&] {
        for (const _ResistData& record : resist.records()) {
            ASSERT_EQ(record.Samples.size(), 4u);
            for (size_t ch = 0; ch < 4; ++ch)
                ASSERT_NEAR(record.Samples[ch], ohms[ch], ohms[ch] * 1e-3) << "record " << record.PackNum;
        }
    };
    ASSERT_TRUE(protocol->startResist());
    ASSERT_TRUE(resist.atLeast(1));

    // From resistance to signal.
    peer->statusCharacteristic()->dropNextNotifications(1);
    EXPECT_EQ(protocol->startSignal().code, 513);
    ASSERT_EQ(peer->mode(), 3);
    EXPECT_EQ(signal.count(), 0u);
    peer->setBattery(70);
    ASSERT_TRUE(signal.atLeast(40));
    for (const _SignalData& record : signal.records()) {
        ASSERT_EQ(record.Samples.size(), 4u);
        for (uint32_t ch = 0; ch < 4; ++ch)
            ASSERT_NEAR(record.Samples[ch], volts(CommandStreamPeerModel::signalCount(ch, record.PackNum), 6.0), 1e-12)
                << "record " << record.PackNum << " channel " << ch;
    }
    checkResistance();

    // And back to resistance.
    const size_t signalRecords = signal.records().size();
    const size_t windows = resist.records().size();
    peer->statusCharacteristic()->dropNextNotifications(1);
    EXPECT_EQ(protocol->startResist().code, 513);
    ASSERT_EQ(peer->mode(), 4);
    peer->setBattery(69);
    ASSERT_TRUE(resist.atLeast(windows + 2));
    checkResistance();
    // No window was taken for signal.
    for (const _SignalData& record : signal.records())
        ASSERT_NEAR(record.Samples[0], volts(CommandStreamPeerModel::signalCount(0, record.PackNum), 6.0), 1e-12)
            << "record " << record.PackNum;
    EXPECT_GE(signal.records().size(), signalRecords);
}

// A measurement's packs keep the gain it was started with, however late the worker takes them.
TEST_F(LorrelProtocol, SignalPacksKeepTheGainOfTheirStart) {
    auto protocol = open();
    ASSERT_TRUE(protocol->setGain(2));
    // The first delivery holds the worker until the gain has changed.
    std::promise<void> gainChanged;
    std::shared_future<void> changed = gainChanged.get_future().share();
    std::atomic<bool> first{true};
    std::vector<_SignalData> records;
    std::mutex recordsMutex;
    auto subscriber = std::make_shared<std::function<void(const std::vector<_SignalData>&)>>(
        [&](const std::vector<_SignalData>& batch) {
            if (first.exchange(false)) changed.wait();
            std::lock_guard lock(recordsMutex);
            records.insert(records.end(), batch.begin(), batch.end());
        });
    protocol->signalEvent().lock()->subscribe(subscriber);
    ASSERT_TRUE(protocol->startSignal());
    ASSERT_TRUE(waitFor([&] { return !first; }));
    ASSERT_TRUE(protocol->powerDown());
    ASSERT_TRUE(protocol->setGain(5));
    gainChanged.set_value();
    ASSERT_TRUE(waitFor([&] {
        std::lock_guard lock(recordsMutex);
        return records.size() >= 8;
    }));
    std::lock_guard lock(recordsMutex);
    for (const _SignalData& record : records)
        for (uint32_t ch = 0; ch < 4; ++ch)
            ASSERT_NEAR(record.Samples[ch], volts(CommandStreamPeerModel::signalCount(ch, record.PackNum), 3.0), 1e-12)
                << "record " << record.PackNum << " channel " << ch;
}

TEST_F(LorrelProtocol, MotionAndPhotoplethysmogramRecords) {
    auto protocol = open();
    Recorder<std::vector<_IMUData>> motion(protocol->memsEvent());
    Recorder<std::vector<_FPGData>> light(protocol->fpgEvent());
    ASSERT_TRUE(protocol->startMEMS());
    ASSERT_TRUE(protocol->startFPG());
    EXPECT_EQ(framesAfter(2), (Frames{{0x07, 0x89}, {0x08, 0xAD}}));
    ASSERT_TRUE(motion.atLeast(16));
    ASSERT_TRUE(light.atLeast(16));
    for (const _IMUData& record : motion.records()) {
        EXPECT_DOUBLE_EQ(record.Accelerometer[1], CommandStreamPeerModel::motionCount(1, record.PackNum) * 4.0 / 32767);
        EXPECT_DOUBLE_EQ(record.Gyroscope[2], CommandStreamPeerModel::motionCount(5, record.PackNum) * 500.0 / 32767);
    }
    for (const _FPGData& record : light.records()) {
        EXPECT_DOUBLE_EQ(record.Value1, CommandStreamPeerModel::fpgCount(0, record.PackNum));
        EXPECT_DOUBLE_EQ(record.Value2, CommandStreamPeerModel::fpgCount(1, record.PackNum));
    }
    EXPECT_TRUE(protocol->stopMEMS());
    EXPECT_FALSE(peer->motionRunning());
}

TEST_F(LorrelProtocol, AStreamCodeIsKeptOnlyOnceTheDeviceTakesIt) {
    auto protocol = open();
    EXPECT_EQ(protocol->setAccelerometerSens(255),
              OperationResult::failed(515, "Unsupported parameter [AccelerometerSensitivity]"));
    // Stopped stream: the code is kept for its next start.
    EXPECT_TRUE(protocol->setGyroscopeSens(3));
    EXPECT_EQ(protocol->gyroscopeSens(), 3);
    ASSERT_TRUE(protocol->startMEMS());
    EXPECT_EQ(peer->commandFrames().back(), (Bytes{0x07, 0x8B}));

    // Running stream: a refused restart leaves the code as it was.
    peer->setRefusal(uint8_t{1}, 0x07);
    EXPECT_FALSE(protocol->setAccelerometerSens(2));
    EXPECT_EQ(protocol->accelerometerSens(), 1);
    peer->setRefusal(uint8_t{0});
    EXPECT_TRUE(protocol->setAccelerometerSens(2));
    EXPECT_EQ(protocol->accelerometerSens(), 2);
    EXPECT_EQ(peer->commandFrames().back(), (Bytes{0x07, 0x93}));
}

TEST_F(LorrelProtocol, AStatusOfTwoPacksIsReadFromItsLastAndAShortOneIsIgnored) {
    auto protocol = open();
    Recorder<int> battery(protocol->batteryEvent());
    peer->sendStatus({50, 0, 2, 0, 40, 0, 1, 0});
    ASSERT_TRUE(waitFor([&] { return protocol->battPower() == 40; }));
    EXPECT_EQ(protocol->ampMode(), 1);
    peer->sendStatus({10, 0});
    ASSERT_TRUE(battery.atLeast(1));
    EXPECT_EQ(protocol->battPower(), 40);
    EXPECT_EQ(protocol->ampMode(), 1);
}

TEST_F(LorrelProtocol, PingIsWrittenWithoutAnAnswer) {
    auto protocol = open();
    EXPECT_TRUE(protocol->ping(0x1FF));
    EXPECT_TRUE(waitFor([&] { return peer->pings() == std::vector<Bytes>{{0x06, 0xFF}}; }));
}
