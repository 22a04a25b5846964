// The exports that reach the Dravik and PhotoStim families, against devices of the test's own:
// file records, buffers and counts, stimulation programs, the amplifier record, the counts, and
// the link between a Dravik sensor and a photo-stimulator, also while handles are freed.

#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "sdk/api/DravikDevice.hpp"
#include "sdk/api/FamilyAccess.hpp"
#include "sdk/api/StimulatorControl.hpp"
#include "sdk/api/families/dravik/DravikControl.hpp"
#include "sdk/api/SensorWrap.hpp"
#include "sdk/api/SignalPacks.hpp"
#include "sdk/api/include/ambrelkit2.h"
#include "tests/support/IdleSensor.hpp"

using namespace VexaDevice;
using namespace VexaDevice::Api;

namespace {

using TestSupport::IdleSensor;

class FakePhotoStim final : public IdleSensor, public StimulatorDevice {
public:
    OperationResult writePhotoStimTimeDefer(double seconds) override {
        defer = seconds;
        return OperationResult::done();
    }
    OperationResult writeStimPrograms(const std::vector<StimulProgram>& list) override {
        programs = list;
        ++programWrites;
        return OperationResult::done();
    }
    int32_t maxStimPrograms() override { return 16; }

    double defer = 0;
    std::vector<StimulProgram> programs;
    int programWrites = 0;
};

class FakeDravik final : public IdleSensor, public DravikDevice {
public:
    OperationResult writePhotoStimTimeDefer(double) override { return OperationResult::done(); }
    OperationResult writeStimPrograms(const std::vector<StimulProgram>&) override { return OperationResult::done(); }
    int32_t maxStimPrograms() override { return 16; }
    OperationResult ping(int32_t marker) override {
        pinged = marker;
        return OperationResult::done();
    }
    OperationResult readSupportedEEGChannels(std::vector<Sensor::EEGChannelInfo>& out) override {
        for (uint8_t id = 0; id < channelCount; ++id) {
            out.emplace_back(id, Sensor::EEGChannelType{}, id, "");
        }
        return channelsFail ? OperationResult::failed(530, "no channels") : OperationResult::done();
    }
    OperationResult writeAmplifierParam(const DravikAmplifier& param) override {
        amplifier = param;
        ++amplifierWrites;
        return OperationResult::done();
    }
    OperationResult writeSurveyId(int32_t) override { return OperationResult::done(); }
    OperationResult setPhotoStim(std::shared_ptr<Sensor::ISensor> stimulator) override {
        if (refuseLink) {
            return OperationResult::failed(529, "Synchronization failed");
        }
        linked = std::move(stimulator);
        return OperationResult::done();
    }
    OperationResult deleteAllFiles(const std::string&) override { return OperationResult::done(); }
    OperationResult deleteFile(const std::string&) override { return OperationResult::done(); }
    OperationResult fileStreamAutosave(const std::string&) override { return OperationResult::done(); }
    OperationResult fileStreamRead(const std::string&, int32_t, int32_t) override { return OperationResult::done(); }
    OperationResult readFileCRC32(const std::string&, int32_t, int32_t, uint32_t& crc) override {
        crc = 0xCBF43926u;
        return OperationResult::done();
    }
    OperationResult readFileInfoAll(std::vector<DravikFile>& out) override {
        out = files;
        return OperationResult::done();
    }
    OperationResult readFileInfo(const std::string&, DravikFile& out) override {
        out = files.front();
        return OperationResult::done();
    }
    OperationResult readFile(const std::string&, std::vector<uint8_t>& out, int32_t size, uint32_t offset) override {
        askedSize = size;
        askedOffset = offset;
        out = content;
        return OperationResult::done();
    }
    OperationResult writeFile(const std::string&, const std::vector<uint8_t>& data, uint32_t offset) override {
        written = data;
        askedOffset = offset;
        return OperationResult::done();
    }

    uint8_t channelCount = 8;
    bool channelsFail = false;
    bool refuseLink = false;
    int32_t pinged = -1;
    DravikAmplifier amplifier;
    int amplifierWrites = 0;
    std::shared_ptr<Sensor::ISensor> linked;
    std::vector<DravikFile> files;
    std::vector<uint8_t> content;
    std::vector<uint8_t> written;
    int32_t askedSize = 0;
    uint32_t askedOffset = 0;
};

// A family adapter around any device of the test's.
class DeviceFamily final : public FamilyAccess {
public:
    explicit DeviceFamily(std::shared_ptr<Sensor::ISensor> device) : FamilyAccess(std::move(device)) {}
    std::weak_ptr<BLE::ConnectionBus> connectionBus() override { return bus_; }

private:
    std::shared_ptr<BLE::ConnectionBus> bus_ = std::make_shared<BLE::ConnectionBus>(4);
};

// The handles carry the controls their families' descriptors build: the Dravik control, or the
// stimulator control of a photo-stimulator.
_Sensor* handleOf(const std::shared_ptr<FakeDravik>& device, uint8_t family) {
    return new _Sensor(std::make_shared<DeviceFamily>(device), std::make_unique<DravikControl>(*device), family, 0);
}

_Sensor* handleOf(const std::shared_ptr<FakePhotoStim>& device, uint8_t family) {
    return new _Sensor(std::make_shared<DeviceFamily>(device), std::make_unique<StimulatorControl>(*device), family, 0);
}

struct DravikExports : ::testing::Test {
    std::shared_ptr<FakeDravik> dravik = std::make_shared<FakeDravik>();
    std::shared_ptr<FakePhotoStim> stimulator = std::make_shared<FakePhotoStim>();
    _Sensor* dravikHandle = handleOf(dravik, SensorFamilyDravik);
    _Sensor* stimulatorHandle = handleOf(stimulator, SensorFamilyPhotoStim);
    CallStatus status{};

    void TearDown() override {
        freeSensor(stimulatorHandle);
        freeSensor(dravikHandle);
    }
};

// FAT date and time of 2023-05-17 12:34:56.
constexpr uint16_t kFatDate = ((2023 - 1980) << 9) | (5 << 5) | 17;
constexpr uint16_t kFatTime = (12 << 11) | (34 << 5) | (56 / 2);

}  // namespace

TEST_F(DravikExports, FileRecordsSpellOutTheFatDateAndCutLongNames) {
    dravik->files = {
        {std::string(70, 'n'), 4096, kFatDate, kFatTime, 0x20}, {"b.dat", 1, 0, 0, 0}, {"c.dat", 2, 0, 0, 0}};
    DravikFileInfo info{};
    ASSERT_EQ(readFileInfoDravik(dravikHandle, "x", &info, &status), 1) << status.ErrorMsg;
    EXPECT_EQ(std::string(info.FileName), std::string(63, 'n'));
    EXPECT_EQ(info.FileSize, 4096u);
    EXPECT_EQ(info.Year, 2023);
    EXPECT_EQ(info.Month, 5);
    EXPECT_EQ(info.Day, 17);
    EXPECT_EQ(info.Hour, 12);
    EXPECT_EQ(info.Minute, 34);
    EXPECT_EQ(info.Second, 56);
    EXPECT_EQ(info.Attributes, 0x20);

    DravikFileInfo infos[3]{};
    int32_t count = 2;
    ASSERT_EQ(readFileInfoAllDravik(dravikHandle, infos, &count, &status), 1);
    EXPECT_EQ(count, 2);
    EXPECT_STREQ(infos[1].FileName, "b.dat");
    EXPECT_EQ(infos[2].FileName[0], '\0') << "nothing beyond the count is written";

    for (int32_t refused : {0, -3}) {
        count = refused;
        EXPECT_EQ(readFileInfoAllDravik(dravikHandle, infos, &count, &status), 0);
        EXPECT_EQ(status.Error, 119u);
        EXPECT_EQ(count, refused);
    }
}

TEST_F(DravikExports, FileReadsNeverCopyMoreThanTheBufferHolds) {
    dravik->content = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10};
    uint8_t buffer[5]{0, 0, 0, 0, 0xEE};
    int32_t size = 4;
    ASSERT_EQ(readFileDravik(dravikHandle, "a.dat", buffer, &size, 12, &status), 1) << status.ErrorMsg;
    EXPECT_EQ(dravik->askedSize, 4);
    EXPECT_EQ(dravik->askedOffset, 12u);
    EXPECT_EQ(size, 4);
    EXPECT_EQ(buffer[3], 4);
    EXPECT_EQ(buffer[4], 0xEE) << "the byte after the buffer is left alone";

    // 0 is the file's end: the host sized the buffer for all of it.
    uint8_t whole[11]{};
    whole[10] = 0xEE;
    size = 0;
    ASSERT_EQ(readFileDravik(dravikHandle, "a.dat", whole, &size, 0, &status), 1) << status.ErrorMsg;
    EXPECT_EQ(dravik->askedSize, 0);
    EXPECT_EQ(size, 10);
    EXPECT_EQ(whole[9], 10);
    EXPECT_EQ(whole[10], 0xEE);
    size = -1;
    EXPECT_EQ(readFileDravik(dravikHandle, "a.dat", buffer, &size, 0, &status), 0);
    EXPECT_EQ(status.Error, 119u);

    const uint8_t data[]{9, 8, 7};
    EXPECT_EQ(writeFileDravik(dravikHandle, "a.dat", data, -1, 0, &status), 0);
    EXPECT_EQ(status.Error, 120u);
    EXPECT_TRUE(dravik->written.empty());
    ASSERT_EQ(writeFileDravik(dravikHandle, "a.dat", data, 3, 7, &status), 1);
    EXPECT_EQ(dravik->written, std::vector<uint8_t>({9, 8, 7}));

    uint32_t crc = 0;
    ASSERT_EQ(readFileCRC32Dravik(dravikHandle, "a.dat", 0, 10, &crc, &status), 1);
    EXPECT_EQ(crc, 0xCBF43926u);
}

TEST_F(DravikExports, FileFunctionsOfAnotherFamilyAnswerTheirCodes) {
    EXPECT_EQ(deleteFileDravik(stimulatorHandle, "a.dat", &status), 0);
    EXPECT_EQ(status.Error, 118u);
    EXPECT_EQ(fileStreamReadDravik(stimulatorHandle, "a.dat", 0, 1, &status), 0);
    EXPECT_EQ(status.Error, 121u);
    const uint8_t data[]{1};
    EXPECT_EQ(writeFileDravik(stimulatorHandle, "a.dat", data, 1, 0, &status), 0);
    EXPECT_EQ(status.Error, 122u);
    EXPECT_EQ(pingKestrane(stimulatorHandle, 3, &status), 0);
    EXPECT_EQ(status.Error, 118u);
    ASSERT_EQ(pingKestrane(dravikHandle, 3, &status), 1);
    EXPECT_EQ(dravik->pinged, 3);
}

TEST_F(DravikExports, OverlongProgramListsAreRefusedWhole) {
    std::vector<StimulProgram> programs(20);
    for (size_t i = 0; i < programs.size(); ++i) {
        programs[i].Frequency = static_cast<double>(i + 1);
    }
    EXPECT_EQ(writeStimPrograms(stimulatorHandle, programs.data(), 20, &status), 0);
    EXPECT_EQ(status.Error, 120u);
    EXPECT_EQ(stimulator->programWrites, 0) << "nothing is cut and sent";
    EXPECT_EQ(writeStimPrograms(stimulatorHandle, programs.data(), 0, &status), 0);
    EXPECT_EQ(writeStimPrograms(stimulatorHandle, nullptr, 3, &status), 0);
    EXPECT_EQ(stimulator->programWrites, 0);

    ASSERT_EQ(writeStimPrograms(stimulatorHandle, programs.data(), 16, &status), 1) << status.ErrorMsg;
    ASSERT_EQ(stimulator->programs.size(), 16u);
    EXPECT_EQ(stimulator->programs[15].Frequency, 16.0);
    EXPECT_EQ(getMaxStimulPhasesCountSensor(stimulatorHandle), 16);
    ASSERT_EQ(writePhotoStimTimeDefer(stimulatorHandle, 2.5, &status), 1);
    EXPECT_EQ(stimulator->defer, 2.5);
}

TEST_F(DravikExports, AmplifierRecordCarriesTheChannelsTheDeviceHas) {
    DravikAmplifierParam param{};
    param.ReferentFlag = 5;
    param.Setting1 = 3;
    param.Setting2 = 4;
    for (uint8_t i = 0; i < 24; ++i) {
        param.ChannelMode[i] = i;
        param.ChannelGain[i] = static_cast<uint8_t>(100 + i);
    }
    param.ExtraFlag = 0;
    ASSERT_EQ(writeAmplifierParamDravik(dravikHandle, param, &status), 1) << status.ErrorMsg;
    EXPECT_TRUE(dravik->amplifier.referentFlag);
    EXPECT_FALSE(dravik->amplifier.extraFlag);
    EXPECT_EQ(dravik->amplifier.setting2, 4);
    EXPECT_EQ(dravik->amplifier.channelModes, std::vector<uint8_t>({0, 1, 2, 3, 4, 5, 6, 7}));
    EXPECT_EQ(dravik->amplifier.channelGains.back(), 107);
    EXPECT_EQ(getChannelsCountSensor(dravikHandle), 8);

    dravik->channelsFail = true;
    EXPECT_EQ(writeAmplifierParamDravik(dravikHandle, param, &status), 0);
    EXPECT_EQ(status.Error, 530u);
    EXPECT_EQ(dravik->amplifierWrites, 1) << "no write after a failed channel read";
}

TEST_F(DravikExports, LinkingChecksTheStimulatorAndFreeingClearsTheLink) {
    // Only a photo-stimulator can be linked.
    auto other = std::make_shared<FakeDravik>();
    _Sensor* otherHandle = handleOf(other, SensorFamilyDravik);
    EXPECT_EQ(writePhotoStimDravik(dravikHandle, otherHandle, &status), 0);
    EXPECT_EQ(status.Error, 120u);
    EXPECT_EQ(readPhotoStimDravik(dravikHandle), nullptr);
    freeSensor(otherHandle);

    // A refused device call makes no link.
    dravik->refuseLink = true;
    EXPECT_EQ(writePhotoStimDravik(dravikHandle, stimulatorHandle, &status), 0);
    EXPECT_EQ(status.Error, 529u);
    EXPECT_EQ(readPhotoStimDravik(dravikHandle), nullptr);
    dravik->refuseLink = false;

    ASSERT_EQ(writePhotoStimDravik(dravikHandle, stimulatorHandle, &status), 1) << status.ErrorMsg;
    EXPECT_EQ(readPhotoStimDravik(dravikHandle), stimulatorHandle);
    EXPECT_EQ(dravik->linked.get(), static_cast<Sensor::ISensor*>(stimulator.get()));

    // The freed stimulator leaves nothing behind.
    freeSensor(stimulatorHandle);
    stimulatorHandle = nullptr;
    EXPECT_EQ(readPhotoStimDravik(dravikHandle), nullptr);
}

TEST_F(DravikExports, StimulatorFreedWhileTheLinkIsReadElsewhere) {
    std::atomic<bool> running{true};
    std::thread reader([&] {
        while (running) {
            _Sensor* linked = readPhotoStimDravik(dravikHandle);
            (void)linked;
        }
    });
    for (int round = 0; round < 200; ++round) {
        _Sensor* stim = handleOf(std::make_shared<FakePhotoStim>(), SensorFamilyPhotoStim);
        ASSERT_EQ(writePhotoStimDravik(dravikHandle, stim, nullptr), 1);
        freeSensor(stim);
        EXPECT_EQ(readPhotoStimDravik(dravikHandle), nullptr);
    }
    running = false;
    reader.join();
}

TEST(SignalPacks, FillWithinEveryCapacity) {
    std::vector<Kestrane::_SignalData> signal(3);
    for (uint32_t i = 0; i < signal.size(); ++i) {
        signal[i].PackNum = 10 + i;
        signal[i].Marker = static_cast<uint8_t>(i);
        signal[i].Samples = {1.0 * i, 2.0 * i, 3.0 * i};
    }
    double first[2]{-1, -1};
    double second[8]{};
    DravikSignalPack packs[3]{};
    packs[0] = {0, 0, 2, first};
    packs[1] = {0, 0, 8, second};
    packs[2] = {0, 0, 4, nullptr};
    int32_t count = 2;
    fillSignalPacks(signal, packs, &count);
    EXPECT_EQ(count, 2);
    EXPECT_EQ(packs[0].SzSamples, 2u);
    EXPECT_EQ(packs[1].SzSamples, 3u);
    EXPECT_EQ(packs[1].PackNum, 11);
    EXPECT_EQ(second[2], 3.0);
    EXPECT_EQ(packs[2].SzSamples, 4u) << "beyond the count nothing is touched";

    std::vector<DravikParsedResist> resist{{7, {1.5, 2.5}, 0.1, 0.2, 0.3}};
    double values[1]{};
    DravikResistPack resistPack{0, 0, 0, 0, 1, values};
    count = 1;
    fillResistPacks(resist, &resistPack, &count);
    EXPECT_EQ(resistPack.Number, 7);
    EXPECT_EQ(resistPack.Value3, 0.3);
    EXPECT_EQ(resistPack.SzValues, 1u);
    EXPECT_EQ(values[0], 1.5);
}

// No bytes are a valid input (nothing used); a count below 0 is not, and is refused before the
// handle is looked at.
TEST(SignalProcessing, RefusesMissingInputsAndNegativeCounts) {
    CallStatus status{};
    const uint8_t raw[4]{};
    int32_t length = -1;
    EXPECT_EQ(parseRawSignalDravik(raw, &length, reinterpret_cast<CallbackHandle*>(&length), nullptr, nullptr, nullptr,
                                   nullptr, &status),
              0);
    EXPECT_EQ(status.Error, 119u);
    EXPECT_STREQ(status.ErrorMsg, "Required parameters must be specified");
    length = 0;
    EXPECT_EQ(parseRawSignalDravik(raw, &length, nullptr, nullptr, nullptr, nullptr, nullptr, &status), 0);
    EXPECT_EQ(status.Error, 119u);
}
