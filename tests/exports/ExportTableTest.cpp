// Every exported function, called with a null handle and with the handle of a family that has
// none of the family-specific parameters, events or commands: each reports its own code and
// never crashes. The table must name every export of exports.list.

#include <gtest/gtest.h>

#include <cstdint>
#include <fstream>
#include <functional>
#include <memory>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "sdk/api/FamilyAccess.hpp"
#include "sdk/api/SensorWrap.hpp"
#include "sdk/api/include/ambrelkit2.h"
#include "tests/support/IdleSensor.hpp"

using namespace VexaDevice;
using namespace VexaDevice::Api;

namespace {

class PlainFamily final : public FamilyAccess {
public:
    PlainFamily()
        : FamilyAccess(
              std::make_shared<TestSupport::IdleSensor>(Sensor::FeatureSet{}, OperationResult::failed(0, "refused"))) {}
    std::weak_ptr<BLE::ConnectionBus> connectionBus() override { return bus_; }

private:
    std::shared_ptr<BLE::ConnectionBus> bus_ = std::make_shared<BLE::ConnectionBus>(4);
};

// What one call must give: its return value and the code in the status record (kUntouched: the
// export has no status record and must leave it alone).
constexpr int64_t kUntouched = -1;
struct Expect {
    int64_t result;
    int64_t code;
};

struct Row {
    std::string name;
    std::function<int64_t(_Sensor*, CallStatus*)> call;
    Expect null;
    Expect foreign;
};

template <typename T>
int64_t value(T result) {
    return static_cast<int64_t>(result);
}

// Shapes of the table, by the codes they report: null handle first, then a foreign family.
#define READ(fn, Type)                                                                      \
    {                                                                                       \
#fn, [](_Sensor* s, CallStatus* st) { Type v{}; return value(fn(s, &v, st)); }, {0, 119}, { \
            0, 121                                                                          \
        }                                                                                   \
    }
#define READ_TEXT(fn)                                                                                  \
    {                                                                                                  \
#fn, [](_Sensor* s, CallStatus* st) { char b[16]; return value(fn(s, b, sizeof b, st)); }, {0, 119}, { \
            0, 121                                                                                     \
        }                                                                                              \
    }
#define READ_LIST(fn, Type)                                                                                      \
    {                                                                                                            \
#fn, [](_Sensor* s, CallStatus* st) { Type v[4]{}; int32_t n = 4; return value(fn(s, v, &n, st)); }, {0, 119}, { \
            0, 121                                                                                               \
        }                                                                                                        \
    }
#define WRITE(fn, arg)                                                                                 \
    {                                                                                                  \
#fn, [](_Sensor * s, CallStatus * st) { return value(fn(s, arg, st)); }, {0, 120 }, { 0, 122 } \
    }
#define WRITE_RECORD(fn, Type) WRITE(fn, Type{})
#define ADD(fn, Handle)                                                                                                  \
    {                                                                                                                    \
#fn, [](_Sensor* s, CallStatus* st) { Handle* h = nullptr; return value(fn(s, nullptr, &h, nullptr, st)); }, {0, 123}, { \
            0, 124                                                                                                       \
        }                                                                                                                \
    }
#define REMOVE(fn)                                                                     \
    {                                                                                  \
#fn, [](_Sensor*, CallStatus*) { fn(nullptr); return int64_t{0}; }, {0, kUntouched}, { \
            0, kUntouched                                                              \
        }                                                                              \
    }
#define COUNT(fn)                                                                                       \
    {                                                                                                   \
#fn, [](_Sensor * s, CallStatus*) { return value(fn(s)); }, {0, kUntouched }, { 0, kUntouched } \
    }
#define TEST_ONE(fn)                                                                                       \
    {                                                                                                      \
#fn, [](_Sensor * s, CallStatus*) { return value(fn(s, 0)); }, {0, kUntouched }, { 0, kUntouched } \
    }
#define LIST(fn, Type, invalid)                                                                                      \
    {                                                                                                                \
#fn, [](_Sensor* s, CallStatus* st) { Type v[4]{}; int32_t n = 4; return value(fn(s, v, &n, st)); }, {0, invalid}, { \
            1, 0                                                                                                     \
        }                                                                                                            \
    }
#define FILE_COMMAND(fn)                                                                                   \
    {                                                                                                      \
#fn, [](_Sensor * s, CallStatus * st) { return value(fn(s, "a.dat", st)); }, {0, 118 }, { 0, 118 } \
    }

// The scanner functions take no sensor: their "foreign" call is the same bad argument again.
#define SCANNER(fn, body, code)                                                                              \
    {                                                                                                        \
#fn, [](_Sensor*, [[maybe_unused]] CallStatus * st) { return value(body); }, {0, code }, { 0, code } \
    }

const std::vector<Row>& table() {
    static const std::vector<Row> rows{
        COUNT(getLedChannelsCountSensor),
        ADD(addAmpModeCallback, CallbackHandle),
        ADD(addBatteryCallback, CallbackHandle),
        ADD(addBatteryVoltageCallback, CallbackHandle),
        {"addConnectionStateCallback",
         [](_Sensor* s, CallStatus* st) {
             CallbackHandle* h = nullptr;
             const auto result = value(addConnectionStateCallback(s, nullptr, &h, nullptr, st));
             removeConnectionStateCallback(h);
             return result;
         },
         {0, 123},
         {0, 123}},
        ADD(addElectrodeStateCallbackTessel, CallbackHandle),
        ADD(addEnvelopeDataCallbackTessel, CallbackHandle),
        ADD(addFPGDataCallback, CallbackHandle),
        ADD(addFileStreamReadCallbackDravik, CallbackHandle),
        ADD(addMEMSDataCallback, DualCallbackHandle),
        ADD(addPhotoStimSyncStateCallback, CallbackHandle),
        ADD(addQuaternionDataCallback, CallbackHandle),
        ADD(addResistCallbackMorvex, DualCallbackHandle),
        ADD(addResistCallbackMorvex2, CallbackHandle),
        ADD(addResistCallbackLorrel, CallbackHandle),
        ADD(addResistCallbackVondra, CallbackHandle),
        ADD(addResistCallbackVondra2, CallbackHandle),
        ADD(addResistCallbackDravik, CallbackHandle),
        ADD(addRespirationCallbackTessel, CallbackHandle),
        SCANNER(addSensorsCallbackScanner, ([st] {
                    CallbackHandle* h = nullptr;
                    return addSensorsCallbackScanner(nullptr, nullptr, &h, nullptr, st);
                }()),
                104),
        ADD(addSignalCallbackMorvex2, CallbackHandle),
        ADD(addSignalCallbackTessel, CallbackHandle),
        ADD(addSignalCallbackDravik, CallbackHandle),
        ADD(addSignalDataCallbackMorvex, DualCallbackHandle),
        ADD(addSignalDataCallbackLorrel, CallbackHandle),
        ADD(addSignalDataCallbackVondra, CallbackHandle),
        ADD(addSignalDataCallbackVondra2, CallbackHandle),
        ADD(addSignalRawCallbackDravik, CallbackHandle),
        ADD(addSignalResistCallbackDravik, CallbackHandle),
        ADD(addStimModeCallback, CallbackHandle),
        {"calcCRC32",
         [](_Sensor*, CallStatus*) { return value(calcCRC32(nullptr, 4, nullptr)); },
         {0, kUntouched},
         {0, kUntouched}},
        {"connectSensor", [](_Sensor* s, CallStatus* st) { return value(connectSensor(s, st)); }, {0, 110}, {1, 0}},
        SCANNER(createScanner, createScanner(nullptr, 0, st) != nullptr, 100),
        {"createSensor",
         [](_Sensor* s, CallStatus* st) {
             // The foreign call asks for a family that has no device class.
             _SensorInfo info{};
             info.SensFamily = s == nullptr ? 3 : 7;
             return value(createSensor(nullptr, s == nullptr ? &info : &info, st) != nullptr);
         },
         {0, 107},
         {0, 107}},
        {"createSignalProcessParamDravik",
         [](_Sensor*, CallStatus* st) {
             return value(createSignalProcessParamDravik(DravikAmplifierParam{}, nullptr, st));
         },
         {0, 116},
         {0, 116}},
        FILE_COMMAND(deleteAllFilesDravik),
        FILE_COMMAND(deleteFileDravik),
        {"disconnectSensor",
         [](_Sensor* s, CallStatus* st) { return value(disconnectSensor(s, st)); },
         {0, 111},
         {1, 0}},
        {"execCommandSensor",
         [](_Sensor* s, CallStatus* st) { return value(execCommandSensor(s, 0, st)); },
         {0, 118},
         {0, 118}},
        FILE_COMMAND(fileStreamAutosaveDravik),
        {"fileStreamReadDravik",
         [](_Sensor* s, CallStatus* st) { return value(fileStreamReadDravik(s, "a.dat", 0, 1, st)); },
         {0, 118},
         {0, 121}},
        SCANNER(freeScanner, (freeScanner(nullptr), 0), kUntouched),
        {"freeSensor",
         [](_Sensor* s, CallStatus*) { return value(s == nullptr ? (freeSensor(nullptr), 0) : 0); },
         {0, kUntouched},
         {0, kUntouched}},
        COUNT(getChannelsCountSensor),
        COUNT(getCommandsCountSensor),
        LIST(getCommandsSensor, int8_t, 114),
        {"getFamilySensor",
         [](_Sensor* s, CallStatus*) { return value(getFamilySensor(s)); },
         {0, kUntouched},
         {SensorFamilyMorvex, kUntouched}},
        COUNT(getFeaturesCountSensor),
        LIST(getFeaturesSensor, int8_t, 112),
        COUNT(getMaxStimulPhasesCountSensor),
        COUNT(getParametersCountSensor),
        LIST(getParametersSensor, ParameterInfo, 116),
        {"getPossibleFeaturesCountSensor",
         [](_Sensor* s, CallStatus*) { return value(getPossibleFeaturesCountSensor(s ? 7 : 0, 0)); },
         {0, kUntouched},
         {0, kUntouched}},
        {"getPossibleFeaturesSensor",
         [](_Sensor* s, CallStatus* st) {
             int8_t features[4];
             int32_t n = s == nullptr ? 0 : 4;
             return value(getPossibleFeaturesSensor(7, 0, features, &n, st));
         },
         {0, 112},
         {1, 0}},
        {"getSignalSettingsTessel",
         [](_Sensor* s, CallStatus* st) {
             uint8_t v = 0;
             return value(getSignalSettingsTessel(s, &v, st));
         },
         {0, 121},
         {0, 121}},
        COUNT(getSupportedFiltersCountSensor),
        LIST(getSupportedFiltersSensor, int16_t, 125),
        TEST_ONE(isSupportedCommandSensor),
        TEST_ONE(isSupportedFeatureSensor),
        TEST_ONE(isSupportedFilterSensor),
        TEST_ONE(isSupportedParameterSensor),
        {"parseRawSignalDravik",
         [](_Sensor*, CallStatus* st) {
             int32_t length = 4;
             return value(parseRawSignalDravik(nullptr, &length, nullptr, nullptr, nullptr, nullptr, nullptr, st));
         },
         {0, 119},
         {0, 119}},
        {"pingKestrane", [](_Sensor* s, CallStatus* st) { return value(pingKestrane(s, 1, st)); }, {0, 118}, {0, 118}},
        READ(readADCInputSensor, uint8_t),
        READ(readAccelerometerSensSensor, uint8_t),
        READ_TEXT(readAddressSensor),
        READ(readAmpMode, uint8_t),
        READ(readAmplifierParamMorvex2, Morvex2AmplifierParam),
        READ(readAmplifierParamVondra, VondraAmplifierParam),
        READ(readAmplifierParamVondra2, Vondra2AmplifierParam),
        READ(readAmplifierParamDravik, DravikAmplifierParam),
        READ(readAmplifierParamWrenlet, WrenletAmplifierParam),
        READ(readBattPowerSensor, int32_t),
        READ(readBattVoltageSensor, int32_t),
        READ(readColorTessel, int32_t),
        {"readColorInfo",
         [](_Sensor* s, CallStatus*) {
             _SensorInfo info{};
             info.SensFamily = SensorFamilyMorvex;
             int32_t colour = -1;
             readColorInfo(s == nullptr ? nullptr : &info, &colour);
             return value(colour);
         },
         {-1, kUntouched},
         {4, kUntouched}},
        READ(readDataOffsetSensor, uint8_t),
        READ(readElectrodeStateTessel, uint8_t),
        READ(readExternalSwitchSensor, uint8_t),
        {"readFileCRC32Dravik",
         [](_Sensor* s, CallStatus* st) {
             uint32_t crc = 0;
             return value(readFileCRC32Dravik(s, "a.dat", 0, 1, &crc, st));
         },
         {0, 119},
         {0, 121}},
        READ_LIST(readFileInfoAllDravik, DravikFileInfo),
        {"readFileInfoDravik",
         [](_Sensor* s, CallStatus* st) {
             DravikFileInfo info{};
             return value(readFileInfoDravik(s, "a.dat", &info, st));
         },
         {0, 119},
         {0, 121}},
        {"readFileDravik",
         [](_Sensor* s, CallStatus* st) {
             uint8_t buffer[8];
             int32_t size = sizeof buffer;
             return value(readFileDravik(s, "a.dat", buffer, &size, 0, st));
         },
         {0, 119},
         {0, 121}},
        READ(readFileSystemDiskInfoDravik, DravikFSDiskInfo),
        READ(readFilesystemStatusDravik, DravikFSStatus),
        READ(readFirmwareModeSensor, uint8_t),
        READ(readGainSensor, uint8_t),
        READ(readGyroscopeSensSensor, uint8_t),
        {"readHardwareFiltersSensor",
         [](_Sensor* s, CallStatus* st) {
             int16_t v[4]{};
             int32_t n = 4;
             return value(readHardwareFiltersSensor(s, v, &n, st));
         },
         {0, 119},
         {0, 121}},
        READ(readIrAmplitudeFPGSensor, uint8_t),
        READ(readMEMSCalibrateStateTessel, uint8_t),
        READ(readMotionAssistantParamTessel, TesselMotionAssistantParam),
        READ(readMotionCounterTessel, int32_t),
        READ(readMotionCounterParamTessel, TesselMotionCounterParam),
        READ_TEXT(readNameSensor),
        {"readPhotoStimDravik",
         [](_Sensor* s, CallStatus*) { return value(readPhotoStimDravik(s) != nullptr); },
         {0, kUntouched},
         {0, kUntouched}},
        READ(readPhotoStimSyncState, uint8_t),
        READ(readPhotoStimTimeDefer, double),
        READ(readRedAmplitudeFPGSensor, uint8_t),
        READ(readSamplingFrequencyEnvelopeSensor, uint8_t),
        READ(readSamplingFrequencyFPGSensor, uint8_t),
        READ(readSamplingFrequencyMEMSSensor, uint8_t),
        READ(readSamplingFrequencyResistSensor, uint8_t),
        READ(readSamplingFrequencyRespSensor, uint8_t),
        READ(readSamplingFrequencySensor, uint8_t),
        READ_TEXT(readSerialNumberSensor),
        READ(readStateSensor, uint8_t),
        READ(readStimMode, uint8_t),
        READ_LIST(readStimPrograms, StimulProgram),
        READ(readStimulatorAndMAStateTessel, TesselStimulatorAndMAState),
        READ(readStimulatorParamTessel, TesselStimulatorParam),
        READ_LIST(readSupportedChannelsMorvex2, EEGChannelInfo),
        READ_LIST(readSupportedChannelsDravik, EEGChannelInfo),
        READ_LIST(readSupportedEEGChannels, EEGChannelInfo),
        READ(readSurveyIdDravik, int32_t),
        READ(readVersionSensor, SensorVersion),
        REMOVE(removeAmpModeCallback),
        REMOVE(removeBatteryCallback),
        REMOVE(removeBatteryVoltageCallback),
        REMOVE(removeConnectionStateCallback),
        REMOVE(removeElectrodeStateCallbackTessel),
        REMOVE(removeEnvelopeDataCallbackTessel),
        REMOVE(removeFPGDataCallback),
        REMOVE(removeFileStreamReadCallbackDravik),
        REMOVE(removeMEMSDataCallback),
        REMOVE(removePhotoStimSyncStateCallback),
        REMOVE(removeQuaternionDataCallback),
        REMOVE(removeResistCallbackMorvex),
        REMOVE(removeResistCallbackMorvex2),
        REMOVE(removeResistCallbackLorrel),
        REMOVE(removeResistCallbackVondra),
        REMOVE(removeResistCallbackVondra2),
        REMOVE(removeResistCallbackDravik),
        REMOVE(removeRespirationCallbackTessel),
        REMOVE(removeSensorsCallbackScanner),
        REMOVE(removeSignalCallbackMorvex2),
        REMOVE(removeSignalCallbackTessel),
        REMOVE(removeSignalCallbackDravik),
        REMOVE(removeSignalDataCallbackMorvex),
        REMOVE(removeSignalDataCallbackLorrel),
        REMOVE(removeSignalDataCallbackVondra),
        REMOVE(removeSignalDataCallbackVondra2),
        REMOVE(removeSignalProcessParamDravik),
        REMOVE(removeSignalRawCallbackDravik),
        REMOVE(removeSignalResistCallbackDravik),
        REMOVE(removeStimModeCallback),
        SCANNER(sensorsScanner, ([st] {
                    _SensorInfo info[2];
                    int32_t n = 2;
                    return sensorsScanner(nullptr, info, &n, st);
                }()),
                106),
        {"setSignalSettingsTessel",
         [](_Sensor* s, CallStatus* st) { return value(setSignalSettingsTessel(s, 1, st)); },
         {0, 122},
         {0, 122}},
        SCANNER(startScanner, startScanner(nullptr, st, 0), 103),
        SCANNER(stopScanner, stopScanner(nullptr, st), 104),
        WRITE(writeADCInputSensor, 1),
        WRITE(writeAccelerometerSensSensor, 1),
        WRITE_RECORD(writeAmplifierParamMorvex2, Morvex2AmplifierParam),
        WRITE_RECORD(writeAmplifierParamVondra, VondraAmplifierParam),
        WRITE_RECORD(writeAmplifierParamVondra2, Vondra2AmplifierParam),
        WRITE_RECORD(writeAmplifierParamDravik, DravikAmplifierParam),
        WRITE_RECORD(writeAmplifierParamWrenlet, WrenletAmplifierParam),
        WRITE(writeDataOffsetSensor, 1),
        WRITE(writeExternalSwitchSensor, 1),
        {"writeFileDravik",
         [](_Sensor* s, CallStatus* st) {
             const uint8_t data[3]{1, 2, 3};
             return value(writeFileDravik(s, "a.dat", data, sizeof data, 0, st));
         },
         {0, 120},
         {0, 122}},
        WRITE(writeFirmwareModeSensor, 1),
        WRITE(writeGainSensor, 1),
        WRITE(writeGyroscopeSensSensor, 1),
        {"writeHardwareFiltersSensor",
         [](_Sensor* s, CallStatus* st) {
             const int16_t f[1]{1};
             return value(writeHardwareFiltersSensor(s, f, 1, st));
         },
         {0, 120},
         {0, 122}},
        WRITE(writeIrAmplitudeFPGSensor, 1),
        WRITE_RECORD(writeMotionAssistantParamTessel, TesselMotionAssistantParam),
        WRITE_RECORD(writeMotionCounterParamTessel, TesselMotionCounterParam),
        {"writeNameSensor",
         [](_Sensor* s, CallStatus* st) { return value(writeNameSensor(s, "x", 1, st)); },
         {0, 122},
         {0, 122}},
        {"writePhotoStimDravik",
         [](_Sensor* s, CallStatus* st) { return value(writePhotoStimDravik(s, nullptr, st)); },
         {0, 120},
         {0, 122}},
        WRITE(writePhotoStimTimeDefer, 1.5),
        WRITE(writeRedAmplitudeFPGSensor, 1),
        WRITE(writeSamplingFrequencySensor, 1),
        {"writeSerialNumberSensor",
         [](_Sensor* s, CallStatus* st) { return value(writeSerialNumberSensor(s, "x", 1, st)); },
         {0, 122},
         {0, 122}},
        {"writeStimPrograms",
         [](_Sensor* s, CallStatus* st) {
             const StimulProgram p[1]{};
             return value(writeStimPrograms(s, p, 1, st));
         },
         {0, 120},
         {0, 122}},
        WRITE_RECORD(writeStimulatorParamTessel, TesselStimulatorParam),
        WRITE(writeSurveyIdDravik, 7),
    };
    return rows;
}

std::vector<std::string> listedExports() {
    std::ifstream in(AK_EXPORTS_LIST);
    std::vector<std::string> names;
    std::string line;
    while (std::getline(in, line)) {
        std::istringstream fields(line);
        int ordinal = 0;
        std::string name;
        if (fields >> ordinal >> name) {
            names.push_back(name);
        }
    }
    return names;
}

// Calls one row and checks what it gave; the status starts as a record no call writes by chance.
void expectRow(const Row& row, _Sensor* sensor, const Expect& expect, const char* which) {
    CallStatus status{};
    status.Success = 7;
    status.Error = 0xDEAD;
    const int64_t result = row.call(sensor, &status);
    EXPECT_EQ(result, expect.result) << row.name << " with " << which << ": " << status.ErrorMsg;
    if (expect.code == kUntouched) {
        EXPECT_EQ(status.Success, 7) << row.name << " with " << which << " wrote a status";
        EXPECT_EQ(status.Error, 0xDEADu) << row.name << " with " << which << " wrote a status";
        return;
    }
    EXPECT_EQ(status.Error, static_cast<uint32_t>(expect.code))
        << row.name << " with " << which << ": " << status.ErrorMsg;
    EXPECT_EQ(status.Success, expect.code == 0 ? 1 : 0) << row.name << " with " << which;
}

}  // namespace

TEST(ExportTable, NamesEveryListedExportOnce) {
    std::multiset<std::string> named;
    for (const auto& row : table()) {
        named.insert(row.name);
    }
    const auto listed = listedExports();
    ASSERT_EQ(listed.size(), 176u);
    EXPECT_EQ(named, std::multiset<std::string>(listed.begin(), listed.end()));
}

TEST(ExportTable, NullHandlesAndPointersReportTheExportsCode) {
    for (const auto& row : table()) {
        expectRow(row, nullptr, row.null, "a null handle");
    }
}

TEST(ExportTable, AFamilyWithoutTheFeatureReportsTheFamilyCode) {
    _Sensor sensor(std::make_shared<PlainFamily>(), std::make_unique<FamilyControl>(), SensorFamilyMorvex, 0);
    for (const auto& row : table()) {
        expectRow(row, &sensor, row.foreign, "a foreign family");
    }
}

// Where the family decides, it answers before the other arguments are looked at: a foreign
// sensor gets the family's code even with empty buffers, null names or a zero count.
TEST(ExportTable, TheFamilyAnswersBeforeTheArguments) {
    _Sensor sensor(std::make_shared<PlainFamily>(), std::make_unique<FamilyControl>(), SensorFamilyMorvex, 0);
    _Sensor other(std::make_shared<PlainFamily>(), std::make_unique<FamilyControl>(), SensorFamilyMorvex, 0);
    const std::vector<Row> rows = {
        {"readFileDravik",
         [](_Sensor* s, CallStatus* st) {
             uint8_t b[4];
             int32_t n = 0;
             return value(readFileDravik(s, "f", b, &n, 0, st));
         },
         {},
         {0, 121}},
        {"readFileInfoAllDravik",
         [](_Sensor* s, CallStatus* st) {
             DravikFileInfo i[2];
             int32_t n = 0;
             return value(readFileInfoAllDravik(s, i, &n, st));
         },
         {},
         {0, 121}},
        {"readFileCRC32Dravik",
         [](_Sensor* s, CallStatus* st) { return value(readFileCRC32Dravik(s, "f", 0, 1, nullptr, st)); },
         {},
         {0, 121}},
        {"readSupportedEEGChannels",
         [](_Sensor* s, CallStatus* st) {
             EEGChannelInfo c[2];
             int32_t n = 0;
             return value(readSupportedEEGChannels(s, c, &n, st));
         },
         {},
         {0, 121}},
        {"readSupportedChannelsMorvex2",
         [](_Sensor* s, CallStatus* st) { return value(readSupportedChannelsMorvex2(s, nullptr, nullptr, st)); },
         {},
         {0, 121}},
        {"fileStreamReadDravik",
         [](_Sensor* s, CallStatus* st) { return value(fileStreamReadDravik(s, nullptr, 0, 1, st)); },
         {},
         {0, 121}},
        {"writeFileDravik",
         [](_Sensor* s, CallStatus* st) {
             const uint8_t d[1]{};
             return value(writeFileDravik(s, "f", d, 0, 0, st));
         },
         {},
         {0, 122}},
        {"writeStimPrograms",
         [](_Sensor* s, CallStatus* st) { return value(writeStimPrograms(s, nullptr, 1, st)); },
         {},
         {0, 122}},
        {"writePhotoStimDravik",
         [&other](_Sensor* s, CallStatus* st) { return value(writePhotoStimDravik(s, &other, st)); },
         {},
         {0, 122}},
        {"deleteFileDravik",
         [](_Sensor* s, CallStatus* st) { return value(deleteFileDravik(s, nullptr, st)); },
         {},
         {0, 118}},
    };
    for (const auto& row : rows) {
        expectRow(row, &sensor, row.foreign, "a foreign family and bad arguments");
    }
    // The one read that looks at its arguments first.
    int32_t count = 0;
    CallStatus status{};
    int16_t filters[2];
    EXPECT_EQ(readHardwareFiltersSensor(&sensor, filters, &count, &status), 0);
    EXPECT_EQ(status.Error, 119u);
}
