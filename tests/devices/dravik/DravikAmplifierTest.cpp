// The Dravik amplifier's modes and settings against the emulated device: the frames on ACS
// Command, the modes the device reports, and the samples and resistances it streams.

#include <gtest/gtest.h>

#include <algorithm>
#include <condition_variable>
#include <functional>
#include <mutex>

#include "sdk/core/ByteReaders.hpp"
#include "sdk/devices/dravik/DravikGatt.hpp"
#include "tests/support/WaitFor.hpp"
#include "tests/devices/common/Recorder.hpp"
#include "tests/devices/dravik/DravikRecords.hpp"
#include "tests/devices/dravik/DravikRig.hpp"

using namespace VexaDevice;
using namespace VexaDevice::Dravik;
using DevicesTest::Recorder;
using DravikTest::DravikRig;
using TestSupport::waitFor;
using Frames = std::vector<std::vector<uint8_t>>;

namespace {

VexaSim::DravikPeerSettings streamingDevice() {
    VexaSim::DravikPeerSettings settings;
    for (size_t channel = 0; channel < 24; ++channel) {
        settings.channelVolts[channel] = 0.0001 * static_cast<double>(channel + 1);
        settings.electrodeOhms[channel] = 5000.0 + 1000.0 * static_cast<double>(channel);
    }
    return settings;
}

// Channels 0..3 with lead-off, the rest signal-only, x24 at 500 Hz.
DravikAmplifierParam leadOffRecord() {
    auto param = DravikTest::allChannels(ChannelSignal, 7, kRate500);
    for (size_t channel = 0; channel < 4; ++channel) {
        param.channelMode[channel] = ChannelSignalResist;
    }
    return param;
}

// Each case runs against a device that shows a new mode at once and one that shows it a few
// status reads late (while it already streams in the new mode).
struct DravikAmplifier : ::testing::TestWithParam<int> {
    DravikRig rig{streamingDevice()};
    std::shared_ptr<DravikBleProtocol> protocol = rig.protocol();
    DravikAmplifier() { rig.peer->setModeLag(GetParam()); }
    Frames frames() const { return rig.peer->commandFrames(); }
};

}  // namespace

INSTANTIATE_TEST_SUITE_P(ModeShown, DravikAmplifier, ::testing::Values(0, 3),
                         [](const auto& info) { return info.param == 0 ? "AtOnce" : "AFewReadsLate"; });

TEST_P(DravikAmplifier, SignalStartsWithTheSurveyIdAndStreamsTheDevicesVolts) {
    EXPECT_EQ(protocol->ampMode(), AmpModePowerDown);
    ASSERT_TRUE(protocol->writeSurveyId(0x01020304));
    Recorder<std::vector<Kestrane::_SignalData>> signals(protocol->signalEvent());

    ASSERT_TRUE(protocol->startSignal());
    EXPECT_EQ(frames(), (Frames{{0x05, 0x00}, {0x03, 0x04, 0x03, 0x02, 0x01}}));
    EXPECT_EQ(protocol->ampMode(), AmpModeSignal);
    EXPECT_EQ(rig.peer->withDevice([](VexaSim::DravikPeerModel& model) { return model.surveyId(); }), 0x01020304u);
    ASSERT_TRUE(signals.atLeast(10));
    const auto record = signals.records().back();
    ASSERT_EQ(record.Samples.size(), 24u);
    for (size_t channel = 0; channel < 24; ++channel) {
        EXPECT_NEAR(record.Samples[channel], 0.0001 * static_cast<double>(channel + 1), 1e-7) << channel;
    }
    EXPECT_EQ(protocol->writeSurveyId(7),
              OperationResult::failed(517, "Setting the parameter is allowed for modes: Idle or PowerDown"));
    EXPECT_EQ(protocol->readSurveyId(), 0x01020304);
    EXPECT_EQ(protocol->writeAmplifierParam(leadOffRecord()).code, 513) << "only while stopped";

    ASSERT_TRUE(protocol->ping(0));
    ASSERT_TRUE(protocol->ping(5));
    EXPECT_EQ(frames().back(), (std::vector<uint8_t>{0x06, 5}));
    ASSERT_TRUE(waitFor([&] {
        const auto records = signals.records();
        return std::any_of(records.begin(), records.end(), [](const auto& r) { return r.Marker == 5; });
    }));

    ASSERT_TRUE(protocol->powerDown());
    EXPECT_EQ(frames().back(), (std::vector<uint8_t>{0x01}));
    EXPECT_EQ(protocol->ampMode(), AmpModePowerDown);
    ASSERT_TRUE(protocol->powerDown());
    EXPECT_EQ(frames().back(), (std::vector<uint8_t>{0x01})) << "already stopped: nothing more is sent";
}

TEST_P(DravikAmplifier, ResistanceModesReportTheElectrodes) {
    ASSERT_TRUE(protocol->writeAmplifierParam(leadOffRecord()));
    EXPECT_EQ(protocol->readAmplifierParam(), leadOffRecord());
    EXPECT_EQ(rig.peer->acsConfigCharacteristic()->value()[8 + 14], 0x0F) << "lead-off on channels 0..3";
    Recorder<std::vector<_DravikResistData>> resists(protocol->resistEvent());

    ASSERT_TRUE(protocol->startResist());
    EXPECT_EQ(protocol->ampMode(), AmpModeResist);
    EXPECT_EQ(frames().back(), (std::vector<uint8_t>{0x05, 0x01}));
    ASSERT_TRUE(waitFor([&] {
        const auto records = resists.records();
        if (records.empty()) return false;
        const auto& newest = records.back();
        return std::abs(newest.Values[3] - 8000.0) < 8.0 && std::abs(newest.Values[0] - 5000.0) < 5.0;
    })) << "the filters settle on the device's 8 and 5 kOhm";
    auto last = resists.records().back();
    EXPECT_EQ(last.Values[4], std::numeric_limits<double>::infinity()) << "a signal-only channel";

    // From resistance to signal and resistance, then back to signal alone.
    ASSERT_TRUE(protocol->startSignalAndResist());
    EXPECT_EQ(protocol->ampMode(), AmpModeSignalResist);
    ASSERT_TRUE(protocol->stopResist());
    EXPECT_EQ(protocol->ampMode(), AmpModeSignal);
    EXPECT_EQ(frames().back(), (std::vector<uint8_t>{0x05, 0x00}));
    EXPECT_EQ(rig.peer->withDevice([](VexaSim::DravikPeerModel& model) { return model.state(); }), 2);

    ASSERT_TRUE(protocol->stopResist()) << "outside signal and resistance it stops the amplifier";
    EXPECT_EQ(protocol->ampMode(), AmpModePowerDown);

    ASSERT_TRUE(protocol->startSignalAndResist());
    EXPECT_EQ(protocol->ampMode(), AmpModeSignalResist);
    EXPECT_EQ(frames().back()[0], 0x03);
    ASSERT_TRUE(protocol->setIdle()) << "the device has no Idle frame: it stops";
    EXPECT_EQ(protocol->ampMode(), AmpModePowerDown);
}

TEST_P(DravikAmplifier, AnUnansweredModeChangeFailsAndKeepsTheDevicesMode) {
    rig.peer->setIgnoring(true);
    EXPECT_EQ(protocol->startSignal(), OperationResult::failed(513, "Failed changed amp. mode"));
    EXPECT_EQ(protocol->ampMode(), AmpModePowerDown);
    rig.peer->commandCharacteristic()->failNextWrites(100);
    EXPECT_EQ(protocol->startSignal(), OperationResult::failed(513, "Failed off resist mode"));
}

// Within a running signal, resistance switches on and off with its frame alone; the waits are
// those of the sequences: for the signal to start, and for signal and resistance to show.
TEST_P(DravikAmplifier, ResistanceSwitchesWithinTheSignalWithoutWaiting) {
    const auto deviceResist = [&] {
        return rig.peer->withDevice([](VexaSim::DravikPeerModel& model) { return model.resistMode(); });
    };
    ASSERT_TRUE(protocol->startSignal());
    rig.peer->setModeLag(100000);
    ASSERT_TRUE(protocol->startResist()) << "from signal: no wait";
    EXPECT_EQ(frames().back(), (std::vector<uint8_t>{0x05, 0x01}));
    EXPECT_EQ(deviceResist(), 1);
    EXPECT_EQ(protocol->ampMode(), AmpModeResist);

    const size_t sent = frames().size();
    ASSERT_TRUE(protocol->startSignal()) << "from resistance: no wait";
    EXPECT_EQ(frames().size(), sent + 1) << "only the resistance-off frame";
    EXPECT_EQ(frames().back(), (std::vector<uint8_t>{0x05, 0x00}));
    EXPECT_EQ(deviceResist(), 0);
    EXPECT_EQ(protocol->ampMode(), AmpModeSignal);

    EXPECT_EQ(protocol->startSignalAndResist(), OperationResult::failed(513, "Failed changed amp. mode"))
        << "signal and resistance waits for the device to show it";
    EXPECT_EQ(protocol->ampMode(), AmpModeSignal) << "as the device reports it";
}

// Packs that arrive while resistance starts from PowerDown, the amplifier passing through
// signal measurement, are read as resistance packs: no signal reaches a subscriber.
TEST_P(DravikAmplifier, ResistanceFromPowerDownDeliversNoSignal) {
    ASSERT_TRUE(protocol->writeAmplifierParam(leadOffRecord()));
    Recorder<std::vector<Kestrane::_SignalData>> signals(protocol->signalEvent());
    Recorder<std::pair<std::vector<Kestrane::_SignalData>, std::vector<_DravikResistData>>> both(
        protocol->signalResistEvent());
    Recorder<std::vector<_DravikResistData>> resists(protocol->resistEvent());
    Recorder<uint8_t> modes(protocol->ampModeEvent());

    ASSERT_TRUE(protocol->startResist());
    EXPECT_EQ(frames(), (Frames{{0x03, 0, 0, 0, 0}, {0x05, 0x01}}));
    ASSERT_TRUE(resists.atLeast(20));
    EXPECT_EQ(signals.count(), 0u);
    for (const auto& [signal, resist] : both.events()) {
        EXPECT_TRUE(signal.empty());
        EXPECT_FALSE(resist.empty());
    }
    for (const uint8_t mode : modes.events()) {
        EXPECT_NE(mode, AmpModeSignal) << "the mode published goes straight to resistance";
    }
}

// Resistance started after a stopped signal, no worker pass having run while the amplifier stood
// at PowerDown: the signal packs it streams while the start waits for the signal arrive under
// resistance and are read so, whatever mode the worker saw last.
TEST_P(DravikAmplifier, ResistanceAfterAStoppedSignalDeliversNoSignal) {
    // A 12-byte header and two sets of a marker and 24 samples of 3 bytes.
    constexpr size_t kPackBytes = 12 + 2 * (1 + 24 * 3);
    protocol.reset();
    auto timing = DravikTest::fastDravik();
    timing.workerWait = std::chrono::hours(1);  // passes run only for what arrives
    // The stop's wait outlasts the pass over the signal's last packs; the mode waits, fewer
    // polls then, get time enough for a loaded machine.
    timing.pollStep = std::chrono::milliseconds(20);
    timing.stopWait = timing.startWait = std::chrono::seconds(5);
    protocol = rig.protocol(timing);
    ASSERT_TRUE(protocol->writeAmplifierParam(leadOffRecord()));
    Recorder<std::vector<Kestrane::_SignalData>> signals(protocol->signalEvent());
    Recorder<std::pair<std::vector<Kestrane::_SignalData>, std::vector<_DravikResistData>>> both(
        protocol->signalResistEvent());
    Recorder<std::vector<_DravikResistData>> resists(protocol->resistEvent());
    Recorder<std::vector<uint8_t>> raw(protocol->rawSignalEvent());

    ASSERT_TRUE(protocol->startSignal());
    ASSERT_TRUE(signals.atLeast(10));
    ASSERT_TRUE(protocol->powerDown());
    // The records of the packs made from here on number from `resumed`.
    const uint32_t resumed =
        2 * rig.peer->withDevice([](VexaSim::DravikPeerModel& model) { return model.packetsSent(); });
    const auto made = [resumed](const Kestrane::_SignalData& record) { return record.PackNum >= resumed; };

    ASSERT_TRUE(protocol->startResist());
    const Frames all = frames();
    EXPECT_EQ((Frames{all.end() - 2, all.end()}), (Frames{{0x03, 0, 0, 0, 0}, {0x05, 0x01}}));
    ASSERT_TRUE(resists.atLeast(20));
    const auto bytes = raw.records();
    ASSERT_EQ(bytes.size() % kPackBytes, 0u);
    size_t signalPacks = 0;
    for (size_t offset = 0; offset < bytes.size(); offset += kPackBytes) {
        const bool signalOnly = bytes[offset + 5] == 0;
        signalPacks += signalOnly && Utility::decodeUnsigned(&bytes[offset], 4, true) >= resumed ? 1 : 0;
    }
    EXPECT_GT(signalPacks, 0u) << "the amplifier streamed the signal before resistance went on";
    const auto records = signals.records();
    EXPECT_EQ(std::count_if(records.begin(), records.end(), made), 0);
    for (const auto& [signal, resist] : both.events()) {
        EXPECT_EQ(std::count_if(signal.begin(), signal.end(), made), 0);
    }
}

// Two data notifications cut short reach the worker in one pass with the whole packs after
// them (the worker is held in a subscriber while they arrive): each cut one is dropped alone,
// and every other pack comes out with the device's samples.
TEST_P(DravikAmplifier, ANotificationCutShortSpoilsNoOtherPack) {
    struct Held {
        std::mutex mutex;
        std::condition_variable opened;
        bool open = false;
        bool entered = false;
        std::vector<Kestrane::_SignalData> records;
    };
    const auto held = std::make_shared<Held>();
    const auto subscriber = std::make_shared<std::function<void(const std::vector<Kestrane::_SignalData>&)>>(
        [held](const std::vector<Kestrane::_SignalData>& batch) {
            std::unique_lock lock(held->mutex);
            held->entered = true;
            held->opened.wait(lock, [&] { return held->open; });
            held->records.insert(held->records.end(), batch.begin(), batch.end());
        });
    protocol->signalEvent().lock()->subscribe(subscriber);
    const auto records = [&] {
        std::lock_guard lock(held->mutex);
        return held->records;
    };
    const auto packetsSent = [&] {
        return rig.peer->withDevice([](VexaSim::DravikPeerModel& model) { return model.packetsSent(); });
    };

    ASSERT_TRUE(protocol->startSignal());
    ASSERT_TRUE(waitFor([&] {
        std::lock_guard lock(held->mutex);
        return held->entered;
    }));
    const auto data = rig.peer->peripheral()->characteristic(AcsServiceUuid, AcsDataUuid);
    ASSERT_NE(data, nullptr);
    // Each pack holds two sets: pack k carries records 2k and 2k + 1.
    const uint32_t sent = packetsSent();
    data->truncateNextNotifications(2, 6);
    ASSERT_TRUE(waitFor([&] { return packetsSent() >= sent + 8; }));
    {
        std::lock_guard lock(held->mutex);
        held->open = true;
    }
    held->opened.notify_all();

    ASSERT_TRUE(waitFor([&] {
        const auto all = records();
        return !all.empty() && all.back().PackNum >= 2 * (sent + 8);
    })) << "the packs after the ones cut short arrive";
    const auto all = records();
    uint32_t missing = 0;
    for (size_t i = 0; i < all.size(); ++i) {
        ASSERT_EQ(all[i].Samples.size(), 24u);
        for (size_t channel = 0; channel < 24; ++channel) {
            ASSERT_NEAR(all[i].Samples[channel], 0.0001 * static_cast<double>(channel + 1), 1e-7)
                << "record " << all[i].PackNum << ", channel " << channel;
        }
        if (i > 0) {
            ASSERT_GT(all[i].PackNum, all[i - 1].PackNum);
            missing += all[i].PackNum - all[i - 1].PackNum - 1;
        }
    }
    EXPECT_EQ(missing, 4u) << "the two sets of each of the two packs cut short, nothing else";
}

// Idle has no frame of its own: from PowerDown too the stop frame goes out.
TEST_P(DravikAmplifier, IdleFromPowerDownSendsTheStopFrame) {
    ASSERT_EQ(protocol->ampMode(), AmpModePowerDown);
    ASSERT_TRUE(protocol->setIdle());
    EXPECT_EQ(frames(), (Frames{{0x01}}));
    EXPECT_EQ(protocol->ampMode(), AmpModePowerDown);
    rig.peer->setIgnoring(true);
    ASSERT_TRUE(protocol->setIdle()) << "the device shows PowerDown already";
    EXPECT_EQ(frames(), (Frames{{0x01}, {0x01}}));
}

TEST_P(DravikAmplifier, EveryModeCommandFailsOnALinkThatIsDown) {
    ASSERT_TRUE(protocol->startSignal());
    ASSERT_TRUE(protocol->powerDown());
    const size_t sent = frames().size();
    rig.peer->dropLink();
    ASSERT_TRUE(waitFor([&] { return rig.ble->isDisconnected(); }));

    const OperationResult down = OperationResult::failed(513, "Device error: [ERR_DATA_SEND]");
    EXPECT_EQ(protocol->powerDown(), down) << "stopped when last seen, which proves nothing now";
    EXPECT_EQ(protocol->setIdle(), down);
    EXPECT_EQ(protocol->stopResist(), down);
    EXPECT_EQ(protocol->startSignal(), down);
    EXPECT_EQ(protocol->startResist(), down);
    EXPECT_EQ(protocol->startSignalAndResist(), down);
    EXPECT_EQ(frames().size(), sent) << "nothing is sent";
    EXPECT_EQ(protocol->ampMode(), AmpModePowerDown);
}

TEST_P(DravikAmplifier, SupportedChannelsFollowTheReferentMode) {
    auto channels = protocol->readSupportedChannels();
    ASSERT_EQ(channels.size(), 24u);
    EXPECT_EQ(channels[0].name, "O1");
    EXPECT_EQ(channels[8].name, "O2");
    EXPECT_EQ(channels[18].name, "D3");
    EXPECT_EQ(channels[23].name, "FpZ");
    EXPECT_EQ(channels[0].id, 3);
    EXPECT_EQ(channels[16].id, 2);
    auto two = leadOffRecord();
    two.referentMode = 2;
    ASSERT_TRUE(protocol->writeAmplifierParam(two));
    channels = protocol->readSupportedChannels();
    EXPECT_EQ(channels[0].id, 0);
    EXPECT_EQ(channels[9].id, 1);
    EXPECT_EQ(channels[9].dataIndex, 9);
}
