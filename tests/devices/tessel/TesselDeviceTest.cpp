// The Tessel device class against the emulated device on the simulated radio: creation,
// signal types, pack statistics, the commands that settle the device, and a sensor released
// from inside its own callback.

#include <gtest/gtest.h>

#include <atomic>

#include "sdk/ble/BLEDevice.hpp"
#include "sdk/core/RtException.hpp"
#include "sdk/devices/tessel/TesselBLE.hpp"
#include "sim/peers/tessel/TesselPeer.hpp"
#include "sim/radio/SimRadio.hpp"
#include "tests/support/WaitFor.hpp"
#include "tests/devices/common/Recorder.hpp"

using namespace std::chrono_literals;
using namespace VexaDevice::Tessel;
using DevicesTest::Recorder;
using TestSupport::waitFor;
using VexaDevice::BLE::BLEDevice;
using VexaDevice::BLE::BLEDeviceTiming;
using VexaDevice::BLE::DeviceId;
using VexaDevice::Sensor::SensorCommand;
using VexaSim::TesselPeer;
using VexaSim::TesselPeerSettings;

namespace {

constexpr uint64_t Address = 0xC0FFEE000051;

TesselTiming fastTiming() {
    TesselTiming timing;
    timing.workerWait = 2ms;
    timing.replyWait = 250ms;  // ended by the reply; long only for a loaded machine
    timing.requestRetryPause = 2ms;
    timing.firstBatteryWait = 2s;
    // A clock that stands still: no periodic battery request mixes with the commands.
    timing.clock = [] { return int64_t{1}; };
    return timing;
}

BLEDeviceTiming fastBle() {
    BLEDeviceTiming timing;
    timing.discoveryRetryPause = 1ms;
    timing.disconnectPollInterval = 1ms;
    timing.connectionBus = {50ms};
    return timing;
}

struct TesselDevice : ::testing::Test {
    std::shared_ptr<VexaSim::SimRadio> radio = VexaSim::SimRadio::create();
    VexaSim::SimRadioInstallation installed{radio};
    std::shared_ptr<TesselPeer> peer;
    std::shared_ptr<BLEDevice> ble;

    std::shared_ptr<TesselBLE> open(TesselPeerSettings settings = {}) {
        peer = TesselPeer::attach(*radio, Address, std::move(settings), {.packPeriod = 1000us});
        ble = BLEDevice::create(DeviceId::fromUInt64(Address), {}, fastBle());
        return std::make_shared<TesselBLE>(ble, fastTiming());
    }

    std::vector<uint8_t> codes() {
        std::vector<uint8_t> sent;
        for (const auto& frame : peer->commandFrames()) sent.push_back(frame.at(3));
        return sent;
    }

    void TearDown() override {
        if (!ble) return;
        const std::weak_ptr<VexaDevice::BLE::ConnectionBus> bus = ble->connectionChangedEvent();
        ble.reset();
        EXPECT_TRUE(waitFor([&] { return bus.expired(); }));
    }
};

}  // namespace

TEST(TesselSignalType, RecognisedByItsOwnTable) {
    EXPECT_EQ(recogniseSignalType(4, 3, 1, true), 0) << "types 1 and 2 read as 0";
    EXPECT_EQ(recogniseSignalType(4, 8, 1, true), 3);
    EXPECT_EQ(recogniseSignalType(4, 4, 1, true), 4) << "type 4 is recognised with switch 1";
    EXPECT_EQ(recogniseSignalType(4, 4, 2, true), 7) << "not with the switch 2 it is applied with";
    EXPECT_EQ(recogniseSignalType(4, 4, 3, true), 5);
    EXPECT_EQ(recogniseSignalType(5, 8, 2, true), 6);
    EXPECT_EQ(recogniseSignalType(4, 3, 1, false), 7) << "a hardware filter on";
}

TEST_F(TesselDevice, ADeviceWithoutATesselServiceIsRefused) {
    auto other = radio->addPeripheral(Address, "Tessel");
    other->addService(VexaDevice::Utility::parseUuid("0100FF77-66FA-E511-B501-0002A5D5C51B"));
    ble = BLEDevice::create(DeviceId::fromUInt64(Address), {}, fastBle());
    try {
        TesselBLE device(ble, fastTiming());
        ADD_FAILURE() << "created";
    } catch (const VexaDevice::Utility::rt_exception& e) {
        EXPECT_STREQ(e.what(), "The device offers no Tessel service.");
    }
}

TEST_F(TesselDevice, StartSignalStartsThePackStatisticsAnew) {
    auto device = open();
    EXPECT_EQ(device->packsLostPercent(), 0.0);
    Recorder<std::vector<_SignalData>> signal(device->signalEvent());
    ASSERT_TRUE(device->execCommand(SensorCommand::StartSignal));
    ASSERT_TRUE(signal.atLeast(20));
    ASSERT_TRUE(device->execCommand(SensorCommand::StopSignal));
    ASSERT_TRUE(waitFor([&] { return !peer->streaming(); }));
    EXPECT_GT(device->packsReceived(), 0u);
    EXPECT_EQ(device->packsLost(), 0u);
    // Whatever the command's result: a device that does not answer still starts the count anew.
    peer->setSilent(true);
    EXPECT_EQ(device->execCommand(SensorCommand::StartSignal).code, 511);
    EXPECT_EQ(device->packsReceived(), 0u);
    EXPECT_EQ(device->packsLostPercent(), 0.0);
    peer->setSilent(false);
    EXPECT_EQ(device->execCommand(SensorCommand::StartResist), (VexaDevice::OperationResult{0, 0, ""}))
        << "a command the family has no code for";
}

TEST_F(TesselDevice, ReleasingStopsWhatTheDeviceOffersAndDisconnects) {
    auto device = open();
    const size_t before = codes().size();
    device.reset();
    const std::vector<uint8_t> all = codes();
    const std::vector<uint8_t> sent(all.begin() + static_cast<std::ptrdiff_t>(before), all.end());
    // Stimulation and the motion assistant are not offered: refused before sending.
    EXPECT_EQ(sent, (std::vector<uint8_t>{Code::StopAdcDataThrow, Code::StopEnvelopeDataThrow, Code::StopMemsDataThrow,
                                          Code::StopQuatDataThrow}));
    EXPECT_TRUE(waitFor([&] { return !peer->peripheral()->isConnected(); }));
}

// The host frees its sensor from inside a signal callback, on the worker's thread; the worker
// ends without touching the released protocol.
TEST_F(TesselDevice, ReleasedFromItsOwnCallback) {
    auto device = open();
    auto holder = std::make_shared<std::shared_ptr<TesselBLE>>(device);
    auto calls = std::make_shared<std::atomic<int>>(0);
    auto released = std::make_shared<std::atomic<bool>>(false);
    auto subscriber =
        std::make_shared<TesselBleProtocol::SignalBus::Callback>([holder, calls, released](std::vector<_SignalData>) {
            if (++*calls == 3) {
                (*holder)->execCommand(SensorCommand::FindMe);
                holder->reset();
                *released = true;
            }
        });
    device->signalEvent().lock()->subscribe(subscriber);
    ASSERT_TRUE(device->execCommand(SensorCommand::StartSignal));
    device.reset();
    EXPECT_TRUE(waitFor([&] { return released->load(); }));
    EXPECT_TRUE(waitFor([&] { return !peer->peripheral()->isConnected(); }));
}
