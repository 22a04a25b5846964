// The Tessel protocol against the emulated device's wire model: connect and reconnect
// sequences, command replies and their failures, and every kind of data pack through the worker.

#include <gtest/gtest.h>

#include <atomic>
#include <sstream>
#include <string>
#include <thread>

#include <spdlog/sinks/ostream_sink.h>

#include "sdk/core/Log.hpp"
#include "sdk/core/RtException.hpp"
#include "sdk/devices/tessel/TesselBleProtocol.hpp"
#include "tests/support/WaitFor.hpp"
#include "tests/devices/common/Recorder.hpp"
#include "tests/devices/tessel/ModelLink.hpp"

using namespace std::chrono_literals;
using namespace VexaDevice::Tessel;
using DevicesTest::Recorder;
using TesselTest::Bytes;
using TesselTest::ModelLink;
using TestSupport::waitFor;
using VexaDevice::Sensor::SensorCommand;
using VexaDevice::Sensor::SensorParamAccess;
using VexaDevice::Sensor::SensorParameter;
using VexaDevice::Utility::rt_exception;
using VexaSim::ErrorByte9;
using VexaSim::TesselPeerModel;
using VexaSim::TesselPeerSettings;
using Codes = std::vector<uint8_t>;

namespace {

// A device that answers does so well within this however loaded the machine, so that no
// command is written twice; tests where the device stays silent wait SilentWait instead.
constexpr std::chrono::milliseconds ReplyWait = 2000ms;
constexpr std::chrono::milliseconds SilentWait = 60ms;
// An answer held back this long still comes within the reply wait.
constexpr std::chrono::milliseconds LateAnswer = 15ms;

TesselTiming fastTiming(std::chrono::milliseconds replyWait = ReplyWait) {
    TesselTiming timing;
    timing.workerWait = 2ms;
    timing.replyWait = replyWait;
    timing.requestRetryPause = 2ms;
    // A clock that stands still: the worker's periodic requests never fall due.
    timing.clock = [] { return int64_t{1}; };
    return timing;
}

// The codes the connect sequence sends to a device with the motion counter.
const Codes Connect{Code::GetSerialNum, Code::GetBatteryV, Code::Echo, Code::GetSensorParam,
                    Code::GetMotionCounterParam};

struct TesselProtocol : ::testing::Test {
    std::unique_ptr<ModelLink> link;
    std::shared_ptr<TesselBleProtocol> protocol;

    void open(TesselPeerSettings settings = {}, TesselTiming timing = fastTiming()) {
        link = std::make_unique<ModelLink>(std::move(settings));
        protocol = TesselBleProtocol::create(link->rx(), link->tx(), std::move(timing));
    }

    // The worker may hold the protocol for a pass of its own when the test lets go of it:
    // stopping joins the worker first, so that nothing writes to the link once it is gone.
    void TearDown() override {
        if (protocol) protocol->stop();
        protocol.reset();
        link.reset();
    }

    int32_t error(const OpCmdRes& reply) { return std::get<DeviceError>(reply.payload).code; }
};

}  // namespace

TEST_F(TesselProtocol, ConnectReadsSerialBatteryEchoCapabilitiesAndCounter) {
    open();
    EXPECT_EQ(link->codes(), Connect);
    const auto frames = link->frames();
    EXPECT_EQ(frames[0][4], 0) << "the serial is not known yet";
    EXPECT_EQ(Bytes(frames[1].begin() + 4, frames[1].begin() + 7), (Bytes{0x56, 0x34, 0x12}));
    EXPECT_TRUE(protocol->isReady());
    EXPECT_EQ(protocol->serialNumber(), 0x123456u);
    EXPECT_EQ(protocol->echo(), (EchoInfo{42, 15, 3, 9, 1, 0xBEEF}));
    EXPECT_EQ(protocol->firmwareMode(), 1);
    EXPECT_EQ(protocol->batteryPercent(), 36) << "3800 mV, awaited during the connection";
    EXPECT_EQ(protocol->motionCounterParams(), (MotionCounterParams{100, 200}));
    const auto caps = protocol->capabilities();
    EXPECT_EQ(caps->samplingFrequency, 4);
    EXPECT_EQ(caps->gain, 4);
    EXPECT_EQ(caps->dataOffset, 3);
    EXPECT_EQ(protocol->packCounter().samplingFrequency(), 250u);
    EXPECT_TRUE(protocol->checkCommand(SensorCommand::StartSignal));
    EXPECT_EQ(protocol->checkCommand(SensorCommand::StartCurrentStimulation),
              VexaDevice::OperationResult::failed(767, "Unsupported Command: [StartCurrentStimulation]"));
    EXPECT_EQ(protocol->checkParameter(SensorParameter::StimulatorParamPack, SensorParamAccess::Read),
              VexaDevice::OperationResult::failed(1023, "Unsupported Parameter: [StimulatorParamPack]"));
    EXPECT_EQ(protocol->checkParameter(SensorParameter::SerialNumber, SensorParamAccess::ReadWrite),
              VexaDevice::OperationResult::failed(1279, "Unsupported Parameter access: [SerialNumber]"));
    EXPECT_TRUE(protocol->checkParameter(SensorParameter::Gain, SensorParamAccess::ReadWrite));
}

TEST_F(TesselProtocol, ADeviceInItsBootLoaderIsSwitchedToItsApplication) {
    TesselPeerSettings settings;
    settings.bootLoader = true;
    open(settings);
    EXPECT_EQ(link->codes(), (Codes{Code::GetSerialNum, Code::GetBatteryV, Code::Echo, Code::ActivateApp, Code::Echo,
                                    Code::GetSensorParam, Code::GetMotionCounterParam}));
    EXPECT_EQ(protocol->firmwareMode(), 1);
    EXPECT_FALSE(link->withModel([](TesselPeerModel& model) { return model.settings().bootLoader; }));
}

TEST_F(TesselProtocol, WithoutTheMotionModuleNoCounterParametersAreAsked) {
    TesselPeerSettings settings;
    settings.modules = 0x01;
    open(settings);
    EXPECT_EQ(link->codes(), (Codes{Code::GetSerialNum, Code::GetBatteryV, Code::Echo, Code::GetSensorParam}));
}

TEST_F(TesselProtocol, ConnectFailures) {
    try {
        TesselBleProtocol::create(nullptr, std::make_shared<ModelLink>()->tx(), fastTiming());
        ADD_FAILURE() << "created without Rx";
    } catch (const rt_exception& e) {
        EXPECT_STREQ(e.what(), "Rx Channel cannot be null.");
    }

    ModelLink silent;
    silent.withModel([](TesselPeerModel& model) { model.setSilent(true); });
    try {
        TesselBleProtocol::create(silent.rx(), silent.tx(), fastTiming(SilentWait));
        ADD_FAILURE() << "a silent device was taken";
    } catch (const rt_exception& e) {
        EXPECT_STREQ(e.what(), "Device error: [ERR_DATA_SEND]");
        EXPECT_EQ(e.code(), 511);
    }
    EXPECT_EQ(silent.codes(), Codes(6, Code::GetSerialNum)) << "five retries";

    ModelLink stuck({.bootLoader = true});
    stuck.withModel([](TesselPeerModel& model) { model.refuseCommand(Code::ActivateApp, 101); });
    try {
        TesselBleProtocol::create(stuck.rx(), stuck.tx(), fastTiming());
        ADD_FAILURE() << "a device stuck in its boot loader was taken";
    } catch (const rt_exception& e) {
        EXPECT_STREQ(e.what(), "Device error: [ERR_BOOT_CRC]");
        EXPECT_EQ(e.code(), 101);
    }
}

TEST_F(TesselProtocol, CommandsAreWrittenOncePerReplyWait) {
    open({}, fastTiming(SilentWait));
    link->clearFrames();
    link->withModel([](TesselPeerModel& model) { model.setSilent(true); });
    const auto start = std::chrono::steady_clock::now();
    const OpCmdRes reply = protocol->execCommand(Code::FindMe, {}, 5);
    EXPECT_GE(std::chrono::steady_clock::now() - start, 6 * SilentWait);
    EXPECT_EQ(link->codes(), Codes(6, Code::FindMe));
    EXPECT_EQ(reply.ok, 0);
    EXPECT_EQ(reply.command, Code::FindMe);
    EXPECT_EQ(error(reply), 511);
}

TEST_F(TesselProtocol, AFailedWriteIsTriedAgainAfterItsWait) {
    constexpr auto wait = 250ms;
    open({}, fastTiming(wait));
    link->clearFrames();
    link->failNextWrites(1);
    const auto start = std::chrono::steady_clock::now();
    const OpCmdRes reply = protocol->execCommand(Code::FindMe, {}, 1);
    EXPECT_GE(std::chrono::steady_clock::now() - start, wait);
    EXPECT_EQ(reply.ok, 1);
    EXPECT_EQ(link->codes().size(), 2u);
}

TEST_F(TesselProtocol, RepliesMatchTheCommandInFlight) {
    open();
    // An answer to another command is not this command's reply.
    link->notify(TesselPeerModel({}).onCommand(buildCommandFrame(Code::Echo, {}, 0)).front());
    link->drain();
    const OpCmdRes counter = protocol->execCommand(Code::GetMotionCounterVal, {}, 0);
    EXPECT_EQ(counter.command, Code::GetMotionCounterVal);
    EXPECT_EQ(std::get<ReplyValue>(counter.payload).value, 1234);

    // The device's refusal ends the wait at once with its code.
    link->withModel([](TesselPeerModel& model) { model.refuseCommand(Code::SetPgaGain, 37); });
    link->clearFrames();
    const OpCmdRes refused = protocol->execCommand(Code::SetPgaGain, byteArgs(9), 3);
    EXPECT_EQ(link->codes(), Codes{Code::SetPgaGain}) << "not written again";
    EXPECT_EQ(refused.ok, 0);
    EXPECT_EQ(refused.command, 0);
    EXPECT_EQ(error(refused), 37);
    EXPECT_EQ(deviceResult(refused), VexaDevice::OperationResult::failed(37, "Device error: [ERR_WRONG_PARAM]"));
}

TEST_F(TesselProtocol, AnErrorReplyEndsTheWaitWithTheDevicesCodeWhateverItsByte9) {
    open();
    link->withModel([](TesselPeerModel& model) { model.refuseCommand(Code::SetPgaGain, 37); });
    for (const ErrorByte9 kind : {ErrorByte9::RefusedCode, ErrorByte9::Zero, ErrorByte9::OtherCommand}) {
        link->withModel([kind](TesselPeerModel& model) { model.setErrorByte9(kind); });
        link->clearFrames();
        const OpCmdRes refused = protocol->execCommand(Code::SetPgaGain, byteArgs(9), 3);
        EXPECT_EQ(link->codes(), Codes{Code::SetPgaGain}) << "written once, byte 9 kind " << int(kind);
        EXPECT_EQ(refused.ok, 0);
        EXPECT_EQ(error(refused), 37) << "byte 9 kind " << int(kind);
    }
}

TEST_F(TesselProtocol, ARefusedRequestWithoutReplyNeverFailsAHostCommand) {
    open();
    for (const ErrorByte9 kind : {ErrorByte9::RefusedCode, ErrorByte9::Zero, ErrorByte9::OtherCommand}) {
        link->withModel([kind](TesselPeerModel& model) {
            model.refuseCommand(Code::GetBatteryV, 33);
            model.setErrorByte9(kind);
        });
        // The refusal of the battery request arrives while the command waits, then its reply.
        link->delayNextAnswers(2, LateAnswer);
        EXPECT_TRUE(protocol->sendCommandNoReply(Code::GetBatteryV, 0).ok);
        const OpCmdRes reply = protocol->execCommand(Code::FindMe, {}, 3);
        EXPECT_EQ(reply.ok, 1) << "byte 9 kind " << int(kind) << ": the refusal taken for the command's";
        EXPECT_EQ(reply.command, Code::FindMe);
        link->drain();
    }
    // A refusal of the waiting command fails it.
    link->withModel([](TesselPeerModel& model) {
        model.setErrorByte9(ErrorByte9::OtherCommand);
        model.refuseCommand(Code::FindMe, 49);
    });
    EXPECT_EQ(error(protocol->execCommand(Code::FindMe, {}, 0)), 49);
}

TEST_F(TesselProtocol, RequestsWithoutReplyArePacedAndCounted) {
    open();
    link->clearFrames();
    link->failNextWrites(10);
    const OpCmdRes failed = protocol->sendCommandNoReply(Code::GetElectrodeState, 3);
    EXPECT_EQ(failed.ok, 0);
    EXPECT_EQ(error(failed), 511);
    EXPECT_EQ(link->codes(), Codes(4, Code::GetElectrodeState));
    const OpCmdRes sent = protocol->sendCommandNoReply(Code::GetElectrodeState, 3);
    EXPECT_EQ(sent.ok, 0) << "still failing";
    link->failNextWrites(0);
    EXPECT_EQ(protocol->sendCommandNoReply(Code::GetElectrodeState, 3).ok, 1);
}

TEST_F(TesselProtocol, EveryPackKindReachesItsBus) {
    TesselPeerSettings settings;
    settings.gainCode = 2;  // gain index 1, factor 2
    settings.dataOffset = 5;
    open(settings);
    Recorder<std::vector<_SignalData>> signal(protocol->signalEvent());
    Recorder<std::vector<_RespirationData>> respiration(protocol->respirationEvent());
    Recorder<std::vector<_MEMSData>> motion(protocol->memsEvent());
    Recorder<std::vector<_QuaternionData>> quaternion(protocol->quaternionEvent());
    Recorder<std::vector<_EnvelopeData>> envelope(protocol->envelopeEvent());
    for (const uint8_t start : {Code::StartAdcDataThrow, Code::StartRespDataThrow, Code::StartMemsDataThrow,
                                Code::StartQuatDataThrow, Code::StartEnvelopeDataThrow})
        ASSERT_EQ(protocol->execCommand(start, {}, 0).ok, 1) << int(start);
    constexpr uint32_t Ticks = 40;
    for (uint32_t tick = 0; tick < Ticks; ++tick) link->streamTick();
    ASSERT_TRUE(signal.atLeast(Ticks));
    ASSERT_TRUE(respiration.atLeast(Ticks));
    ASSERT_TRUE(motion.atLeast(Ticks));
    ASSERT_TRUE(quaternion.atLeast(Ticks));
    ASSERT_TRUE(envelope.atLeast(Ticks));

    const double volts = 2.42 / 8388607.0;
    const auto samples = signal.records();
    for (uint32_t n = 0; n < Ticks; ++n) {
        ASSERT_EQ(samples[n].PackNum, n);
        for (int i = 0; i < 9; ++i)
            EXPECT_DOUBLE_EQ(samples[n].Samples[i], TesselPeerModel::signalCount(n, i) * 32.0 * volts / 2.0);
        EXPECT_DOUBLE_EQ(respiration.records()[n].Samples.at(0), TesselPeerModel::respirationCount(n) * volts);
        EXPECT_DOUBLE_EQ(envelope.records()[n].Value, TesselPeerModel::envelopeCount(n) * volts);
        const _MEMSData axes = motion.records()[n];
        EXPECT_DOUBLE_EQ(axes.AccelerometerZ, TesselPeerModel::motionCount(n, 2) * 4.0 / 32767.0);
        EXPECT_DOUBLE_EQ(axes.GyroscopeY, TesselPeerModel::motionCount(n, 4) * 1000.0 / 32767.0);
        EXPECT_EQ(quaternion.records()[n].Z, TesselPeerModel::quaternionComponent(n, 3));
    }
    EXPECT_EQ(protocol->packCounter().receivedCount(), Ticks);
    EXPECT_EQ(protocol->packCounter().lostCount(), 0u);
}

TEST_F(TesselProtocol, PacksNeedingAnUnknownSettingAreDroppedAndTheWorkerGoesOn) {
    // Added before the protocol's threads start and removed after they ended.
    std::ostringstream captured;
    auto sink = std::make_shared<spdlog::sinks::ostream_sink_mt>(captured);
    VexaDevice::Utility::sdkLog()->sinks().push_back(sink);
    TesselPeerSettings settings;
    settings.gainCode = 9;   // no gain the library knows
    settings.accelSens = 7;  // no range either
    open(settings);
    EXPECT_EQ(protocol->capabilities()->gain, UnknownSetting);
    Recorder<std::vector<_SignalData>> signal(protocol->signalEvent());
    Recorder<std::vector<_MEMSData>> motion(protocol->memsEvent());
    Recorder<std::vector<_RespirationData>> respiration(protocol->respirationEvent());
    for (const uint8_t start : {Code::StartAdcDataThrow, Code::StartMemsDataThrow, Code::StartRespDataThrow})
        protocol->execCommand(start, {}, 0);
    for (int tick = 0; tick < 10; ++tick) link->streamTick();
    ASSERT_TRUE(respiration.atLeast(10)) << "the worker stopped";
    // A second round of packs, in later worker passes.
    for (int tick = 0; tick < 10; ++tick) link->streamTick();
    ASSERT_TRUE(respiration.atLeast(20)) << "the worker stopped";
    link->drain();
    EXPECT_EQ(signal.count(), 0u);
    EXPECT_EQ(motion.count(), 0u);
    protocol.reset();
    link.reset();
    VexaDevice::Utility::sdkLog()->sinks().pop_back();

    // Told once per stream, with the reason.
    const std::string log = captured.str();
    const auto occurrences = [&log](const std::string& text) {
        size_t count = 0;
        for (size_t at = log.find(text); at != std::string::npos; at = log.find(text, at + 1)) ++count;
        return count;
    };
    EXPECT_EQ(occurrences("[warning] Signal packs are dropped: the device reports no known gain"), 1u) << log;
    EXPECT_EQ(occurrences("[warning] Motion packs are dropped: the device reports no known accelerometer sensitivity"),
              1u)
        << log;
}

TEST_F(TesselProtocol, NotificationsAreSplitIntoPacks) {
    open();
    Recorder<std::vector<_SignalData>> signal(protocol->signalEvent());
    Recorder<int> battery(protocol->batteryEvent());
    TesselPeerModel device({});
    device.onCommand(buildCommandFrame(Code::StartAdcDataThrow, {}, 0));
    // A signal pack and a reply in one notification: the pack goes to the worker, the reply to
    // the command waiting for it.
    Bytes both = device.nextPacks().front();
    const Bytes counter = device.onCommand(buildCommandFrame(Code::GetMotionCounterVal, {}, 0)).front();
    both.insert(both.end(), counter.begin(), counter.end());
    std::thread late([&] {
        std::this_thread::sleep_for(LateAnswer);
        link->notify(both);
    });
    link->withModel([](TesselPeerModel& model) { model.setSilent(true); });
    const OpCmdRes reply = protocol->execCommand(Code::GetMotionCounterVal, {}, 0);
    late.join();
    EXPECT_EQ(std::get<ReplyValue>(reply.payload).value, 1234);
    ASSERT_TRUE(signal.atLeast(1));

    // Three battery packs and a torn tail: only the last battery value counts.
    battery.clear();
    Bytes three;
    for (const uint16_t mv : {3130, 4200, 3800}) {
        device.settings().batteryMillivolts = mv;
        const Bytes pack = device.onCommand(buildCommandFrame(Code::GetBatteryV, {}, 0)).front();
        three.insert(three.end(), pack.begin(), pack.end());
    }
    three.resize(three.size() + 7, 0xFF);
    link->notify(three);
    ASSERT_TRUE(battery.atLeast(1));
    link->drain();
    EXPECT_EQ(battery.events(), std::vector<int>{36});
}

TEST_F(TesselProtocol, PeriodicRequestsOfTheWorker) {
    auto now = std::make_shared<std::atomic<int64_t>>(1'000'000'000'000);
    TesselTiming timing = fastTiming();
    timing.clock = [now] { return now->load(); };
    TesselPeerSettings settings;
    settings.adcInput = 3;
    settings.electrodesDetached = true;
    open(settings, timing);
    Recorder<ElectrodeState> electrodes(protocol->electrodeStateEvent());
    auto count = [&](uint8_t code) {
        const Codes codes = link->codes();
        return std::count(codes.begin(), codes.end(), code);
    };
    ASSERT_TRUE(waitFor([&] { return count(Code::GetBatteryV) == 2; })) << "first pass after connecting";
    link->drain();
    EXPECT_EQ(count(Code::GetBatteryV), 2);
    *now += 5'001'000'000;
    ASSERT_TRUE(waitFor([&] { return count(Code::GetBatteryV) == 3; })) << "five seconds later";

    // Electrode state is asked for while data flows and the ADC input watches the electrodes.
    protocol->execCommand(Code::StartAdcDataThrow, {}, 0);
    link->streamTick();
    ASSERT_TRUE(electrodes.atLeast(1));
    EXPECT_EQ(electrodes.events().front(), ElectrodeState::Detached);
    EXPECT_EQ(protocol->electrodeState(), ElectrodeState::Detached);
    // Any pack counts as data, the battery answer too, so the request of this period may have
    // gone out before the stream started: it always follows this period's battery request.
    ASSERT_TRUE(waitFor([&] {
        const Codes codes = link->codes();
        const auto battery = std::find(codes.rbegin(), codes.rend(), Code::GetBatteryV);
        return std::find(codes.rbegin(), battery, Code::GetElectrodeState) != battery;
    })) << "asked in this period";
    const auto asked = count(Code::GetElectrodeState);
    link->streamTick();
    link->drain();
    EXPECT_EQ(count(Code::GetElectrodeState), asked) << "not again within half a second";
    *now += 500'000'000;
    link->streamTick();
    EXPECT_TRUE(waitFor([&] { return count(Code::GetElectrodeState) > asked; }));
}

TEST_F(TesselProtocol, NoElectrodeRequestsUnlessTheAdcInputWatchesTheElectrodes) {
    open();
    protocol->execCommand(Code::StartAdcDataThrow, {}, 0);
    Recorder<std::vector<_SignalData>> signal(protocol->signalEvent());
    for (int tick = 0; tick < 20; ++tick) link->streamTick();
    ASSERT_TRUE(signal.atLeast(20));
    const Codes codes = link->codes();
    EXPECT_EQ(std::count(codes.begin(), codes.end(), Code::GetElectrodeState), 0);
}

TEST_F(TesselProtocol, AReconnectionRunsTheConnectSequenceAgain) {
    open();
    link->clearFrames();
    EXPECT_TRUE(protocol->reinitAfterReconnect());
    EXPECT_TRUE(link->codes().empty()) << "nothing to do while the link held";

    protocol->onDisconnected();
    EXPECT_FALSE(protocol->isReady());
    link->withModel([](TesselPeerModel& model) { model.settings().gainCode = 6; });
    EXPECT_TRUE(protocol->reinitAfterReconnect());
    EXPECT_TRUE(protocol->isReady());
    EXPECT_EQ(link->codes(), Connect);
    EXPECT_EQ(protocol->capabilities()->gain, 6);

    // A failed re-initialisation is tried again on the next connection.
    protocol->onDisconnected();
    link->withModel([](TesselPeerModel& model) { model.refuseCommand(Code::GetSerialNum, 37); });
    EXPECT_THROW(protocol->reinitAfterReconnect(), rt_exception);
    link->withModel([](TesselPeerModel& model) { model.refuseCommand(Code::GetSerialNum, 0); });
    link->clearFrames();
    EXPECT_TRUE(protocol->reinitAfterReconnect());
    EXPECT_EQ(link->codes(), Connect);
}

// Readers of the capability list keep a whole list while a reconnection replaces it.
TEST_F(TesselProtocol, TheCapabilityListIsSwappedWhileOthersReadIt) {
    open();
    std::atomic<bool> done{false};
    std::thread reader([&] {
        while (!done) {
            const auto caps = protocol->capabilities();
            EXPECT_EQ(caps->offered.parameters.size(), caps->offered.parameters.size());
            EXPECT_TRUE(protocol->checkParameter(SensorParameter::Gain, SensorParamAccess::ReadWrite));
            protocol->updateCapabilities([](TesselCapabilities& c) { c.filters = {1}; });
        }
    });
    for (int round = 0; round < 5; ++round) {
        protocol->onDisconnected();
        protocol->reinitAfterReconnect();
    }
    done = true;
    reader.join();
}
