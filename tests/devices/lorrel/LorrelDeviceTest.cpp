// The Lorrel device class against the emulated headband: the commands it maps onto the protocol,
// what it refuses, the link lost and found again, and its release.

#include <gtest/gtest.h>

#include "sdk/devices/lorrel/LorrelBLE.hpp"
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
using VexaDevice::Kestrane::_SignalData;
using VexaDevice::Sensor::SensorCommand;

namespace {

constexpr uint64_t Address = 0xC0FFEE000012;
using Bytes = std::vector<uint8_t>;
const Bytes PowerDown{0x01};

struct LorrelDevice : ::testing::Test {
    std::shared_ptr<VexaSim::SimRadio> radio = VexaSim::SimRadio::create();
    VexaSim::SimRadioInstallation installed{radio};
    std::shared_ptr<VexaSim::LorrelPeer> peer = VexaSim::LorrelPeer::attach(*radio, Address, {}, {1ms});
    std::shared_ptr<VexaDevice::BLE::BLEDevice> ble =
        VexaDevice::BLE::BLEDevice::create(VexaDevice::BLE::DeviceId::fromUInt64(Address), {}, fastBle());
    std::shared_ptr<LorrelBLE> sensor = std::make_shared<LorrelBLE>(ble, 0, fastProtocol());

    Frames frames() const { return peer->commandFrames(); }
};

}  // namespace

TEST_F(LorrelDevice, CommandsMapOntoTheProtocol) {
    ASSERT_TRUE(sensor->execCommand(SensorCommand::StartResist));
    EXPECT_EQ(frames().back(), (Bytes{0x04, 0x30, 0x30, 0x30, 0x30}));
    ASSERT_TRUE(sensor->execCommand(SensorCommand::StopResist));
    EXPECT_EQ(frames().back(), PowerDown);
    const size_t sent = frames().size();
    // Already powered down: nothing is sent.
    EXPECT_TRUE(sensor->execCommand(SensorCommand::StopSignal));
    EXPECT_EQ(sensor->execCommand(SensorCommand::StartSignalAndResist), OperationResult::failed(0, ""));
    EXPECT_EQ(sensor->execCommand(static_cast<SensorCommand>(12)), OperationResult::failed(0, ""));
    EXPECT_EQ(frames().size(), sent);
    ASSERT_TRUE(sensor->execCommand(SensorCommand::Idle));
    EXPECT_EQ(peer->mode(), 2);

    uint8_t value = 0;
    ASSERT_TRUE(sensor->readFirmwareMode(value));
    EXPECT_EQ(value, 1);
    ASSERT_TRUE(sensor->readOffset(value));
    EXPECT_EQ(value, 0);
    VexaDevice::Kestrane::WrenletAmplifierParam amplifier;
    EXPECT_EQ(sensor->readAmplifierParam(amplifier), OperationResult::failed(515, "Unsupported parameter"));
    EXPECT_TRUE(sensor->ping(7));
}

TEST_F(LorrelDevice, ALostLinkIsReadAnewOnceConnectedAgain) {
    ASSERT_TRUE(sensor->execCommand(SensorCommand::StartSignal));
    const size_t sent = frames().size();
    peer->dropLink();
    ASSERT_TRUE(waitFor([&] { return ble->isDisconnected(); }));
    ASSERT_TRUE(sensor->disconnect());
    EXPECT_EQ(frames().size(), sent) << "nothing is sent to a device out of reach";

    peer->setBattery(33);
    ASSERT_TRUE(sensor->connect());
    int32_t battery = 0;
    ASSERT_TRUE(sensor->readBattPower(battery));
    EXPECT_EQ(battery, 33);
    Recorder<std::vector<_SignalData>> signal(sensor->signalEvent());
    ASSERT_TRUE(sensor->execCommand(SensorCommand::PowerDown));
    ASSERT_TRUE(sensor->execCommand(SensorCommand::StartSignal));
    EXPECT_TRUE(signal.atLeast(16));
}

TEST_F(LorrelDevice, ReleasedWhileStreamingPowersTheDeviceDownAndLetsGo) {
    ASSERT_TRUE(sensor->execCommand(SensorCommand::StartSignal));
    sensor.reset();
    EXPECT_EQ(frames().back(), PowerDown);
    EXPECT_EQ(peer->mode(), 1);
    EXPECT_TRUE(waitFor([&] { return ble->isDisconnected(); }));
}
