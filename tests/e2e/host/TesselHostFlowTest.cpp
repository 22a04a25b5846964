// Tessel-class sensors (families 1 and 2) through the exported functions against the emulated
// device: scanning, creation, every kind of pack, settings and their checks, stimulation,
// reconnection, and the device's refusals and silence.

#include <gtest/gtest.h>

#include <algorithm>

#include "sdk/api/SensorTiming.hpp"
#include "sdk/core/SensorEnums.hpp"
#include "sim/peers/tessel/TesselPeer.hpp"
#include "tests/e2e/host/HostFixture.hpp"

using namespace HostTest;
using VexaSim::ErrorByte9;
using VexaSim::TesselPeer;
using VexaSim::TesselPeerLook;
using VexaSim::TesselPeerModel;
using VexaSim::TesselPeerSettings;
using C = VexaDevice::Sensor::SensorCommand;
using VexaDevice::Sensor::toInt;

namespace {

constexpr uint64_t kTessel = 0xC0FFEE000041;
constexpr uint64_t kQuindle = 0xC0FFEE000042;
constexpr double kVolts = 2.42 / 8388607.0;

// Copies the sample arrays, which live for the call only.
struct SampleCalls : Calls<std::pair<uint32_t, std::vector<double>>> {
    static void receive(_Sensor*, TesselSamplesRecord* records, uint32_t count, void* user) {
        for (uint32_t i = 0; i < count; ++i) {
            static_cast<SampleCalls*>(user)->add(
                {records[i].PackNum, std::vector(records[i].Samples, records[i].Samples + records[i].SampleCount)});
        }
    }
};

template <class Record>
struct RecordCalls : Calls<Record> {
    static void receive(_Sensor*, Record* records, uint32_t count, void* user) {
        for (uint32_t i = 0; i < count; ++i) {
            static_cast<RecordCalls*>(user)->add(records[i]);
        }
    }
};

struct ByteCalls : Calls<uint8_t> {
    static void receive(_Sensor*, uint8_t value, void* user) { static_cast<ByteCalls*>(user)->add(value); }
};

struct TesselHost : HostLibrary {
    std::shared_ptr<TesselPeer> peer;
    SensorScannerWrap* scanner = nullptr;
    _Sensor* sensor = nullptr;

    void SetUp() override {
        HostLibrary::SetUp();
        auto timing = VexaDevice::Api::sensorTiming();
        timing.tessel.workerWait = 2ms;
        // Over D-Bus a reply crosses two more processes' queues, and a loaded machine has taken
        // longer than a short wait: the wait ends once the reply is there, and one subscription
        // spans a request's four writes, so a reply has 20 s before its command fails (and before a
        // late one can pass for the answer to the next command).
        timing.tessel.replyWait = kOverDbus ? 5s : 40ms;
        timing.tessel.requestRetryPause = 2ms;
        timing.tessel.firstBatteryWait = 2s;
        // A clock that stands still: no periodic battery request mixes with the commands.
        timing.tessel.clock = [] { return int64_t{1}; };
        VexaDevice::Api::setSensorTiming(timing);
    }

    void TearDown() override {
        freeSensor(sensor);
        freeScanner(scanner);
        HostLibrary::TearDown();
    }

    // Attaches the device, finds it through a scanner and creates its sensor.
    _Sensor* open(TesselPeerSettings settings = {}, TesselPeerLook look = {}, uint64_t address = kTessel) {
        const int set = look.serviceSet;
        const std::string name = look.name;
        peer = TesselPeer::attach(*radio, address, std::move(settings), std::move(look));
        scanner = scanFor({SensorFamilyTessel, SensorFamilyTesselQuindle});
        advertise(address, name, VexaDevice::Utility::uuidToString(TesselPeer::serviceUuid(set)).c_str());
        std::vector<_SensorInfo> found;
        EXPECT_TRUE(waitFor([&] { return !(found = listed(scanner)).empty(); }));
        if (found.empty()) {
            return nullptr;
        }
        sensor = createSensor(scanner, &found.front(), &status);
        EXPECT_NE(sensor, nullptr) << status.Error << " " << status.ErrorMsg;
        return sensor;
    }

    std::vector<uint8_t> codes() {
        std::vector<uint8_t> sent;
        for (const auto& frame : peer->commandFrames()) {
            sent.push_back(frame.at(3));
        }
        return sent;
    }

    bool run(C command) { return execCommandSensor(sensor, toInt(command), &status) == 1; }
};

}  // namespace

TEST_F(TesselHost, FoundCreatedAndDescribedByTheDevice) {
    ASSERT_TRUE(open({}, {.name = "Quindle 7", .serviceSet = 3}, kQuindle));
    const auto found = listed(scanner);
    ASSERT_EQ(found.size(), 1u);
    EXPECT_EQ(found[0].SensFamily, SensorFamilyTesselQuindle);
    EXPECT_EQ(found[0].SensModel, 3);

    int32_t colour = -1;
    ASSERT_EQ(readColorTessel(sensor, &colour, &status), 1) << status.ErrorMsg;
    EXPECT_EQ(colour, 3);
    SensorVersion version{};
    ASSERT_EQ(readVersionSensor(sensor, &version, &status), 1) << status.ErrorMsg;
    EXPECT_EQ(version.FwMajor, 42u);
    EXPECT_EQ(version.FwMinor, 15u);
    EXPECT_EQ(version.FwPatch, 0u);
    EXPECT_EQ(version.HwMajor, 3u);
    EXPECT_EQ(version.Extra, 9u);
    char serial[16]{};
    ASSERT_EQ(readSerialNumberSensor(sensor, serial, sizeof serial, &status), 1);
    EXPECT_STREQ(serial, "123456");
    int32_t battery = 0;
    ASSERT_EQ(readBattPowerSensor(sensor, &battery, &status), 1);
    EXPECT_EQ(battery, 36);
    uint8_t code = 0;
    ASSERT_EQ(readSamplingFrequencySensor(sensor, &code, &status), 1);
    EXPECT_EQ(code, 4);
    ASSERT_EQ(readSamplingFrequencyMEMSSensor(sensor, &code, &status), 1);
    EXPECT_EQ(code, 2);
    uint8_t type = 0;
    ASSERT_EQ(getSignalSettingsTessel(sensor, &type, &status), 1);
    EXPECT_EQ(type, 0) << "gain x6, offset 3, switch 1";
    EXPECT_EQ(getChannelsCountSensor(sensor), 1);
    EXPECT_EQ(getMaxStimulPhasesCountSensor(sensor), 0) << "no current stimulator";

    EXPECT_TRUE(isSupportedCommandSensor(sensor, toInt(C::StartMEMS)));
    EXPECT_FALSE(run(C::StartCurrentStimulation));
    EXPECT_EQ(status.Error, 767u);
    EXPECT_STREQ(status.ErrorMsg, "Unsupported Command: [StartCurrentStimulation]");
    const std::vector<uint8_t> sent = codes();
    EXPECT_TRUE(std::none_of(sent.begin(), sent.end(), [](uint8_t c) { return c == 17; }))
        << "refused before anything was sent";
}

TEST_F(TesselHost, EveryPackKindReachesTheHost) {
    TesselPeerSettings settings;
    settings.adcInput = 3;  // the electrodes are watched
    settings.electrodesDetached = true;
    auto timing = VexaDevice::Api::sensorTiming();
    timing.tessel.clock = VexaDevice::BLE::steadyNanoseconds;  // the electrode requests fall due
    VexaDevice::Api::setSensorTiming(timing);
    ASSERT_TRUE(open(settings));
    SampleCalls signal;
    SampleCalls breath;
    RecordCalls<MEMSRecord> motion;
    RecordCalls<QuaternionRecord> angles;
    RecordCalls<EnvelopeRecord> envelope;
    ByteCalls electrodes;
    CallbackHandle* handles[5]{};
    DualCallbackHandle* motionHandle = nullptr;
    ASSERT_EQ(addSignalCallbackTessel(sensor, &SampleCalls::receive, &handles[0], &signal, &status), 1);
    ASSERT_EQ(addRespirationCallbackTessel(sensor, &SampleCalls::receive, &handles[1], &breath, &status), 1);
    ASSERT_EQ(addQuaternionDataCallback(sensor, &RecordCalls<QuaternionRecord>::receive, &handles[2], &angles, &status),
              1);
    ASSERT_EQ(
        addEnvelopeDataCallbackTessel(sensor, &RecordCalls<EnvelopeRecord>::receive, &handles[3], &envelope, &status),
        1);
    ASSERT_EQ(addElectrodeStateCallbackTessel(sensor, &ByteCalls::receive, &handles[4], &electrodes, &status), 1);
    ASSERT_EQ(addMEMSDataCallback(sensor, &RecordCalls<MEMSRecord>::receive, &motionHandle, &motion, &status), 1);
    for (const auto command : {C::StartSignal, C::StartRespiration, C::StartMEMS, C::StartAngle, C::StartEnvelope}) {
        ASSERT_TRUE(run(command)) << toInt(command) << " " << status.ErrorMsg;
    }
    ASSERT_TRUE(waitFor([&] {
        return signal.count() >= 50 && breath.count() >= 50 && motion.count() >= 50 && angles.count() >= 50 &&
               envelope.count() >= 50 && electrodes.count() >= 1;
    }));
    for (const auto command : {C::StopSignal, C::StopRespiration, C::StopMEMS, C::StopAngle, C::StopEnvelope}) {
        ASSERT_TRUE(run(command)) << toInt(command) << " " << status.ErrorMsg;
    }

    // Gain x6 and offset 3 of the device's settings.
    for (const auto& [packNum, samples] : signal.events()) {
        ASSERT_EQ(samples.size(), 9u);
        for (int i = 0; i < 9; ++i) {
            ASSERT_DOUBLE_EQ(samples[i], TesselPeerModel::signalCount(packNum, i) * 8.0 * kVolts / 6.0);
        }
    }
    for (const auto& [packNum, samples] : breath.events()) {
        ASSERT_DOUBLE_EQ(samples.at(0), TesselPeerModel::respirationCount(packNum) * kVolts);
    }
    for (const MEMSRecord& record : motion.events()) {
        ASSERT_DOUBLE_EQ(record.AccelerometerX, TesselPeerModel::motionCount(record.PackNum, 0) * 4.0 / 32767.0);
        ASSERT_DOUBLE_EQ(record.GyroscopeZ, TesselPeerModel::motionCount(record.PackNum, 5) * 1000.0 / 32767.0);
    }
    for (const QuaternionRecord& record : angles.events()) {
        ASSERT_EQ(record.W, TesselPeerModel::quaternionComponent(record.PackNum, 0));
        ASSERT_EQ(record.Z, TesselPeerModel::quaternionComponent(record.PackNum, 3));
    }
    for (const EnvelopeRecord& record : envelope.events()) {
        ASSERT_DOUBLE_EQ(record.Value, TesselPeerModel::envelopeCount(record.PackNum) * kVolts);
    }
    EXPECT_EQ(electrodes.events().front(), 2) << "detached";
    uint8_t state = 0;
    ASSERT_EQ(readElectrodeStateTessel(sensor, &state, &status), 1);
    EXPECT_EQ(state, 2);

    removeSignalCallbackTessel(handles[0]);
    removeRespirationCallbackTessel(handles[1]);
    removeQuaternionDataCallback(handles[2]);
    removeEnvelopeDataCallbackTessel(handles[3]);
    removeElectrodeStateCallbackTessel(handles[4]);
    removeMEMSDataCallback(motionHandle);
}

TEST_F(TesselHost, SettingsAreCheckedSentAndKeptAcrossReconnections) {
    ASSERT_TRUE(open());
    EXPECT_EQ(writeGainSensor(sensor, 7, &status), 0);
    EXPECT_EQ(status.Error, 1535u);
    EXPECT_STREQ(status.ErrorMsg, "Failed setPGAGain. Wrong param value");
    EXPECT_EQ(writeSamplingFrequencySensor(sensor, 2, &status), 0);
    EXPECT_STREQ(status.ErrorMsg, "Failed setSignalFrequency. Wrong param value");
    EXPECT_EQ(writeDataOffsetSensor(sensor, 9, &status), 0);
    EXPECT_EQ(writeAccelerometerSensSensor(sensor, 4, &status), 0);
    EXPECT_EQ(status.Error, 1535u);
    EXPECT_EQ(writeFirmwareModeSensor(sensor, 0, &status), 0);
    EXPECT_EQ(status.Error, 1279u);
    EXPECT_STREQ(status.ErrorMsg, "Unsupported Parameter access: [FirmwareMode]");

    const size_t before = codes().size();
    ASSERT_EQ(writeGainSensor(sensor, 4, &status), 1) << "the current gain";
    EXPECT_EQ(codes().size(), before) << "nothing sent for the current value";

    // The current motion-counter values are not sent again; others are.
    TesselMotionCounterParam counter{};
    ASSERT_EQ(readMotionCounterParamTessel(sensor, &counter, &status), 1) << status.ErrorMsg;
    const size_t beforeCounter = codes().size();
    ASSERT_EQ(writeMotionCounterParamTessel(sensor, counter, &status), 1) << status.ErrorMsg;
    EXPECT_EQ(codes().size(), beforeCounter) << "nothing sent for the current values";
    counter.CounterParam1 = static_cast<uint16_t>(counter.CounterParam1 == 300 ? 301 : 300);
    ASSERT_EQ(writeMotionCounterParamTessel(sensor, counter, &status), 1) << status.ErrorMsg;
    EXPECT_EQ(codes().size(), beforeCounter + 1);
    EXPECT_EQ(codes().back(), 128);

    // Type 7 sets the input and the filters only, and is kept; above 7 is refused.
    EXPECT_EQ(setSignalSettingsTessel(sensor, 8, &status), 0);
    EXPECT_EQ(status.Error, 1535u);
    ASSERT_EQ(setSignalSettingsTessel(sensor, 7, &status), 1) << status.ErrorMsg;
    EXPECT_EQ(peer->settings().adcInput, 3);
    uint8_t custom = 0;
    ASSERT_EQ(getSignalSettingsTessel(sensor, &custom, &status), 1);
    EXPECT_EQ(custom, 7);
    ASSERT_EQ(setSignalSettingsTessel(sensor, 4, &status), 1) << status.ErrorMsg;
    EXPECT_EQ(peer->settings().adcInput, 3);
    EXPECT_EQ(peer->settings().dataOffset, 4);
    EXPECT_EQ(peer->settings().externalSwitch, 2);
    ASSERT_EQ(writeSamplingFrequencySensor(sensor, 6, &status), 1);
    EXPECT_EQ(peer->settings().rateCode, 3);

    // The device keeps its settings over a lost link; the sensor reads them again.
    peer->dropLink();
    uint8_t state = 0;
    ASSERT_TRUE(waitFor([&] { return readStateSensor(sensor, &state, &status) == 1 && state == 1; }));
    peer->change([](TesselPeerSettings& s) { s.gainCode = 6; });
    ASSERT_EQ(connectSensor(sensor, &status), 1) << status.ErrorMsg;
    uint8_t value = 0;
    ASSERT_EQ(readGainSensor(sensor, &value, &status), 1);
    EXPECT_EQ(value, 6) << "read again after the reconnection";
    ASSERT_EQ(readSamplingFrequencySensor(sensor, &value, &status), 1);
    EXPECT_EQ(value, 6);

    // A new sensor object recognises type 4 by offset 4, gain x6 and switch 1 (not by the switch
    // 2 it is applied with).
    peer->change([](TesselPeerSettings& s) {
        s.gainCode = 0;
        s.externalSwitch = 1;
    });
    freeSensor(sensor);
    sensor = nullptr;
    auto found = listed(scanner);
    ASSERT_FALSE(found.empty());
    sensor = createSensor(scanner, &found.front(), &status);
    ASSERT_NE(sensor, nullptr) << status.ErrorMsg;
    uint8_t type = 0;
    ASSERT_EQ(getSignalSettingsTessel(sensor, &type, &status), 1);
    EXPECT_EQ(type, 4);
}

TEST_F(TesselHost, StimulatorAndMotionAssistant) {
    TesselPeerSettings settings;
    settings.modules = 0x0F;
    settings.major = 40;  // asks the stimulator to stop before new parameters
    ASSERT_TRUE(open(settings));
    EXPECT_EQ(getMaxStimulPhasesCountSensor(sensor), 1);
    TesselStimulatorParam param{100, 0, 460, 51, 0, 300};
    EXPECT_EQ(writeStimulatorParamTessel(sensor, param, &status), 0);
    EXPECT_EQ(status.Error, 1535u);
    EXPECT_STREQ(status.ErrorMsg, "Failed setStimulationParams. Wrong param value");
    param.Frequency = 50;  // 100 x 460 x 50 = 2300000: just below the limit
    ASSERT_EQ(writeStimulatorParamTessel(sensor, param, &status), 1) << status.ErrorMsg;
    const auto sent = codes();
    ASSERT_GE(sent.size(), 2u);
    EXPECT_EQ(sent[sent.size() - 2], 18) << "STOP_STIM first on firmware before 42.12";
    EXPECT_EQ(sent.back(), 19);
    TesselStimulatorParam back{};
    ASSERT_EQ(readStimulatorParamTessel(sensor, &back, &status), 1) << status.ErrorMsg;
    EXPECT_EQ(back.Amplitude, 100);
    EXPECT_EQ(back.PulseWidth, 460);
    EXPECT_EQ(back.Frequency, 50);
    EXPECT_EQ(back.Duration, 300);

    TesselMotionAssistantParam assistant{9, 50, 2, 120};
    EXPECT_EQ(writeMotionAssistantParamTessel(sensor, assistant, &status), 0);
    EXPECT_STREQ(status.ErrorMsg, "Failed setStimulationParams. Wrong param value");
    assistant.StartThreshold = 30;
    ASSERT_EQ(writeMotionAssistantParamTessel(sensor, assistant, &status), 1) << status.ErrorMsg;
    TesselMotionAssistantParam assistantBack{};
    ASSERT_EQ(readMotionAssistantParamTessel(sensor, &assistantBack, &status), 1);
    EXPECT_EQ(assistantBack.StartThreshold, 30);
    EXPECT_EQ(assistantBack.SelectorCode, 2);
    EXPECT_EQ(assistantBack.IntervalCode, 120);

    ASSERT_TRUE(run(C::StartCurrentStimulation)) << status.ErrorMsg;
    ASSERT_TRUE(run(C::EnableMotionAssistant)) << status.ErrorMsg;
    TesselStimulatorAndMAState state{};
    ASSERT_EQ(readStimulatorAndMAStateTessel(sensor, &state, &status), 1);
    EXPECT_EQ(state.StimulatorState, 1);
    EXPECT_EQ(state.MAState, 1);
    EXPECT_FALSE(isSupportedCommandSensor(sensor, toInt(C::StartAngle))) << "no angles beside the stimulator";
}

TEST_F(TesselHost, RefusalsAndTheBootLoader) {
    TesselPeerSettings settings;
    settings.bootLoader = true;
    ASSERT_TRUE(open(settings));
    const auto connect = codes();
    EXPECT_NE(std::find(connect.begin(), connect.end(), 84), connect.end()) << "the application was started";
    uint8_t mode = 0;
    ASSERT_EQ(readFirmwareModeSensor(sensor, &mode, &status), 1);
    EXPECT_EQ(mode, 1);

    // Whatever byte 9 of the device's ERROR reply holds, the refusal is the command's result.
    peer->refuseCommand(167, 49);
    for (const ErrorByte9 kind : {ErrorByte9::RefusedCode, ErrorByte9::Zero, ErrorByte9::OtherCommand}) {
        peer->setErrorByte9(kind);
        const size_t before = codes().size();
        EXPECT_FALSE(run(C::FindMe));
        EXPECT_EQ(status.Error, 49u) << "byte 9 kind " << int(kind);
        EXPECT_STREQ(status.ErrorMsg, "Device error: [ERR_STIM_STIM_ONGOING]");
        EXPECT_EQ(codes().size(), before + 1) << "written once";
    }
}

TEST_F(TesselHost, SilenceFailsACommandAfterThreeRetries) {
    if (kOverDbus) {
        // Each write waits the whole reply time, which is long over D-Bus; the retries are the
        // protocol's own and are counted against the direct radio.
        GTEST_SKIP() << "the retries of a silent device are counted on the direct radio";
    }
    ASSERT_TRUE(open());
    peer->setSilent(true);
    const size_t before = codes().size();
    EXPECT_FALSE(run(C::StartSignal));
    EXPECT_EQ(status.Error, 511u);
    EXPECT_STREQ(status.ErrorMsg, "Device error: [ERR_DATA_SEND]");
    EXPECT_EQ(codes().size(), before + 4) << "three retries";
}

TEST_F(TesselHost, NoBatteryLevelBeforeTheDeviceReportsOne) {
    // The device answers the battery request with an error: no level reaches the sensor.
    peer = TesselPeer::attach(*radio, kTessel);
    peer->refuseCommand(164, TesselPeerModel::ErrModuleMissing);
    scanner = scanFor({SensorFamilyTessel, SensorFamilyTesselQuindle});
    advertise(kTessel, "Tessel", VexaDevice::Utility::uuidToString(TesselPeer::serviceUuid(0)).c_str());
    std::vector<_SensorInfo> found;
    ASSERT_TRUE(waitFor([&] { return !(found = listed(scanner)).empty(); }));
    sensor = createSensor(scanner, &found.front(), &status);
    ASSERT_NE(sensor, nullptr) << status.Error << " " << status.ErrorMsg;
    int32_t battery = -1;
    EXPECT_EQ(readBattPowerSensor(sensor, &battery, &status), 0) << "read " << battery;
    EXPECT_EQ(status.Error, 511u);
    EXPECT_STREQ(status.ErrorMsg, "Device error: [ERR_DATA_SEND]");

    // Once the device reports, its level reads.
    peer->refuseCommand(164, 0);
    ASSERT_EQ(disconnectSensor(sensor, &status), 1) << status.ErrorMsg;
    ASSERT_EQ(connectSensor(sensor, &status), 1) << status.ErrorMsg;
    ASSERT_TRUE(waitFor([&] { return readBattPowerSensor(sensor, &battery, &status) == 1; }));
    EXPECT_EQ(battery, 36);
}
