// A whole Dravik session (family 14) through the exported functions against the emulated
// device: connection, amplifier settings, signal, resistance and raw callbacks with the device's
// values, the on-device file system, and a PhotoStim linked, synchronised and started with it.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <vector>

#include "sim/peers/dravik/DravikPeer.hpp"
#include "sim/peers/photostim/PhotoStimPeer.hpp"
#include "tests/e2e/host/HostFixture.hpp"

using namespace HostTest;

namespace {

constexpr uint64_t kDravikAddress = 0xC0FFEE00D140;
constexpr const char* kDravikAddressText = "C0:FF:EE:00:D1:40";
constexpr uint64_t kStimulatorAddress = 0xC0FFEE00D141;
constexpr const char* kStimulatorAddressText = "C0:FF:EE:00:D1:41";

constexpr int32_t kStartSignal = 0;
constexpr int32_t kStopSignal = 1;
constexpr int32_t kStartResist = 2;
constexpr int32_t kStopResist = 3;
constexpr int32_t kIdle = 21;
constexpr int32_t kStartSignalAndResist = 25;
constexpr int32_t kStartPhotoStimulation = 27;
constexpr int32_t kStopPhotoStimulation = 28;
constexpr int32_t kSynchronise = 36;
constexpr int32_t kFileSystemStreamClose = 33;

constexpr uint8_t kPowerDown = 1;
constexpr uint8_t kSignal = 3;
constexpr uint8_t kResist = 4;
constexpr uint8_t kSignalResist = 5;
constexpr uint8_t kStimIdle = 1;
constexpr uint8_t kStimSynchronised = 3;
constexpr uint8_t kStimRunning = 4;

double channelVolts(size_t channel) { return 0.0001 * static_cast<double>(channel + 1); }
double electrodeOhms(size_t channel) { return 5000.0 + 1000.0 * static_cast<double>(channel); }

VexaSim::DravikPeerSettings streamingDevice() {
    VexaSim::DravikPeerSettings settings;
    for (size_t channel = 0; channel < 24; ++channel) {
        settings.channelVolts[channel] = channelVolts(channel);
        settings.electrodeOhms[channel] = electrodeOhms(channel);
    }
    return settings;
}

template <class Event>
bool received(Calls<Event>& calls, Event value) {
    return waitFor([&] {
        const auto events = calls.events();
        return std::find(events.begin(), events.end(), value) != events.end();
    });
}

struct SignalCalls : Calls<std::vector<double>> {
    static void receive(_Sensor*, SignalChannelsRecord* records, uint32_t count, void* user) {
        for (uint32_t i = 0; i < count; ++i) {
            std::vector<double> values(records[i].Samples, records[i].Samples + records[i].SampleCount);
            values.push_back(records[i].Marker);
            static_cast<SignalCalls*>(user)->add(std::move(values));
        }
    }
};

struct ResistCalls : Calls<std::vector<double>> {
    static void add(ResistCalls* calls, const DravikResistRecord* records, uint32_t count) {
        for (uint32_t i = 0; i < count; ++i) {
            calls->Calls::add(std::vector<double>(records[i].Values, records[i].Values + records[i].ValueCount));
        }
    }
    static void receive(_Sensor*, DravikResistRecord* records, uint32_t count, void* user) {
        add(static_cast<ResistCalls*>(user), records, count);
    }
};

struct BothCalls {
    SignalCalls signal;
    ResistCalls resist;
    static void receive(_Sensor* sensor, SignalChannelsRecord* signal, uint32_t signalCount, DravikResistRecord* resist,
                        uint32_t resistCount, void* user) {
        auto* calls = static_cast<BothCalls*>(user);
        SignalCalls::receive(sensor, signal, signalCount, &calls->signal);
        ResistCalls::add(&calls->resist, resist, resistCount);
    }
};

struct RawCalls : Calls<size_t> {
    static void receive(_Sensor*, uint8_t* bytes, uint32_t count, void* user) {
        if (bytes != nullptr && count > 0) {
            static_cast<RawCalls*>(user)->add(count);
        }
    }
};

// Every raw byte the host was handed, in order.
struct RawByteCalls : Calls<std::vector<uint8_t>> {
    static void receive(_Sensor*, uint8_t* bytes, uint32_t count, void* user) {
        static_cast<RawByteCalls*>(user)->add(std::vector<uint8_t>(bytes, bytes + count));
    }
    std::vector<uint8_t> joined() {
        std::vector<uint8_t> all;
        for (const auto& bytes : events()) {
            all.insert(all.end(), bytes.begin(), bytes.end());
        }
        return all;
    }
};

struct ChunkCalls : Calls<std::pair<uint32_t, std::vector<uint8_t>>> {
    static void receive(_Sensor*, FileChunkRecord* records, uint32_t count, void* user) {
        for (uint32_t i = 0; i < count; ++i) {
            static_cast<ChunkCalls*>(user)->add(
                {records[i].Head2, std::vector<uint8_t>(records[i].Bytes, records[i].Bytes + records[i].ByteCount)});
        }
    }
};

// Resistance settles through the device's filters: the newest values near the electrodes'.
bool settledOnElectrodes(ResistCalls& calls) {
    return waitFor([&] {
        const auto events = calls.events();
        if (events.empty() || events.back().size() < 4) {
            return false;
        }
        const auto& newest = events.back();
        return std::abs(newest[0] - electrodeOhms(0)) < 10.0 && std::abs(newest[3] - electrodeOhms(3)) < 10.0;
    });
}

struct DravikHost : SensorHost {
    std::shared_ptr<VexaSim::PhotoStimPeer> stimulatorPeer = VexaSim::PhotoStimPeer::attach(*radio, kStimulatorAddress);
    std::shared_ptr<VexaSim::DravikPeer> peer = VexaSim::DravikPeer::attach(
        *radio, kDravikAddress, streamingDevice(), {std::chrono::microseconds(1000)}, stimulatorPeer->syncLink());
    SensorScannerWrap* stimulatorScanner = nullptr;
    _Sensor* stimulator = nullptr;

    void SetUp() override {
        SensorHost::SetUp();
        VexaDevice::Api::SensorTiming timing = VexaDevice::Api::sensorTiming();
        timing.protocol.stimulator.workerWait = 2ms;
        timing.protocol.stimulator.pollStep = 1ms;
        VexaDevice::Api::setSensorTiming(timing);
        createFor(SensorFamilyDravik, kDravikAddressText);
        ASSERT_EQ(connectSensor(sensor, &status), 1) << status.ErrorMsg;
    }

    void createStimulator() {
        stimulatorScanner = scanFor({SensorFamilyPhotoStim});
        _SensorInfo info = record(SensorFamilyPhotoStim, kStimulatorAddressText);
        stimulator = createSensor(stimulatorScanner, &info, &status);
        ASSERT_NE(stimulator, nullptr) << status.Error << " " << status.ErrorMsg;
    }

    void TearDown() override {
        freeSensor(sensor);
        sensor = nullptr;
        freeSensor(stimulator);
        freeScanner(stimulatorScanner);
        SensorHost::TearDown();
    }

    uint8_t ampMode() {
        uint8_t mode = 0;
        EXPECT_EQ(readAmpMode(sensor, &mode, &status), 1) << status.ErrorMsg;
        return mode;
    }

    // Channels 0..3 measure resistance as well.
    void writeLeadOffSettings() {
        DravikAmplifierParam param{};
        param.Setting1 = 5;
        param.Setting2 = 1;
        std::fill(std::begin(param.ChannelMode), std::end(param.ChannelMode), 3);
        std::fill(std::begin(param.ChannelGain), std::end(param.ChannelGain), 7);
        std::fill(param.ChannelMode, param.ChannelMode + 4, 2);
        ASSERT_EQ(writeAmplifierParamDravik(sensor, param, &status), 1) << status.ErrorMsg;
        DravikAmplifierParam back{};
        ASSERT_EQ(readAmplifierParamDravik(sensor, &back, &status), 1) << status.ErrorMsg;
        EXPECT_EQ(std::vector<uint8_t>(back.ChannelMode, back.ChannelMode + 24),
                  std::vector<uint8_t>(param.ChannelMode, param.ChannelMode + 24));
        EXPECT_EQ(back.ChannelGain[23], 7);
        EXPECT_EQ(back.Setting1, 5);
    }
};

// The mode flows against a device that shows a new mode at once and one that shows it a few
// status reads late, streaming in the new mode meanwhile.
struct DravikHostModes : DravikHost, ::testing::WithParamInterface<int> {
    void SetUp() override {
        DravikHost::SetUp();
        peer->setModeLag(GetParam());
    }
};

}  // namespace

// The linked start against stimulators that start at once and ones that report Running only at
// the start's tick.
struct DravikHostStimulation : DravikHost, ::testing::WithParamInterface<bool> {
    void SetUp() override {
        DravikHost::SetUp();
        stimulatorPeer->setRunningAtStartTick(GetParam());
        peer->stimulator()->setRunningAtStartTick(GetParam());
    }
};

INSTANTIATE_TEST_SUITE_P(Running, DravikHostStimulation, ::testing::Values(false, true),
                         [](const auto& info) { return info.param ? "AtTheStartTick" : "AtOnce"; });

INSTANTIATE_TEST_SUITE_P(ModeShown, DravikHostModes, ::testing::Values(0, 3),
                         [](const auto& info) { return info.param == 0 ? "AtOnce" : "AFewReadsLate"; });

TEST_F(DravikHost, ConnectsAndReadsTheDevicesSettings) {
    EXPECT_EQ(getFamilySensor(sensor), SensorFamilyDravik);
    char serial[32] = {};
    ASSERT_EQ(readSerialNumberSensor(sensor, serial, sizeof(serial), &status), 1) << status.ErrorMsg;
    EXPECT_STREQ(serial, "DRV000123");
    int32_t level = 0;
    ASSERT_EQ(readBattPowerSensor(sensor, &level, &status), 1);
    EXPECT_EQ(level, 87);
    EXPECT_EQ(ampMode(), kPowerDown);
    uint8_t rate = 0;
    ASSERT_EQ(readSamplingFrequencySensor(sensor, &rate, &status), 1);
    EXPECT_EQ(rate, 5) << "500 Hz";
    uint8_t gain = 0;
    EXPECT_EQ(readGainSensor(sensor, &gain, &status), 0);
    EXPECT_EQ(status.Error, 121u);

    EEGChannelInfo channels[24] = {};
    int32_t count = 24;
    ASSERT_EQ(readSupportedChannelsDravik(sensor, channels, &count, &status), 1) << status.ErrorMsg;
    ASSERT_EQ(count, 24);
    EXPECT_STREQ(channels[0].Name, "O1");
    EXPECT_STREQ(channels[23].Name, "FpZ");

    int8_t commands[32] = {};
    count = 32;
    ASSERT_EQ(getCommandsSensor(sensor, commands, &count, &status), 1);
    const std::vector<int8_t> listed(commands, commands + count);
    for (int8_t command : {0, 1, 2, 3, 21, 22, 25, 26, 27, 28, 31, 32, 33, 36, 37}) {
        EXPECT_NE(std::find(listed.begin(), listed.end(), command), listed.end()) << int(command);
    }
    int8_t features[8] = {};
    count = 8;
    ASSERT_EQ(getFeaturesSensor(sensor, features, &count, &status), 1);
    EXPECT_NE(std::find(features, features + count, 7), features + count) << "photo-stimulation";
    EXPECT_EQ(getMaxStimulPhasesCountSensor(sensor), 16);

    ASSERT_EQ(writeSurveyIdDravik(sensor, 0x01020304, &status), 1) << status.ErrorMsg;
    int32_t survey = 0;
    ASSERT_EQ(readSurveyIdDravik(sensor, &survey, &status), 1);
    EXPECT_EQ(survey, 0x01020304);

    ASSERT_EQ(writePhotoStimTimeDefer(sensor, 10, &status), 1) << status.ErrorMsg;
    EXPECT_EQ(writePhotoStimTimeDefer(sensor, 10.5, &status), 0);
    EXPECT_EQ(status.Error, 517u);
    EXPECT_STREQ(status.ErrorMsg, "The maximum time must not exceed 10 seconds or be negative");
    double seconds = 0;
    ASSERT_EQ(readPhotoStimTimeDefer(sensor, &seconds, &status), 1);
    EXPECT_EQ(seconds, 10.0);

    uint8_t stimMode = 0;
    EXPECT_EQ(readStimMode(sensor, &stimMode, &status), 0) << "no photo-stimulator linked yet";
    EXPECT_EQ(status.Error, 528u);
}

TEST_F(DravikHost, WithoutAStimulatorItRunsNoneOfItsCommands) {
    VexaSim::DravikPeerSettings settings = streamingDevice();
    settings.hasStimulator = false;
    auto plain = VexaSim::DravikPeer::attach(*radio, 0xC0FFEE00D142, settings, {std::chrono::microseconds(1000)});
    if constexpr (kOverDbus) everyDeviceHeard();  // attached after the scan started: heard only now
    _SensorInfo info = record(SensorFamilyDravik, "C0:FF:EE:00:D1:42");
    _Sensor* alone = createSensor(scanner, &info, &status);
    ASSERT_NE(alone, nullptr) << status.ErrorMsg;
    const auto listed = listedCommands(alone);
    for (const int32_t command : {27, 28, 36, 37}) {
        EXPECT_EQ(listed.count(command), 0u) << command;
    }
    expectUnlistedCommandsRefused(alone);
    EXPECT_EQ(execCommandSensor(alone, 37, &status), 0);
    EXPECT_EQ(status.Error, 118u);
    EXPECT_STREQ(status.ErrorMsg, "Failed to execute the sensor command");
    freeSensor(alone);
}

TEST_P(DravikHostModes, MeasuresSignalAndResistanceWithTheDevicesValues) {
    writeLeadOffSettings();
    ByteValueCalls modes;
    SignalCalls signal;
    ResistCalls resist;
    RawCalls raw;
    BothCalls both;
    CallbackHandle* handles[5] = {};
    ASSERT_EQ(addAmpModeCallback(sensor, &ByteValueCalls::receive, &handles[0], &modes, &status), 1) << status.ErrorMsg;
    ASSERT_EQ(addSignalCallbackDravik(sensor, &SignalCalls::receive, &handles[1], &signal, &status), 1);
    ASSERT_EQ(addResistCallbackDravik(sensor, &ResistCalls::receive, &handles[2], &resist, &status), 1);
    ASSERT_EQ(addSignalRawCallbackDravik(sensor, &RawCalls::receive, &handles[3], &raw, &status), 1);
    ASSERT_EQ(addSignalResistCallbackDravik(sensor, &BothCalls::receive, &handles[4], &both, &status), 1);

    ASSERT_EQ(execCommandSensor(sensor, kStartSignal, &status), 1) << status.ErrorMsg;
    EXPECT_EQ(ampMode(), kSignal);
    EXPECT_TRUE(received(modes, kSignal));
    ASSERT_TRUE(waitFor([&] { return signal.count() >= 10 && raw.count() > 0; }));
    const auto sample = signal.events().back();
    ASSERT_EQ(sample.size(), 25u);
    for (size_t channel = 4; channel < 24; ++channel) {
        EXPECT_NEAR(sample[channel], channelVolts(channel), 1e-7) << channel;
    }
    ASSERT_EQ(pingKestrane(sensor, 5, &status), 1) << status.ErrorMsg;
    EXPECT_TRUE(waitFor([&] {
        const auto events = signal.events();
        return std::any_of(events.begin(), events.end(), [](const auto& values) { return values.back() == 5.0; });
    })) << "the marker reaches the samples";

    ASSERT_EQ(execCommandSensor(sensor, kStartResist, &status), 1) << status.ErrorMsg;
    EXPECT_EQ(ampMode(), kResist);
    EXPECT_TRUE(settledOnElectrodes(resist));
    EXPECT_TRUE(std::isinf(resist.events().back()[4])) << "a signal-only channel";

    ASSERT_EQ(execCommandSensor(sensor, kStartSignalAndResist, &status), 1) << status.ErrorMsg;
    EXPECT_EQ(ampMode(), kSignalResist);
    ASSERT_TRUE(waitFor([&] { return both.signal.count() > 0; }));
    EXPECT_TRUE(settledOnElectrodes(both.resist));

    ASSERT_EQ(execCommandSensor(sensor, kStopResist, &status), 1) << status.ErrorMsg;
    EXPECT_EQ(ampMode(), kSignal) << "from signal and resistance back to signal";
    ASSERT_EQ(execCommandSensor(sensor, kStopSignal, &status), 1) << status.ErrorMsg;
    EXPECT_EQ(ampMode(), kPowerDown);
    EXPECT_TRUE(received(modes, kPowerDown));

    // Idle has no frame of its own: the device stops, and the command still succeeds.
    ASSERT_EQ(execCommandSensor(sensor, kStartSignal, &status), 1) << status.ErrorMsg;
    ASSERT_EQ(execCommandSensor(sensor, kIdle, &status), 1) << status.ErrorMsg;
    EXPECT_EQ(ampMode(), kPowerDown);

    for (CallbackHandle* handle : handles) {
        removeSignalCallbackDravik(handle);
    }
}

TEST_P(DravikHostModes, ModeCommandsSucceedOnlyWhenTheDeviceShowsThem) {
    ASSERT_EQ(execCommandSensor(sensor, kStartSignal, &status), 1) << status.ErrorMsg;
    peer->setIgnoring(true);
    EXPECT_EQ(execCommandSensor(sensor, kStartSignalAndResist, &status), 0) << "taken, not carried out";
    EXPECT_EQ(ampMode(), kSignal);
    peer->setIgnoring(false);
    ASSERT_EQ(execCommandSensor(sensor, kStopSignal, &status), 1) << status.ErrorMsg;

    peer->dropLink();
    uint8_t state = SensorStateInRange;
    ASSERT_TRUE(
        waitFor([&] { return readStateSensor(sensor, &state, &status) == 1 && state == SensorStateOutOfRange; }));
    for (const int32_t command : {kStopSignal, kStopResist, kStartSignal}) {
        EXPECT_EQ(execCommandSensor(sensor, command, &status), 0) << command << ": the link is down";
        EXPECT_EQ(status.Error, 513u);
        EXPECT_STREQ(status.ErrorMsg, "Device error: [ERR_DATA_SEND]");
    }
}

// The amplifier passes through signal measurement on its way to resistance; what it streams
// meanwhile is read as resistance, and no signal reaches the host.
TEST_P(DravikHostModes, ResistanceFromPowerDownDeliversNoSignal) {
    writeLeadOffSettings();
    ByteValueCalls modes;
    SignalCalls signal;
    ResistCalls resist;
    BothCalls both;
    CallbackHandle* handles[4] = {};
    ASSERT_EQ(addAmpModeCallback(sensor, &ByteValueCalls::receive, &handles[0], &modes, &status), 1) << status.ErrorMsg;
    ASSERT_EQ(addSignalCallbackDravik(sensor, &SignalCalls::receive, &handles[1], &signal, &status), 1);
    ASSERT_EQ(addResistCallbackDravik(sensor, &ResistCalls::receive, &handles[2], &resist, &status), 1);
    ASSERT_EQ(addSignalResistCallbackDravik(sensor, &BothCalls::receive, &handles[3], &both, &status), 1);

    ASSERT_EQ(execCommandSensor(sensor, kStartResist, &status), 1) << status.ErrorMsg;
    EXPECT_EQ(ampMode(), kResist);
    EXPECT_TRUE(settledOnElectrodes(resist));
    EXPECT_EQ(signal.count(), 0u);
    EXPECT_EQ(both.signal.count(), 0u);
    const auto published = modes.events();
    EXPECT_EQ(std::find(published.begin(), published.end(), kSignal), published.end());

    // Idle from PowerDown sends the stop frame as from any mode but Idle. The device's mode is
    // awaited for the library's own half second, which a loaded machine may overrun: the frame
    // is then written again, and nothing else.
    ASSERT_EQ(execCommandSensor(sensor, kStopSignal, &status), 1) << status.ErrorMsg;
    const size_t sent = peer->commandFrames().size();
    ASSERT_EQ(execCommandSensor(sensor, kIdle, &status), 1) << status.ErrorMsg;
    const auto frames = peer->commandFrames();
    ASSERT_GT(frames.size(), sent);
    for (size_t i = sent; i < frames.size(); ++i) {
        EXPECT_EQ(frames[i], std::vector<uint8_t>{0x01});
    }
    EXPECT_EQ(ampMode(), kPowerDown);
    for (CallbackHandle* handle : handles) {
        removeSignalCallbackDravik(handle);
    }
}

TEST_F(DravikHost, KeepsFilesOnTheDevice) {
    // A request whose answer is lost with the table may already have been carried out: a delete
    // written again then finds no file.
    waitForTheTableResolvedAgain(kDravikAddress);
    std::vector<uint8_t> data(600);
    for (size_t i = 0; i < data.size(); ++i) {
        data[i] = static_cast<uint8_t>(i * 13 + 1);
    }
    ASSERT_EQ(writeFileDravik(sensor, "rec01.bin", data.data(), static_cast<int32_t>(data.size()), 0, &status), 1)
        << status.ErrorMsg;
    EXPECT_EQ(peer->withStore([](VexaSim::DravikFileStore& store) { return store.files().size(); }), 1u);

    std::vector<uint8_t> back(1000);
    int32_t size = static_cast<int32_t>(back.size());
    ASSERT_EQ(readFileDravik(sensor, "rec01.bin", back.data(), &size, 0, &status), 1) << status.ErrorMsg;
    back.resize(static_cast<size_t>(size));
    EXPECT_EQ(back, data);

    DravikFileInfo info{};
    ASSERT_EQ(readFileInfoDravik(sensor, "rec01.bin", &info, &status), 1) << status.ErrorMsg;
    EXPECT_STREQ(info.FileName, "rec01.bin");
    EXPECT_EQ(info.FileSize, 600u);
    DravikFileInfo all[4] = {};
    int32_t count = 4;
    ASSERT_EQ(readFileInfoAllDravik(sensor, all, &count, &status), 1) << status.ErrorMsg;
    EXPECT_EQ(count, 1);

    uint32_t crc = 0;
    ASSERT_EQ(readFileCRC32Dravik(sensor, "rec01.bin", 0, 600, &crc, &status), 1) << status.ErrorMsg;
    uint32_t expected = 0;
    EXPECT_EQ(crc, calcCRC32(data.data(), 600, &expected));
    EXPECT_EQ(readFileCRC32Dravik(sensor, "rec01.bin", -1, 600, &crc, &status), 0);
    EXPECT_EQ(status.Error, 517u) << "a negative offset never reaches the device";

    DravikFSDiskInfo disk{};
    ASSERT_EQ(readFileSystemDiskInfoDravik(sensor, &disk, &status), 1) << status.ErrorMsg;
    EXPECT_EQ(disk.Value1, 4096u * 1024);
    EXPECT_EQ(disk.Value2, 4095u * 1024);
    DravikFSStatus fsStatus{};
    ASSERT_EQ(readFilesystemStatusDravik(sensor, &fsStatus, &status), 1) << status.ErrorMsg;

    ChunkCalls chunks;
    CallbackHandle* handle = nullptr;
    ASSERT_EQ(addFileStreamReadCallbackDravik(sensor, &ChunkCalls::receive, &handle, &chunks, &status), 1);
    ASSERT_EQ(fileStreamReadDravik(sensor, "rec01.bin", 100, 400, &status), 1) << status.ErrorMsg;
    std::vector<uint8_t> streamed;
    ASSERT_TRUE(waitFor([&] {
        streamed.clear();
        for (const auto& [offset, bytes] : chunks.events()) {
            streamed.insert(streamed.end(), bytes.begin(), bytes.end());
        }
        return streamed.size() >= 400;
    }));
    EXPECT_EQ(streamed, std::vector<uint8_t>(data.begin() + 100, data.begin() + 500));
    EXPECT_EQ(chunks.events().front().first, 100u);
    removeFileStreamReadCallbackDravik(handle);

    ASSERT_EQ(deleteFileDravik(sensor, "rec01.bin", &status), 1) << status.ErrorMsg;
    EXPECT_EQ(readFileInfoDravik(sensor, "rec01.bin", &info, &status), 0);
    EXPECT_EQ(status.Error, 4u);
}

// The read's count is its end position: 0 reads to the end of the file, whatever its size.
TEST_F(DravikHost, ReadsFilesToTheirEndAndRefusesRangesPastIt) {
    std::vector<uint8_t> data(300);
    for (size_t i = 0; i < data.size(); ++i) {
        data[i] = static_cast<uint8_t>(i * 7 + 3);
    }
    ASSERT_EQ(writeFileDravik(sensor, "rec02.bin", data.data(), 300, 0, &status), 1) << status.ErrorMsg;
    peer->withStore([](VexaSim::DravikFileStore& store) { store.files()["empty.bin"] = {}; });
    const auto requests = [&] { return peer->fsCommandCharacteristic()->writes().size(); };

    // The buffer holds exactly what lies from the offset to the end, with a guard after it.
    std::vector<uint8_t> back(200 + 16, 0xEE);
    int32_t size = 0;
    ASSERT_EQ(readFileDravik(sensor, "rec02.bin", back.data(), &size, 100, &status), 1) << status.ErrorMsg;
    EXPECT_EQ(size, 200);
    EXPECT_EQ(std::vector<uint8_t>(back.begin(), back.begin() + 200),
              std::vector<uint8_t>(data.begin() + 100, data.end()));
    EXPECT_EQ(std::vector<uint8_t>(back.begin() + 200, back.end()), std::vector<uint8_t>(16, 0xEE))
        << "nothing past it";
    size = 250;
    ASSERT_EQ(readFileDravik(sensor, "rec02.bin", back.data(), &size, 100, &status), 1) << status.ErrorMsg;
    EXPECT_EQ(size, 150) << "up to position 250";
    back.assign(300, 0);
    size = 5000;
    ASSERT_EQ(readFileDravik(sensor, "rec02.bin", back.data(), &size, 0, &status), 1) << status.ErrorMsg;
    EXPECT_EQ(size, 300) << "an end beyond the size is the file's end";
    EXPECT_EQ(back, data);

    size = 0;
    uint8_t untouched = 0x5A;
    ASSERT_EQ(readFileDravik(sensor, "empty.bin", &untouched, &size, 0, &status), 1) << status.ErrorMsg;
    EXPECT_EQ(size, 0) << "an empty file gives no bytes";
    EXPECT_EQ(untouched, 0x5A);
    size = 0;
    EXPECT_EQ(readFileDravik(sensor, "rec02.bin", back.data(), &size, 300, &status), 0);
    EXPECT_EQ(status.Error, 522u);
    EXPECT_STREQ(status.ErrorMsg, "ERR_DATA_OVERFLOW");
    size = -1;
    EXPECT_EQ(readFileDravik(sensor, "rec02.bin", back.data(), &size, 0, &status), 0);
    EXPECT_EQ(status.Error, 119u);

    // No bytes to write reach the sensor's own check.
    const size_t before = requests();
    EXPECT_EQ(writeFileDravik(sensor, "rec03.bin", data.data(), 0, 0, &status), 0);
    EXPECT_EQ(status.Error, 521u);
    EXPECT_STREQ(status.ErrorMsg, "ERR_DATA_EMPTY");
    EXPECT_EQ(writeFileDravik(sensor, "rec03.bin", nullptr, 0, 0, &status), 0);
    EXPECT_EQ(status.Error, 521u);
    EXPECT_EQ(writeFileDravik(sensor, "rec03.bin", nullptr, 4, 0, &status), 0);
    EXPECT_EQ(status.Error, 120u);
    EXPECT_EQ(readFileInfoDravik(sensor, "rec02.bin", nullptr, &status), 0);
    EXPECT_EQ(status.Error, 119u) << "no place for the answer";
    EXPECT_EQ(requests(), before) << "none of these reached the device";

    // A checksum over a range past the end is refused as a stream read of it is.
    uint32_t crc = 0xC0DEC0DE;
    EXPECT_EQ(readFileCRC32Dravik(sensor, "rec02.bin", 200, 101, &crc, &status), 0);
    EXPECT_EQ(status.Error, 522u);
    EXPECT_EQ(crc, 0xC0DEC0DEu) << "no value on failure";
    EXPECT_EQ(readFileCRC32Dravik(sensor, "rec02.bin", 300, 0, &crc, &status), 0);
    EXPECT_EQ(status.Error, 522u);
    EXPECT_EQ(fileStreamReadDravik(sensor, "rec02.bin", 200, 101, &status), 0);
    EXPECT_EQ(status.Error, 522u);
    ASSERT_EQ(readFileCRC32Dravik(sensor, "rec02.bin", 200, 100, &crc, &status), 1) << status.ErrorMsg;
    uint32_t expected = 0;
    EXPECT_EQ(crc, calcCRC32(data.data() + 200, 100, &expected));
}

// The device saves the sample stream into a file; read back whole, it is what the host was given.
TEST_F(DravikHost, AnAutosavedFileReadsBackAsTheRawStream) {
    // A packet the device sends while its table is away reaches no client of any daemon: the
    // stream is compared once that is over.
    waitForTheTableResolvedAgain(kDravikAddress);
    RawByteCalls raw;
    CallbackHandle* handle = nullptr;
    ASSERT_EQ(addSignalRawCallbackDravik(sensor, &RawByteCalls::receive, &handle, &raw, &status), 1) << status.ErrorMsg;
    ASSERT_EQ(fileStreamAutosaveDravik(sensor, "auto.raw", &status), 1) << status.ErrorMsg;
    ASSERT_EQ(execCommandSensor(sensor, kStartSignal, &status), 1) << status.ErrorMsg;
    ASSERT_TRUE(waitFor([&] { return raw.joined().size() >= 3000; }));
    ASSERT_EQ(execCommandSensor(sensor, kStopSignal, &status), 1) << status.ErrorMsg;
    ASSERT_EQ(execCommandSensor(sensor, kFileSystemStreamClose, &status), 1) << status.ErrorMsg;
    const auto saved = [&] {
        return peer->withStore([](VexaSim::DravikFileStore& store) { return store.files()["auto.raw"].bytes.size(); });
    };
    ASSERT_TRUE(waitFor([&] { return raw.joined().size() == saved(); }))
        << "every packet reached the host " << raw.joined().size() << " of " << saved();

    DravikFileInfo info{};
    ASSERT_EQ(readFileInfoDravik(sensor, "auto.raw", &info, &status), 1) << status.ErrorMsg;
    const auto given = raw.joined();
    ASSERT_EQ(info.FileSize, given.size());
    std::vector<uint8_t> back(info.FileSize);
    int32_t size = 0;
    ASSERT_EQ(readFileDravik(sensor, "auto.raw", back.data(), &size, 0, &status), 1) << status.ErrorMsg;
    EXPECT_EQ(size, static_cast<int32_t>(given.size()));
    EXPECT_TRUE(back == given) << "byte for byte";
    removeSignalRawCallbackDravik(handle);
}

TEST_P(DravikHostStimulation, StartsProgramsTogetherWithALinkedPhotoStim) {
    createStimulator();
    ASSERT_EQ(writePhotoStimDravik(sensor, stimulator, &status), 1) << status.ErrorMsg;
    EXPECT_EQ(readPhotoStimDravik(sensor), stimulator);

    const StimulProgram programs[2] = {{10, 50, 0.01, 1, 1, 0}, {20, 80, 0.005, 2, 0, 0}};
    ASSERT_EQ(writeStimPrograms(sensor, programs, 2, &status), 1) << status.ErrorMsg;
    EXPECT_EQ(peer->stimulator()->programPacket(), stimulatorPeer->programPacket()) << "both hold the programs";
    StimulProgram back[16] = {};
    int32_t count = 16;
    ASSERT_EQ(readStimPrograms(sensor, back, &count, &status), 1) << status.ErrorMsg;
    ASSERT_EQ(count, 2);
    EXPECT_NEAR(back[1].Frequency, 20.0, 0.01) << "as the device quantises it";

    ByteValueCalls stimModes;
    ByteValueCalls syncStates;
    CallbackHandle* handles[2] = {};
    ASSERT_EQ(addStimModeCallback(sensor, &ByteValueCalls::receive, &handles[0], &stimModes, &status), 1);
    ASSERT_EQ(addPhotoStimSyncStateCallback(sensor, &ByteValueCalls::receive, &handles[1], &syncStates, &status), 1);
    uint8_t state = 0;
    ASSERT_EQ(readStimMode(sensor, &state, &status), 1) << status.ErrorMsg;
    EXPECT_EQ(state, kStimIdle);
    EXPECT_EQ(execCommandSensor(sensor, kStartPhotoStimulation, &status), 0);
    EXPECT_EQ(status.Error, 531u) << "not synchronised yet";

    ASSERT_EQ(execCommandSensor(sensor, kSynchronise, &status), 1) << status.Error << " " << status.ErrorMsg;
    EXPECT_TRUE(peer->stimulator()->synchronised());
    EXPECT_TRUE(stimulatorPeer->synchronised());
    ASSERT_EQ(readPhotoStimSyncState(sensor, &state, &status), 1);
    EXPECT_EQ(state, 1);
    EXPECT_TRUE(received(syncStates, uint8_t{1}));
    EXPECT_TRUE(received(stimModes, kStimSynchronised));

    ASSERT_EQ(writePhotoStimTimeDefer(sensor, 0.1, &status), 1);
    const uint32_t before = stimulatorPeer->now();
    ASSERT_EQ(execCommandSensor(sensor, kStartPhotoStimulation, &status), 1) << status.Error << " " << status.ErrorMsg;
    const uint32_t after = stimulatorPeer->now();
    const uint32_t agreed = stimulatorPeer->startTick();
    EXPECT_EQ(peer->stimulator()->startTick(), agreed) << "both start at one tick";
    EXPECT_GE(agreed, before + 6250);
    EXPECT_LE(agreed, after + 6250);
    EXPECT_TRUE(waitFor([&] { return peer->stimulator()->state() == VexaSim::PtsServicePeer::Running; }));
    EXPECT_TRUE(waitFor([&] { return stimulatorPeer->state() == VexaSim::PtsServicePeer::Running; }));
    EXPECT_TRUE(received(stimModes, kStimRunning));

    ASSERT_EQ(execCommandSensor(sensor, kStopPhotoStimulation, &status), 1) << status.ErrorMsg;
    EXPECT_NE(peer->stimulator()->state(), VexaSim::PtsServicePeer::Running);
    EXPECT_NE(stimulatorPeer->state(), VexaSim::PtsServicePeer::Running);

    for (CallbackHandle* handle : handles) {
        removeStimModeCallback(handle);
    }
    ASSERT_EQ(writePhotoStimDravik(sensor, nullptr, &status), 1) << status.ErrorMsg;
    EXPECT_EQ(readPhotoStimDravik(sensor), nullptr);
    EXPECT_EQ(readStimMode(sensor, &state, &status), 0);
    EXPECT_EQ(status.Error, 528u);
}

// The device's own stimulator refusing to stop must not leave the linked one running.
TEST_F(DravikHost, StoppingReachesThePhotoStimWhenTheDeviceRefuses) {
    createStimulator();
    ASSERT_EQ(writePhotoStimDravik(sensor, stimulator, &status), 1) << status.ErrorMsg;
    ASSERT_EQ(writePhotoStimTimeDefer(sensor, 0, &status), 1);
    ASSERT_EQ(execCommandSensor(sensor, kSynchronise, &status), 1) << status.Error << " " << status.ErrorMsg;
    ASSERT_EQ(execCommandSensor(sensor, kStartPhotoStimulation, &status), 1) << status.Error << " " << status.ErrorMsg;
    ASSERT_TRUE(waitFor([&] { return stimulatorPeer->state() == VexaSim::PtsServicePeer::Running; }));
    // The device's own stimulator reports Running once its program starts; a stop asked before
    // the library has heard that finds nothing to stop.
    uint8_t mode = 0;
    ASSERT_TRUE(waitFor([&] { return readStimMode(sensor, &mode, &status) == 1 && mode == kStimRunning; }));

    peer->stimulator()->setAnswerState(VexaSim::PtsServicePeer::Running);
    EXPECT_EQ(execCommandSensor(sensor, kStopPhotoStimulation, &status), 0);
    EXPECT_EQ(status.Error, 513u);
    EXPECT_NE(stimulatorPeer->state(), VexaSim::PtsServicePeer::Running) << "the PhotoStim was stopped all the same";
}
