// Whole flows of the Morvex device class against the emulated device on the simulated radio.

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <future>
#include <mutex>
#include <vector>

#include "sdk/ble/BLEDevice.hpp"
#include "sdk/core/DeviceInfoReader.hpp"
#include "sdk/core/RtException.hpp"
#include "sdk/devices/morvex/MorvexBLE.hpp"
#include "sdk/devices/morvex/MorvexGatt.hpp"
#include "sim/peers/morvex/MorvexPeer.hpp"
#include "sim/radio/SimRadio.hpp"
#include "tests/support/WaitFor.hpp"
#include "tests/devices/common/ProtocolTimings.hpp"

using namespace std::chrono_literals;
using namespace VexaDevice::Morvex;
using DevicesTest::fastProtocol;
using DevicesTest::lostReplyProtocol;
using TestSupport::waitFor;
using VexaDevice::OperationResult;
using VexaDevice::BLE::BLEDevice;
using VexaDevice::BLE::BLEDeviceTiming;
using VexaDevice::BLE::DeviceId;
using VexaDevice::Devices::ProtocolTiming;
using VexaDevice::Sensor::SensorCommand;
using VexaDevice::Sensor::SensorParameter;
using VexaSim::MorvexPeer;
using VexaSim::MorvexPeerModel;
using VexaSim::MorvexPeerSettings;

namespace {

constexpr uint64_t Address = 0xC0FFEE000001;
using Frames = std::vector<std::vector<uint8_t>>;
const std::vector<uint8_t> Idle{0x01};

BLEDeviceTiming fastBle() {
    BLEDeviceTiming timing;
    timing.discoveryRetryPause = 1ms;
    timing.disconnectPollInterval = 1ms;
    return timing;
}

// Everything one bus publishes, kept for the test thread. The subscriber owns what it
// records, so a publication still under way when the recorder goes is harmless.
template <class Event>
class Recorder {
public:
    template <class Bus>
    explicit Recorder(const std::weak_ptr<Bus>& bus) {
        bus.lock()->subscribe(subscriber_);
    }

    std::vector<Event> events() {
        std::lock_guard lock(log_->mutex);
        return log_->events;
    }
    size_t count() { return events().size(); }
    void clear() {
        std::lock_guard lock(log_->mutex);
        log_->events.clear();
    }

private:
    struct Log {
        std::mutex mutex;
        std::vector<Event> events;
    };
    std::shared_ptr<Log> log_ = std::make_shared<Log>();
    std::shared_ptr<std::function<void(const Event&)>> subscriber_ =
        std::make_shared<std::function<void(const Event&)>>([log = log_](const Event& event) {
            std::lock_guard lock(log->mutex);
            log->events.push_back(event);
        });
};

struct MorvexDevice : ::testing::Test {
    std::shared_ptr<VexaSim::SimRadio> radio = VexaSim::SimRadio::create();
    VexaSim::SimRadioInstallation installed{radio};
    std::shared_ptr<MorvexPeer> peer;
    std::shared_ptr<BLEDevice> ble;
    std::shared_ptr<MorvexBLE> sensor;

    void open(MorvexPeerSettings settings = {}, ProtocolTiming timing = fastProtocol(),
              VexaSim::MorvexPeerTiming peerTiming = {std::chrono::microseconds(1000), 2}) {
        peer = MorvexPeer::attach(*radio, Address, std::move(settings), peerTiming);
        ble = BLEDevice::create(DeviceId::fromUInt64(Address), {}, fastBle());
        sensor = std::make_shared<MorvexBLE>(ble, timing);
    }

    // Connection events are delivered on the BLE device's own bus thread, which may still be
    // handing out the last one (to the device class's subscriber, which logs). The test ends
    // only once that delivery is over, so no thread is left running into process exit.
    void TearDown() override {
        sensor.reset();
        if (!ble) return;
        const std::weak_ptr<VexaDevice::BLE::ConnectionBus> bus = ble->connectionChangedEvent();
        ble.reset();
        EXPECT_TRUE(waitFor([&] { return bus.expired(); }));
    }

    Frames frames() { return peer->commandFrames(); }

    // The electrode selections sent, as (electrode, polarity) pairs.
    std::vector<std::pair<uint8_t, uint8_t>> selections() {
        std::vector<std::pair<uint8_t, uint8_t>> sent;
        for (const auto& frame : frames())
            if (frame.size() == 8 && frame[0] == 0x03)
                sent.emplace_back(
                    static_cast<uint8_t>(std::find(frame.begin() + 1, frame.end(), 0x30) - frame.begin() - 1),
                    frame[7]);
        return sent;
    }
};

int32_t toCount(double volts, double gainFactor) {
    return static_cast<int32_t>(std::llround(volts * gainFactor * 1048575.0 / 2.4));
}

}  // namespace

TEST_F(MorvexDevice, ConnectSequenceStopsAMeasurementLeftRunningAndReadsIdentity) {
    MorvexPeerSettings settings;
    settings.state = 2;  // the device was left streaming
    open(settings);
    EXPECT_EQ(frames(), Frames{Idle});
    EXPECT_EQ(peer->state(), 1);

    std::string text;
    sensor->readSerialNumber(text);
    EXPECT_EQ(text, "MX1-000042");
    sensor->readName(text);
    EXPECT_EQ(text, "Morvex");
    sensor->readAddress(text);
    EXPECT_EQ(text, "C0:FF:EE:00:00:01");
    MorvexVersion version;
    sensor->readFirmwareVersion(version);
    EXPECT_EQ(version.firmware, 7);
    EXPECT_EQ(version.hardware, 2);
    EXPECT_EQ(version.model, 1);
    int32_t value = -1;
    sensor->readState(value);
    EXPECT_EQ(value, 0);
    sensor->readBattPower(value);
    EXPECT_EQ(value, 87);
    uint8_t code = 0;
    sensor->readSamplingFrequency(code);
    EXPECT_EQ(code, 4);
    sensor->readFirmwareMode(code);
    EXPECT_EQ(code, 1);

    EXPECT_TRUE(sensor->execCommand(SensorCommand::StartSignal));
    EXPECT_TRUE(sensor->execCommand(SensorCommand::StartSignal)) << "already streaming: nothing sent";
    EXPECT_TRUE(sensor->execCommand(SensorCommand::StopSignal));
    EXPECT_TRUE(sensor->execCommand(SensorCommand::StopSignal)) << "already idle: nothing sent";
    EXPECT_EQ(frames(), (Frames{Idle, {0x02, 0x00, 0x00, 0x00, 0x00}, Idle}));

    sensor->disconnect();
    EXPECT_EQ(frames().size(), 3u) << "an idle device is disconnected without a frame";
    sensor->readState(value);
    EXPECT_EQ(value, 1);
}

TEST_F(MorvexDevice, SignalSamplesAreTheDevicesWaveformToTheLastCount) {
    open();
    Recorder<std::vector<_SignalData>> signal(sensor->signalEvent());
    Recorder<MorvexStatus> states(sensor->stateEvent());
    ASSERT_TRUE(sensor->writeGain(2));
    ASSERT_TRUE(sensor->execCommand(SensorCommand::StartSignal));
    EXPECT_EQ(frames().back(), (std::vector<uint8_t>{0x02, 0x30, 0x30, 0x30, 0x30}));

    auto records = [&] {
        size_t n = 0;
        for (const auto& batch : signal.events()) n += batch.size();
        return n;
    };
    ASSERT_TRUE(waitFor([&] { return records() >= 300; }));
    ASSERT_TRUE(sensor->execCommand(SensorCommand::StopSignal));

    const double gain3 = 3.0;
    size_t negatives = 0;
    for (const auto& batch : signal.events()) {
        for (const _SignalData& record : batch) {
            ASSERT_EQ(record.Samples.size(), 2u);
            EXPECT_EQ(record.Marker, MorvexPeerModel::markerOf(record.PackNum) ? 1 : 0);
            for (int j = 0; j < 2; ++j) {
                const MorvexSample& s = record.Samples[j];
                const int32_t o1 = toCount(s.O1, gain3);
                EXPECT_EQ(o1, MorvexPeerModel::signalCount(0, record.PackNum, j)) << "pack " << record.PackNum;
                EXPECT_EQ(toCount(s.T3, gain3), MorvexPeerModel::signalCount(1, record.PackNum, j));
                EXPECT_EQ(toCount(s.T4, gain3), MorvexPeerModel::signalCount(2, record.PackNum, j));
                EXPECT_EQ(toCount(s.O2, gain3), MorvexPeerModel::signalCount(3, record.PackNum, j));
                negatives += o1 < 0;
            }
        }
    }
    EXPECT_GT(negatives, 10u) << "the waveform must cover negative values";
    // The worker may report the idle state found at connection first.
    ASSERT_TRUE(waitFor([&] {
        const auto seen = states.events();
        const auto signalState = std::find(seen.begin(), seen.end(), MorvexStatus::Signal);
        return signalState != seen.end() && signalState + 1 != seen.end() && signalState[1] == MorvexStatus::Idle;
    }));
}

TEST_F(MorvexDevice, GainIndexGoesIntoTheStartFrame) {
    open();
    const std::vector<uint8_t> codes{0x10, 0x20, 0x30, 0x40, 0x00, 0x50, 0x60};
    Frames expected;
    for (uint8_t index = 0; index < codes.size(); ++index) {
        ASSERT_TRUE(sensor->writeGain(index));
        uint8_t read = 255;
        sensor->readGain(read);
        EXPECT_EQ(read, index);
        ASSERT_TRUE(sensor->execCommand(SensorCommand::StartSignal));
        if (index == 3) {
            EXPECT_EQ(sensor->writeGain(1),
                      OperationResult::failed(
                          511, "The parameters of the amplifier are allowed to be set in mode PowerDown"));
        }
        const auto r = sensor->execCommand(SensorCommand::StopSignal);
        ASSERT_TRUE(r) << r.code << " " << r.message << " frames " << frames().size();
        const uint8_t g = codes[index];
        expected.push_back({0x02, g, g, g, g});
        expected.push_back(Idle);
    }
    EXPECT_EQ(frames(), expected);
    EXPECT_EQ(sensor->writeGain(7), OperationResult::failed(1535, "Failed setPGAGain. Wrong param value"));
}

TEST_F(MorvexDevice, ResistanceCycleMeasuresEveryElectrode) {
    MorvexPeerSettings settings;
    settings.resistanceOhms = {50e3, 100e3, 150e3, 3e6};  // O1, T3, T4, O2 (saturates)
    open(settings);
    Recorder<_ResistData> resist(sensor->resistEvent());
    ASSERT_TRUE(sensor->execCommand(SensorCommand::StartResist));
    EXPECT_EQ(frames().front(), (std::vector<uint8_t>{0x03, 0x30, 0x91, 0x91, 0x91, 0x01, 0x01, 0x00}));

    ASSERT_TRUE(waitFor([&] { return resist.count() >= 5; }));
    ASSERT_TRUE(sensor->execCommand(SensorCommand::StopResist));
    const auto records = resist.events();
    EXPECT_TRUE(std::isinf(records[0].T3)) << "T3 is not measured before O1 is done";
    const _ResistData& fourth = records[3];
    EXPECT_NEAR(fourth.O1, 50e3, 50e3 * 0.005);
    EXPECT_NEAR(fourth.T3, 100e3, 100e3 * 0.005);
    EXPECT_NEAR(fourth.T4, 150e3, 150e3 * 0.005);
    EXPECT_TRUE(std::isinf(fourth.O2)) << "a saturated electrode reads infinite";
    EXPECT_NEAR(records[4].O1, 50e3, 50e3 * 0.005);

    const auto sent = selections();
    const std::vector<std::pair<uint8_t, uint8_t>> cycle{{0, 0x00}, {0, 0xFF}, {1, 0x00}, {1, 0xFF}, {2, 0x00},
                                                         {2, 0xFF}, {3, 0x00}, {3, 0xFF}, {0, 0x00}};
    ASSERT_GE(sent.size(), cycle.size());
    EXPECT_EQ(std::vector(sent.begin(), sent.begin() + cycle.size()), cycle);
    EXPECT_EQ(frames().back(), Idle);
}

TEST_F(MorvexDevice, ANewMeasurementDoesNotReportThePreviousOne) {
    open();
    Recorder<_ResistData> resist(sensor->resistEvent());
    Recorder<MorvexStatus> states(sensor->stateEvent());
    ASSERT_TRUE(sensor->execCommand(SensorCommand::StartResist));
    ASSERT_TRUE(waitFor([&] { return resist.count() >= 4; }));
    EXPECT_TRUE(std::isfinite(resist.events()[3].O2));
    ASSERT_TRUE(sensor->execCommand(SensorCommand::StopResist));
    // Once the worker reports idle, it has published everything of the first measurement.
    ASSERT_TRUE(waitFor([&] { return !states.events().empty() && states.events().back() == MorvexStatus::Idle; }));

    ASSERT_TRUE(sensor->execCommand(SensorCommand::StartResist));
    resist.clear();
    ASSERT_TRUE(waitFor([&] { return resist.count() >= 1; }));
    const _ResistData first = resist.events()[0];
    EXPECT_NEAR(first.O1, 50e3, 50e3 * 0.005);
    EXPECT_TRUE(std::isinf(first.T3));
    EXPECT_TRUE(std::isinf(first.T4));
    EXPECT_TRUE(std::isinf(first.O2)) << "O2 of the previous measurement leaked into the new one";
}

// Many packs per notification: when the device acknowledges a new electrode, packs measured on
// the previous one are still waiting to be read. Only packs sent after the acknowledgement count.
TEST_F(MorvexDevice, ResistanceCountsOnlyPacksMeasuredAfterEachSwitch) {
    MorvexPeerSettings settings;
    settings.resistanceOhms = {50e3, 100e3, 150e3, 20e3};
    open(settings, fastProtocol(), {std::chrono::microseconds(1000), 13});
    Recorder<_ResistData> resist(sensor->resistEvent());
    ASSERT_TRUE(sensor->execCommand(SensorCommand::StartResist));
    ASSERT_TRUE(waitFor([&] { return resist.count() >= 6; }));
    ASSERT_TRUE(sensor->execCommand(SensorCommand::StopResist));
    const auto records = resist.events();
    for (size_t i = 3; i < records.size(); ++i) {
        EXPECT_NEAR(records[i].O1, 50e3, 50e3 * 0.005) << "record " << i;
        EXPECT_NEAR(records[i].T3, 100e3, 100e3 * 0.005) << "record " << i;
        EXPECT_NEAR(records[i].T4, 150e3, 150e3 * 0.005) << "record " << i;
        EXPECT_NEAR(records[i].O2, 20e3, 20e3 * 0.005) << "record " << i;
    }
}

// Every acknowledgement of the switch to O1's negative polarity is lost while the device did
// switch: the positive values gathered so far and the packs measured meanwhile belong to either
// polarity, so O1 starts over from a selection the device acknowledges (counted blindly, O1
// came out at 0 ohm).
TEST_F(MorvexDevice, AnUnacknowledgedSwitchStartsTheElectrodeOver) {
    MorvexPeerSettings settings;
    settings.resistanceOhms = {50e3, 100e3, 150e3, 20e3};
    ProtocolTiming timing = fastProtocol();
    timing.commandAttempts = 2;
    timing.replyWaitSteps = 200;  // two seconds for each reply on a loaded machine
    open(settings, timing);
    Recorder<_ResistData> resist(sensor->resistEvent());
    ASSERT_TRUE(sensor->execCommand(SensorCommand::StartResist));
    peer->statusCharacteristic()->dropNextNotifications(timing.commandAttempts);
    ASSERT_TRUE(waitFor([&] { return resist.count() >= 4; }));
    ASSERT_TRUE(sensor->execCommand(SensorCommand::StopResist));

    // The start, both attempts of the lost switch, then O1 over again: positive, then negative.
    const auto sent = selections();
    const std::vector<std::pair<uint8_t, uint8_t>> opening{{0, 0x00}, {0, 0xFF}, {0, 0xFF}, {0, 0x00}, {0, 0xFF}};
    ASSERT_GE(sent.size(), opening.size());
    EXPECT_EQ(std::vector(sent.begin(), sent.begin() + opening.size()), opening);
    for (const _ResistData& record : resist.events()) EXPECT_NEAR(record.O1, 50e3, 50e3 * 0.005);
    EXPECT_NEAR(resist.events()[3].O2, 20e3, 20e3 * 0.005);
}

// The device switches to resistance but every status notification about it is lost: the start
// fails, the mode is unknown until read again, and no resistance pack reaches the host as signal.
TEST_F(MorvexDevice, AnUnseenSwitchToResistanceNeverDeliversResistancePacksAsSignal) {
    open({}, lostReplyProtocol());
    Recorder<std::vector<_SignalData>> signal(sensor->signalEvent());
    ASSERT_TRUE(sensor->writeGain(2));
    ASSERT_TRUE(sensor->execCommand(SensorCommand::StartSignal));
    ASSERT_TRUE(waitFor([&] { return signal.count() >= 5; }));
    peer->statusCharacteristic()->dropNextNotifications(1000);
    EXPECT_FALSE(sensor->execCommand(SensorCommand::StartResist));
    EXPECT_EQ(peer->state(), MorvexPeerModel::ResistState);
    const uint64_t sentAtFailure = peer->packsSent();
    ASSERT_TRUE(waitFor([&] { return peer->packsSent() >= sentAtFailure + 200; }));

    const double gain3 = 3.0;
    for (const auto& batch : signal.events()) {
        for (const _SignalData& record : batch) {
            for (int j = 0; j < 2; ++j) {
                ASSERT_EQ(toCount(record.Samples[j].O1, gain3), MorvexPeerModel::signalCount(0, record.PackNum, j))
                    << "pack " << record.PackNum << " is not the device's signal";
            }
        }
    }
    // The mode was read again: stopping the measurement reaches the device.
    peer->statusCharacteristic()->dropNextNotifications(0);
    ASSERT_TRUE(sensor->execCommand(SensorCommand::StopResist));
    EXPECT_EQ(peer->state(), MorvexPeerModel::IdleState);
}

// The reply to a start is lost while the device did start: a stop that follows is sent, not
// answered from the idle state last seen. Once the link is down, no command succeeds.
TEST_F(MorvexDevice, AfterALostReplyCommandsAreSentAndADownLinkNeverSucceeds) {
    open({}, lostReplyProtocol());
    peer->statusCharacteristic()->dropNextNotifications(1000);
    EXPECT_FALSE(sensor->execCommand(SensorCommand::StartSignal));
    EXPECT_EQ(peer->state(), MorvexPeerModel::SignalState);
    peer->statusCharacteristic()->dropNextNotifications(0);
    ASSERT_TRUE(sensor->execCommand(SensorCommand::StopSignal));
    EXPECT_EQ(peer->state(), MorvexPeerModel::IdleState);

    peer->dropLink();
    ASSERT_TRUE(waitFor([&] { return ble->isDisconnected(); }));
    ASSERT_TRUE(sensor->disconnect());
    EXPECT_FALSE(sensor->execCommand(SensorCommand::StopSignal)) << "the device is idle, but the link is down";
    EXPECT_FALSE(sensor->execCommand(SensorCommand::StopResist));
}

TEST_F(MorvexDevice, ASilentDeviceFailsWithTheSendFailureCode) {
    open({}, lostReplyProtocol());
    peer->setSilent(true);
    EXPECT_EQ(sensor->execCommand(SensorCommand::StartSignal),
              OperationResult::failed(511, "Device error: [ERR_DATA_SEND]"));
    EXPECT_EQ(frames().size(), 3u) << "three exchanges";
    EXPECT_EQ(sensor->execCommand(SensorCommand::StartResist),
              OperationResult::failed(511, "Device error: [ERR_DATA_SEND]"));
}

// A status the device sent before a frame may arrive after it (the answer to an earlier frame
// whose wait ran out), in either order with the frame's own answer. One that names the state
// asked for never makes a command succeed that the device did not carry out.
TEST_F(MorvexDevice, ALateStatusIsNoAnswerToTheNextFrame) {
    const std::vector<uint8_t> idleStatus{MorvexPeerModel::IdleState, 0, 87, 0};
    open();
    Recorder<MorvexStatus> states(sensor->stateEvent());
    const auto seen = [&](uint8_t state) {
        const auto events = states.events();
        return std::find(events.begin(), events.end(), static_cast<MorvexStatus>(state)) != events.end();
    };
    ASSERT_TRUE(sensor->execCommand(SensorCommand::StartSignal));
    ASSERT_TRUE(waitFor([&] { return seen(MorvexPeerModel::SignalState); }));
    peer->setRefusal(2);

    // Delivered before the stop is written: the stop reads the status and is sent.
    peer->sendStatus(idleStatus);
    ASSERT_TRUE(waitFor([&] { return seen(MorvexPeerModel::IdleState); }));
    EXPECT_EQ(sensor->execCommand(SensorCommand::StopSignal),
              OperationResult::failed(2, "Device error: [KSP2_ERROR_MODE]"));

    // Held back until the stop is written, and ahead of the refusal that answers it.
    peer->statusCharacteristic()->delayNextNotifications(1, 500ms);
    peer->sendStatus(idleStatus);
    EXPECT_EQ(sensor->execCommand(SensorCommand::StopSignal),
              OperationResult::failed(2, "Device error: [KSP2_ERROR_MODE]"));
    EXPECT_EQ(peer->state(), MorvexPeerModel::SignalState);
    peer->setRefusal(0);
    EXPECT_TRUE(sensor->execCommand(SensorCommand::StopSignal));
    EXPECT_EQ(peer->state(), MorvexPeerModel::IdleState);
}

// A silent device answers nothing: a late status of the measuring state is no start.
TEST_F(MorvexDevice, ALateStatusIsNoAnswerFromASilentDevice) {
    ProtocolTiming timing = fastProtocol();
    timing.replyWaitSteps = 100;
    open({}, timing);
    peer->setSilent(true);
    peer->statusCharacteristic()->delayNextNotifications(1, 400ms);
    peer->sendStatus({MorvexPeerModel::SignalState, 0, 87, 0});
    EXPECT_EQ(sensor->execCommand(SensorCommand::StartSignal),
              OperationResult::failed(511, "Device error: [ERR_DATA_SEND]"));
    EXPECT_EQ(peer->state(), MorvexPeerModel::IdleState);
}

TEST_F(MorvexDevice, DeviceErrorsAndStartsThatDoNotTakeEffectFail) {
    open();
    peer->setRefusal(2);
    EXPECT_EQ(sensor->execCommand(SensorCommand::StartSignal),
              OperationResult::failed(2, "Device error: [KSP2_ERROR_MODE]"));
    peer->setRefusal(1);
    EXPECT_EQ(sensor->execCommand(SensorCommand::StartResist),
              OperationResult::failed(1, "Device error: [KSP2_ERROR_LEN]"));
    peer->setRefusal(0);
    peer->setIgnoring(true);
    EXPECT_EQ(sensor->execCommand(SensorCommand::StartSignal),
              OperationResult::failed(2, "Device error: [KSP2_ERROR_MODE]"))
        << "the device stayed idle: the start did not succeed";
    EXPECT_EQ(peer->state(), 1);
}

TEST_F(MorvexDevice, CapabilitiesAndUnsupportedCommands) {
    open();
    EXPECT_EQ(sensor->execCommand(SensorCommand::Idle), OperationResult::failed(0, ""));
    EXPECT_EQ(sensor->execCommand(SensorCommand::PowerDown), OperationResult::failed(0, ""));
    EXPECT_EQ(sensor->getCommands(), (VexaDevice::Sensor::CommandSet{0, 1, 2, 3}));
    EXPECT_EQ(sensor->getFeatures(), (VexaDevice::Sensor::FeatureSet{0, 4}));
    EXPECT_EQ(sensor->getParameters().at(static_cast<int32_t>(SensorParameter::Gain)), 1);
    EXPECT_TRUE(sensor->isSupportedParameter(SensorParameter::BattPower));
    EXPECT_FALSE(sensor->isSupportedParameter(SensorParameter::SensorFamily));
    EXPECT_TRUE(sensor->isSupportedCommand(SensorCommand::StopResist));
    EXPECT_FALSE(sensor->isSupportedCommand(SensorCommand::Idle));
}

TEST_F(MorvexDevice, StatusNotificationsShortOrMultiple) {
    open();
    Recorder<int> battery(sensor->batteryEvent());
    peer->statusCharacteristic()->notify({0x02, 0x00});  // shorter than one pack
    peer->statusCharacteristic()->notify({0x01, 0x00, 50, 0x00, 0x01, 0x00, 42, 0x00});
    ASSERT_TRUE(waitFor([&] {
        int32_t level = 0;
        sensor->readBattPower(level);
        return level == 42;
    }));
    ASSERT_TRUE(waitFor([&] { return battery.count() >= 1 && battery.events().back() == 42; }));
    for (int level : battery.events()) EXPECT_NE(level, 50) << "only the newest pack of a notification counts";
    uint8_t mode = 0;
    sensor->readFirmwareMode(mode);
    EXPECT_EQ(mode, 1);
    EXPECT_TRUE(sensor->execCommand(SensorCommand::StartSignal)) << "the short pack did not change the state";
}

TEST_F(MorvexDevice, LinkLossEndsAWaitingCommandAtTheNextStep) {
    ProtocolTiming patient = lostReplyProtocol();
    patient.replyWaitStep = 100ms;  // a full command would take over 9 s
    open({}, patient);
    peer->setSilent(true);
    auto command = std::async(std::launch::async, [&] { return sensor->execCommand(SensorCommand::StartSignal); });
    ASSERT_TRUE(waitFor([&] { return !frames().empty(); }));
    peer->dropLink();
    ASSERT_EQ(command.wait_for(5s), std::future_status::ready);
    EXPECT_EQ(command.get(), OperationResult::failed(511, "Device error: [ERR_DATA_SEND]"));
}

TEST_F(MorvexDevice, DisconnectStopsStreamingFirstAndConnectComesBack) {
    open();
    ASSERT_TRUE(sensor->execCommand(SensorCommand::StartSignal));
    ASSERT_TRUE(sensor->disconnect());
    EXPECT_EQ(frames().back(), Idle) << "the idle frame goes out before the link is closed";
    int32_t state = 0;
    sensor->readState(state);
    EXPECT_EQ(state, 1);

    // Link loss, then a new connection: identity and status are read again and the streams
    // work as before.
    ASSERT_TRUE(sensor->connect());
    peer->dropLink();
    ASSERT_TRUE(waitFor([&] { return ble->isDisconnected(); }));
    peer->setBattery(64);
    ASSERT_TRUE(sensor->connect());
    ASSERT_TRUE(waitFor([&] {
        int32_t level = 0;
        sensor->readBattPower(level);
        return level == 64;
    }));
    Recorder<std::vector<_SignalData>> signal(sensor->signalEvent());
    ASSERT_TRUE(sensor->execCommand(SensorCommand::StartSignal));
    EXPECT_TRUE(waitFor([&] { return signal.count() >= 3; }));
}

TEST_F(MorvexDevice, DestroyedWhileStreaming) {
    open();
    Recorder<std::vector<_SignalData>> signal(sensor->signalEvent());
    ASSERT_TRUE(sensor->execCommand(SensorCommand::StartSignal));
    ASSERT_TRUE(waitFor([&] { return signal.count() >= 5; }));
    sensor.reset();
    EXPECT_EQ(frames().back(), Idle) << "streaming is stopped before the link is closed";
    EXPECT_EQ(peer->state(), 1);
    EXPECT_TRUE(ble->isDisconnected());
}

TEST_F(MorvexDevice, ReleasedFromInsideItsOwnSignalCallback) {
    open();
    auto holder = std::make_shared<std::shared_ptr<MorvexBLE>>(std::move(sensor));
    std::atomic<bool> released{false};
    auto callback = std::make_shared<std::function<void(const std::vector<_SignalData>&)>>(
        [holder, &released](std::vector<_SignalData>) {
            if (!released.exchange(true)) holder->reset();  // the host frees the sensor from its callback
        });
    (*holder)->signalEvent().lock()->subscribe(callback);
    ASSERT_TRUE((*holder)->execCommand(SensorCommand::StartSignal));
    ASSERT_TRUE(waitFor([&] { return released.load(); }));
    ASSERT_TRUE(waitFor([&] { return ble->isDisconnected(); }));
    EXPECT_EQ(frames().back(), Idle);
}

TEST_F(MorvexDevice, ReleasedFromInsideItsOwnResistanceCallback) {
    open();
    auto holder = std::make_shared<std::shared_ptr<MorvexBLE>>(std::move(sensor));
    std::atomic<bool> released{false};
    auto callback = std::make_shared<std::function<void(const _ResistData&)>>([holder, &released](const _ResistData&) {
        // A command from the callback must not deadlock on the command lock.
        if (!released.exchange(true)) holder->reset();
    });
    (*holder)->resistEvent().lock()->subscribe(callback);
    ASSERT_TRUE((*holder)->execCommand(SensorCommand::StartResist));
    ASSERT_TRUE(waitFor([&] { return released.load(); }));
    ASSERT_TRUE(waitFor([&] { return ble->isDisconnected(); }));
    EXPECT_EQ(frames().back(), Idle);
}

namespace {

std::string creationError(const std::function<void()>& create) {
    try {
        create();
    } catch (const VexaDevice::Utility::rt_exception& e) {
        return std::string("rt: ") + e.what();
    } catch (const std::exception& e) {
        return std::string("std: ") + e.what();
    }
    return "no error";
}

}  // namespace

TEST_F(MorvexDevice, CreationFailuresNameWhatIsWrong) {
    MorvexPeerSettings settings;
    settings.modelNumber = "M-1";
    EXPECT_EQ(creationError([&] { open(settings); }), "rt: Failed create Morvex BLE Protocol: invalid stoi argument");
    peer.reset();
    radio->removePeripheral(Address);

    settings = {};
    settings.hardwareRevision = "99999999999";
    EXPECT_EQ(creationError([&] { open(settings); }),
              "rt: Failed create Morvex BLE Protocol: stoi argument out of range");
    peer.reset();
    radio->removePeripheral(Address);

    peer = MorvexPeer::attach(*radio, Address);
    peer->statusCharacteristic()->failNextReads(3);
    ble = BLEDevice::create(DeviceId::fromUInt64(Address), {}, fastBle());
    EXPECT_EQ(creationError([&] { MorvexBLE device(ble, fastProtocol()); }), "rt: Can not read Status");
    peer.reset();
    radio->removePeripheral(Address);

    // A device without the data characteristic, and one without Device Information.
    namespace Property = VexaDevice::BLE::Platform::CharacteristicProperty;
    auto bare = radio->addPeripheral(Address, "Morvex");
    auto service = bare->addService(MorvexServiceUuid);
    service->addCharacteristic(MorvexStatusUuid, Property::Read | Property::Notify, {1, 0, 80, 0});
    service->addCharacteristic(MorvexCommandUuid, Property::Write);
    ble = BLEDevice::create(DeviceId::fromUInt64(Address), {}, fastBle());
    EXPECT_EQ(creationError([&] { MorvexBLE device(ble, fastProtocol()); }), "rt: DeviceInfo Service cannot be empty.");
    bare->addService(VexaDevice::Utility::kDeviceInformationService)
        ->addCharacteristic(VexaDevice::Morvex::MorvexDataUuid, Property::Read);
    ble = BLEDevice::create(DeviceId::fromUInt64(Address), {}, fastBle());
    EXPECT_EQ(creationError([&] { MorvexBLE device(ble, fastProtocol()); }), "rt: Data Channel cannot be null.");
    EXPECT_EQ(creationError([&] { MorvexBLE device(nullptr); }),
              "std: Cannot create Morvex BLE Device: BLE device cannot be null");
}
