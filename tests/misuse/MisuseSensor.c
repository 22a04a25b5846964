/* Every call of a made sensor with each kind of bad argument that applies to it: a null handle,
   null out-pointers, out-values right before a guard page, capacities of 0, -1, the minimum and
   one short, codes outside every table, and the calls of other families. */
#include <limits.h>
#include <math.h>
#include <stdio.h>
#include <string.h>

#include "MisuseHarness.h"

/* ---- Reads of one value ------------------------------------------------------------------- */

typedef struct ValueRead {
    const char* name;
    uint8_t (*call)(_Sensor* sensor, void* out, CallStatus* status);
    size_t size;
    uint32_t families; /* the families that may answer; the others refuse */
} ValueRead;

#define VALUE_READ(function, type, families)                                         \
    static uint8_t read_##function(_Sensor* sensor, void* out, CallStatus* status) { \
        return function(sensor, (type*)out, status);                                 \
    }
#define VALUE_READS(X)                                                                   \
    X(readStateSensor, uint8_t, ANY_FAMILY)                                              \
    X(readFirmwareModeSensor, uint8_t, ANY_FAMILY)                                       \
    X(readVersionSensor, SensorVersion, ANY_FAMILY)                                      \
    X(readBattPowerSensor, int32_t, ANY_FAMILY)                                          \
    X(readBattVoltageSensor, int32_t, ANY_FAMILY)                                        \
    X(readSamplingFrequencySensor, uint8_t, ANY_FAMILY)                                  \
    X(readDataOffsetSensor, uint8_t, ANY_FAMILY)                                         \
    X(readGainSensor, uint8_t, ANY_FAMILY)                                               \
    X(readAccelerometerSensSensor, uint8_t, ANY_FAMILY)                                  \
    X(readGyroscopeSensSensor, uint8_t, ANY_FAMILY)                                      \
    X(readSamplingFrequencyMEMSSensor, uint8_t, ANY_FAMILY)                              \
    X(readSamplingFrequencyFPGSensor, uint8_t, ANY_FAMILY)                               \
    X(readIrAmplitudeFPGSensor, uint8_t, ANY_FAMILY)                                     \
    X(readRedAmplitudeFPGSensor, uint8_t, ANY_FAMILY)                                    \
    X(readSamplingFrequencyResistSensor, uint8_t, ANY_FAMILY)                            \
    X(readSamplingFrequencyEnvelopeSensor, uint8_t, ANY_FAMILY)                          \
    X(readSamplingFrequencyRespSensor, uint8_t, ANY_FAMILY)                              \
    X(readAmpMode, uint8_t, ANY_FAMILY)                                                  \
    X(readStimMode, uint8_t, ANY_FAMILY)                                                 \
    X(readPhotoStimSyncState, uint8_t, ANY_FAMILY)                                       \
    X(readPhotoStimTimeDefer, double, ANY_FAMILY)                                        \
    X(readADCInputSensor, uint8_t, ANY_FAMILY)                                           \
    X(readExternalSwitchSensor, uint8_t, ANY_FAMILY)                                     \
    X(readElectrodeStateTessel, uint8_t, TESSELS)                                        \
    X(readMEMSCalibrateStateTessel, uint8_t, TESSELS)                                    \
    X(readColorTessel, int32_t, TESSELS)                                                 \
    X(readMotionCounterTessel, int32_t, TESSELS)                                         \
    X(readSurveyIdDravik, int32_t, FAMILY_BIT(SensorFamilyDravik))                       \
    X(readAmplifierParamMorvex2, Morvex2AmplifierParam, MORVEX2S)                        \
    X(readAmplifierParamWrenlet, WrenletAmplifierParam, FAMILY_BIT(SensorFamilyLorrel))  \
    X(readAmplifierParamVondra2, Vondra2AmplifierParam, FAMILY_BIT(SensorFamilyVondra2)) \
    X(readAmplifierParamVondra, VondraAmplifierParam, FAMILY_BIT(SensorFamilyVondra))    \
    X(readAmplifierParamDravik, DravikAmplifierParam, FAMILY_BIT(SensorFamilyDravik))    \
    X(readFilesystemStatusDravik, DravikFSStatus, FAMILY_BIT(SensorFamilyDravik))        \
    X(readFileSystemDiskInfoDravik, DravikFSDiskInfo, FAMILY_BIT(SensorFamilyDravik))    \
    X(readMotionCounterParamTessel, TesselMotionCounterParam, TESSELS)                   \
    X(readMotionAssistantParamTessel, TesselMotionAssistantParam, TESSELS)               \
    X(readStimulatorParamTessel, TesselStimulatorParam, TESSELS)                         \
    X(readStimulatorAndMAStateTessel, TesselStimulatorAndMAState, TESSELS)               \
    X(getSignalSettingsTessel, uint8_t, TESSELS)

VALUE_READS(VALUE_READ)
#define VALUE_READ_ENTRY(function, type, families) {#function, read_##function, sizeof(type), families},
static const ValueRead value_reads[] = {VALUE_READS(VALUE_READ_ENTRY)};

static void misuse_value_reads(Device* device) {
    size_t i;
    for (i = 0; i < sizeof value_reads / sizeof value_reads[0]; ++i) {
        const ValueRead* read = &value_reads[i];
        CallStatus* status = guarded_status();
        void* out = guarded(1, read->size);
        uint8_t result = read->call(NULL, out, status);
        EXPECT_REFUSED(read->name, result, status);

        status = guarded_status();
        EXPECT_REFUSED(read->name, read->call(device->sensor, NULL, status), status);

        status = guarded_status();
        out = guarded(1, read->size);
        result = read->call(device->sensor, out, status);
        EXPECT_FOR_FAMILIES(read->name, result, status, device, read->families);
        read->call(device->sensor, guarded(1, read->size), NULL);
    }
}

/* ---- Reads of text -------------------------------------------------------------------------- */

typedef struct TextRead {
    const char* name;
    uint8_t (*call)(_Sensor* sensor, char* buffer, int32_t length, CallStatus* status);
} TextRead;

static const TextRead text_reads[] = {
    {"readNameSensor", readNameSensor},
    {"readAddressSensor", readAddressSensor},
    {"readSerialNumberSensor", readSerialNumberSensor},
};

static void misuse_text_reads(Device* device) {
    static const int32_t bad_lengths[] = {0, -1, INT32_MIN};
    char full[256];
    size_t i, j;
    for (i = 0; i < sizeof text_reads / sizeof text_reads[0]; ++i) {
        const TextRead* read = &text_reads[i];
        CallStatus* status = guarded_status();
        char* buffer = guarded(1, 64);
        uint8_t result;
        size_t length;
        EXPECT_REFUSED(read->name, read->call(NULL, buffer, 64, status), status);
        status = guarded_status();
        EXPECT_CODE(read->name, read->call(device->sensor, NULL, 64, status), status, 119);
        for (j = 0; j < sizeof bad_lengths / sizeof bad_lengths[0]; ++j) {
            status = guarded_status();
            buffer = guarded(1, 64);
            EXPECT_CODE(read->name, read->call(device->sensor, buffer, bad_lengths[j], status), status, 119);
            CHECK(untouched(buffer, 64), "%s with length %d copied", read->name, (int)bad_lengths[j]);
        }

        status = guarded_status();
        buffer = guarded(1, sizeof full);
        result = read->call(device->sensor, buffer, (int32_t)sizeof full, status);
        EXPECT_OUTCOME(read->name, result, status);
        if (result != 1) continue;
        CHECK(memchr(buffer, '\0', sizeof full) != NULL, "%s left its text unterminated", read->name);
        strcpy(full, buffer);
        length = strlen(full);
        if (read->call == readAddressSensor) {
            CHECK(strcmp(full, device->address) == 0, "readAddressSensor gave %s", full);
        }

        /* A buffer one short of the text: cut, terminated, nothing past it. */
        if (length > 0) {
            status = guarded_status();
            buffer = guarded(1, length);
            result = read->call(device->sensor, buffer, (int32_t)length, status);
            EXPECT_OUTCOME(read->name, result, status);
            CHECK(result == 0 || (strlen(buffer) == length - 1 && strncmp(buffer, full, length - 1) == 0),
                  "%s one short gave \"%.*s\"", read->name, (int)length, buffer);
        }
        /* The largest length with a buffer the text fits: the text, nothing more. */
        status = guarded_status();
        buffer = guarded(1, length + 1);
        result = read->call(device->sensor, buffer, INT32_MAX, status);
        EXPECT_OUTCOME(read->name, result, status);
        CHECK(result == 0 || strcmp(buffer, full) == 0, "%s with the largest length gave another text", read->name);
    }
}

/* ---- Reads of lists ----------------------------------------------------------------------- */

typedef struct ListRead {
    const char* name;
    uint8_t (*call)(_Sensor* sensor, void* entries, int32_t* count, CallStatus* status);
    size_t size;
    uint32_t families;
    int32_t (*count)(_Sensor* sensor); /* the matching count function, if any */
} ListRead;

/* The three channel reads are one: MorvexBlack, Dravik and the Morvex2 class have channels. */
#define EEG_CHANNEL_FAMILIES (FAMILY_BIT(SensorFamilyMorvexBlack) | FAMILY_BIT(SensorFamilyDravik) | MORVEX2S)

#define LIST_READ(function, type, families, counter)                                                     \
    static uint8_t list_##function(_Sensor* sensor, void* entries, int32_t* count, CallStatus* status) { \
        return function(sensor, (type*)entries, count, status);                                          \
    }
#define LIST_READS(X)                                                              \
    X(readSupportedChannelsMorvex2, EEGChannelInfo, EEG_CHANNEL_FAMILIES, NULL)    \
    X(readSupportedChannelsDravik, EEGChannelInfo, EEG_CHANNEL_FAMILIES, NULL)     \
    X(readSupportedEEGChannels, EEGChannelInfo, EEG_CHANNEL_FAMILIES, NULL)        \
    X(readStimPrograms, StimulProgram, ANY_FAMILY, NULL)                           \
    X(readHardwareFiltersSensor, int16_t, ANY_FAMILY, NULL)                        \
    X(readFileInfoAllDravik, DravikFileInfo, FAMILY_BIT(SensorFamilyDravik), NULL) \
    X(getCommandsSensor, int8_t, ANY_FAMILY, getCommandsCountSensor)               \
    X(getFeaturesSensor, int8_t, ANY_FAMILY, getFeaturesCountSensor)               \
    X(getParametersSensor, ParameterInfo, ANY_FAMILY, getParametersCountSensor)    \
    X(getSupportedFiltersSensor, int16_t, ANY_FAMILY, getSupportedFiltersCountSensor)

LIST_READS(LIST_READ)
#define LIST_READ_ENTRY(function, type, families, counter) \
    {#function, list_##function, sizeof(type), families, counter},
static const ListRead list_reads[] = {LIST_READS(LIST_READ_ENTRY)};

enum { LIST_CAPACITY = 32 };

static void misuse_list_reads(Device* device) {
    static const int32_t bad_capacities[] = {0, -1, INT32_MIN};
    size_t i, j;
    for (i = 0; i < sizeof list_reads / sizeof list_reads[0]; ++i) {
        const ListRead* read = &list_reads[i];
        CallStatus* status = guarded_status();
        void* entries = guarded(1, LIST_CAPACITY * read->size);
        int32_t* count = guarded(2, sizeof *count);
        uint8_t result;
        int32_t found;
        *count = LIST_CAPACITY;
        EXPECT_REFUSED(read->name, read->call(NULL, entries, count, status), status);
        status = guarded_status();
        *count = LIST_CAPACITY;
        EXPECT_REFUSED(read->name, read->call(device->sensor, NULL, count, status), status);
        status = guarded_status();
        EXPECT_REFUSED(read->name, read->call(device->sensor, entries, NULL, status), status);
        for (j = 0; j < sizeof bad_capacities / sizeof bad_capacities[0]; ++j) {
            status = guarded_status();
            entries = guarded(1, LIST_CAPACITY * read->size);
            *count = bad_capacities[j];
            EXPECT_REFUSED(read->name, read->call(device->sensor, entries, count, status), status);
            CHECK(untouched(entries, LIST_CAPACITY * read->size), "%s with capacity %d wrote entries", read->name,
                  (int)bad_capacities[j]);
        }

        status = guarded_status();
        entries = guarded(1, LIST_CAPACITY * read->size);
        *count = LIST_CAPACITY;
        result = read->call(device->sensor, entries, count, status);
        EXPECT_FOR_FAMILIES(read->name, result, status, device, read->families);
        if (read->count != NULL) {
            CHECK(read->count(device->sensor) == (result == 1 ? *count : 0), "%s and its count disagree", read->name);
        }
        if (result != 1) continue;
        found = *count;
        CHECK(found >= 0 && found <= LIST_CAPACITY, "%s wrote back %d entries", read->name, (int)found);
        if (found >= 0 && found < LIST_CAPACITY) {
            CHECK(untouched((unsigned char*)entries + (size_t)found * read->size,
                            (size_t)(LIST_CAPACITY - found) * read->size),
                  "%s wrote past the %d entries it reported", read->name, (int)found);
        }
        /* Exactly the entries found, then one short: nothing written past the capacity. */
        if (found >= 1 && found <= LIST_CAPACITY) {
            status = guarded_status();
            entries = guarded(1, (size_t)found * read->size);
            *count = found;
            EXPECT_OUTCOME(read->name, read->call(device->sensor, entries, count, status), status);
            CHECK(*count == found, "%s with room for all %d gave %d", read->name, (int)found, (int)*count);
        }
        if (found >= 2 && found <= LIST_CAPACITY) {
            status = guarded_status();
            entries = guarded(1, (size_t)(found - 1) * read->size);
            *count = found - 1;
            result = read->call(device->sensor, entries, count, status);
            EXPECT_OUTCOME(read->name, result, status);
            CHECK(result == 0 || *count <= found - 1, "%s one short wrote back %d", read->name, (int)*count);
        }
    }
}

/* ---- Writes of one code ------------------------------------------------------------------- */

typedef struct CodeWrite {
    const char* name;
    uint8_t (*call)(_Sensor* sensor, uint8_t code, CallStatus* status);
} CodeWrite;

static const CodeWrite code_writes[] = {
    {"writeSamplingFrequencySensor", writeSamplingFrequencySensor},
    {"writeGainSensor", writeGainSensor},
    {"writeDataOffsetSensor", writeDataOffsetSensor},
    {"writeFirmwareModeSensor", writeFirmwareModeSensor},
    {"writeADCInputSensor", writeADCInputSensor},
    {"writeExternalSwitchSensor", writeExternalSwitchSensor},
    {"writeAccelerometerSensSensor", writeAccelerometerSensSensor},
    {"writeGyroscopeSensSensor", writeGyroscopeSensSensor},
    {"writeIrAmplitudeFPGSensor", writeIrAmplitudeFPGSensor},
    {"writeRedAmplitudeFPGSensor", writeRedAmplitudeFPGSensor},
    {"setSignalSettingsTessel", setSignalSettingsTessel},
};

/* Codes no table of any family holds. */
static void misuse_code_writes(Device* device) {
    static const uint8_t bad_codes[] = {0x80, 0xFF};
    size_t i, j;
    for (i = 0; i < sizeof code_writes / sizeof code_writes[0]; ++i) {
        CallStatus* status = guarded_status();
        EXPECT_REFUSED(code_writes[i].name, code_writes[i].call(NULL, 0, status), status);
        for (j = 0; j < sizeof bad_codes / sizeof bad_codes[0]; ++j) {
            status = guarded_status();
            EXPECT_REFUSED(code_writes[i].name, code_writes[i].call(device->sensor, bad_codes[j], status), status);
        }
    }
}

/* ---- Writes of records ---------------------------------------------------------------------- */

/* Records of every byte 0xFF: no family's table holds such a gain, current or code. */
static void misuse_record_writes(Device* device) {
    const uint32_t tessels = TESSELS;
    Morvex2AmplifierParam morvex2;
    WrenletAmplifierParam wrenlet;
    Vondra2AmplifierParam vondra2;
    VondraAmplifierParam vondra;
    DravikAmplifierParam dravik;
    TesselMotionAssistantParam assistant;
    TesselMotionCounterParam counter;
    TesselStimulatorParam stimulator;
    CallStatus* status;
    memset(&morvex2, 0xFF, sizeof morvex2);
    memset(&wrenlet, 0xFF, sizeof wrenlet);
    memset(&vondra2, 0xFF, sizeof vondra2);
    memset(&vondra, 0xFF, sizeof vondra);
    memset(&dravik, 0xFF, sizeof dravik);
    memset(&assistant, 0, sizeof assistant);
    memset(&counter, 0, sizeof counter);
    memset(&stimulator, 0, sizeof stimulator);

#define REFUSED_EVERYWHERE(function, record)                           \
    status = guarded_status();                                         \
    EXPECT_REFUSED(#function, function(NULL, record, status), status); \
    status = guarded_status();                                         \
    EXPECT_REFUSED(#function, function(device->sensor, record, status), status)
    REFUSED_EVERYWHERE(writeAmplifierParamMorvex2, morvex2);
    REFUSED_EVERYWHERE(writeAmplifierParamWrenlet, wrenlet);
    REFUSED_EVERYWHERE(writeAmplifierParamVondra2, vondra2);
    REFUSED_EVERYWHERE(writeAmplifierParamVondra, vondra);
    REFUSED_EVERYWHERE(writeAmplifierParamDravik, dravik);
#undef REFUSED_EVERYWHERE

    /* The Tessel records of other families: refused whatever they hold. */
#define TESSEL_ONLY(function, record)                                                \
    status = guarded_status();                                                       \
    EXPECT_REFUSED(#function, function(NULL, record, status), status);               \
    if ((tessels & FAMILY_BIT(device->family)) == 0) {                               \
        status = guarded_status();                                                   \
        EXPECT_REFUSED(#function, function(device->sensor, record, status), status); \
    }
    TESSEL_ONLY(writeMotionAssistantParamTessel, assistant)
    TESSEL_ONLY(writeMotionCounterParamTessel, counter)
    TESSEL_ONLY(writeStimulatorParamTessel, stimulator)
#undef TESSEL_ONLY
}

/* ---- Amplifier records with one byte outside its table ------------------------------------
   The record the device holds goes back as it is; with one byte changed to a value its table
   lacks it is refused with 517, and the device keeps the record it had. */

#define ONE_BYTE_OFF(type, read, write, field, slot, value, text)                                     \
    do {                                                                                              \
        type original, changed, back;                                                                 \
        CallStatus* status = guarded_status();                                                        \
        CHECK(read(device->sensor, &original, status) == 1, #read ": %s", status->ErrorMsg);          \
        status = guarded_status();                                                                    \
        EXPECT_OUTCOME(#write, write(device->sensor, original, status), status);                      \
        CHECK(status->Success == 1, #write " of the record read: %s", status->ErrorMsg);              \
        changed = original;                                                                           \
        changed.field[slot] = value;                                                                  \
        status = guarded_status();                                                                    \
        EXPECT_CODE(#write, write(device->sensor, changed, status), status, 517);                     \
        CHECK(says(status, text), #write " of " #field "[%d] = %u: \"%s\"", slot, (unsigned)(value),  \
              status->ErrorMsg);                                                                      \
        status = guarded_status();                                                                    \
        CHECK(read(device->sensor, &back, status) == 1 && memcmp(&back, &original, sizeof back) == 0, \
              #write " kept " #field "[%d] = %u", slot, (unsigned)(value));                           \
    } while (0)

/* The status's text is `text`, or any text when that is null. */
static int says(const CallStatus* status, const char* text) {
    return text == NULL || strcmp(status->ErrorMsg, text) == 0;
}

void misuse_amplifier_records(Device* device) {
    switch (device->family) {
    case SensorFamilyMorvex2Model2:
        ONE_BYTE_OFF(Morvex2AmplifierParam, readAmplifierParamMorvex2, writeAmplifierParamMorvex2, ChMode, 0, 0xFF,
                     "The specified Mode value is not supported");
        ONE_BYTE_OFF(Morvex2AmplifierParam, readAmplifierParamMorvex2, writeAmplifierParamMorvex2, ChMode, 7, 0xFF,
                     "The specified Mode value is not supported");
        ONE_BYTE_OFF(Morvex2AmplifierParam, readAmplifierParamMorvex2, writeAmplifierParamMorvex2, ChGain, 7, 11,
                     "The specified Gain value is not supported");
        break;
    case SensorFamilyLorrel:
        if (device->model != 4) break;
        ONE_BYTE_OFF(WrenletAmplifierParam, readAmplifierParamWrenlet, writeAmplifierParamWrenlet, ChGain, 3, 0xFE,
                     NULL);
        break;
    case SensorFamilyVondra:
        ONE_BYTE_OFF(VondraAmplifierParam, readAmplifierParamVondra, writeAmplifierParamVondra, ChGain, 6, 0xFE, NULL);
        break;
    case SensorFamilyVondra2:
        ONE_BYTE_OFF(Vondra2AmplifierParam, readAmplifierParamVondra2, writeAmplifierParamVondra2, ChGain, 3, 0xFE,
                     NULL);
        break;
    default: break;
    }
}

/* ---- Other writes ----------------------------------------------------------------------- */

static void misuse_other_writes(Device* device) {
    static const char name[] = "misuse";
    const int32_t phases = getMaxStimulPhasesCountSensor(device->sensor);
    const int32_t bad_counts[] = {0, -1, INT32_MIN, INT32_MAX, phases + 1};
    StimulProgram* programs;
    int16_t* filters;
    CallStatus* status;
    size_t i;

    status = guarded_status();
    EXPECT_CODE("writeNameSensor", writeNameSensor(device->sensor, NULL, 5, status), status, 122);
    status = guarded_status();
    EXPECT_CODE("writeNameSensor", writeNameSensor(device->sensor, name, -1, status), status, 122);
    status = guarded_status();
    EXPECT_CODE("writeNameSensor", writeNameSensor(device->sensor, name, INT32_MAX, status), status, 122);
    status = guarded_status();
    EXPECT_REFUSED("writeNameSensor", writeNameSensor(NULL, name, 6, status), status);
    status = guarded_status();
    EXPECT_CODE("writeSerialNumberSensor", writeSerialNumberSensor(device->sensor, NULL, 5, status), status, 122);
    status = guarded_status();
    EXPECT_CODE("writeSerialNumberSensor", writeSerialNumberSensor(device->sensor, name, INT32_MIN, status), status,
                122);
    status = guarded_status();
    EXPECT_REFUSED("writeSerialNumberSensor", writeSerialNumberSensor(NULL, name, 6, status), status);

    /* Program lists of no allowed length, read from right before a guard page. */
    CHECK(phases >= 0 && phases <= 16, "getMaxStimulPhasesCountSensor gave %d", (int)phases);
    CHECK(getMaxStimulPhasesCountSensor(NULL) == 0, "getMaxStimulPhasesCountSensor of a null sensor");
    programs = guarded(1, sizeof(StimulProgram) * (size_t)(phases + 1));
    for (i = 0; i < (size_t)(phases + 1); ++i) {
        programs[i].Frequency = 10.0;
        programs[i].Power = 50.0;
        programs[i].PulseDuration = 0.001;
        programs[i].StimulDuration = 1.0;
        programs[i].Pause = 0.0;
        programs[i].Reserved = 0.0;
    }
    for (i = 0; i < sizeof bad_counts / sizeof bad_counts[0]; ++i) {
        status = guarded_status();
        EXPECT_REFUSED("writeStimPrograms", writeStimPrograms(device->sensor, programs, bad_counts[i], status), status);
    }
    status = guarded_status();
    EXPECT_REFUSED("writeStimPrograms", writeStimPrograms(device->sensor, NULL, 1, status), status);
    status = guarded_status();
    EXPECT_REFUSED("writeStimPrograms", writeStimPrograms(NULL, programs, 1, status), status);

    status = guarded_status();
    EXPECT_REFUSED("writePhotoStimTimeDefer", writePhotoStimTimeDefer(device->sensor, NAN, status), status);
    status = guarded_status();
    EXPECT_REFUSED("writePhotoStimTimeDefer", writePhotoStimTimeDefer(device->sensor, -1.0, status), status);
    status = guarded_status();
    EXPECT_REFUSED("writePhotoStimTimeDefer", writePhotoStimTimeDefer(NULL, 0.0, status), status);

    /* A filter no family has, read from right before a guard page. */
    filters = guarded(1, sizeof *filters);
    *filters = 0x7FFF;
    status = guarded_status();
    EXPECT_REFUSED("writeHardwareFiltersSensor", writeHardwareFiltersSensor(NULL, filters, 1, status), status);
    status = guarded_status();
    EXPECT_OUTCOME("writeHardwareFiltersSensor", writeHardwareFiltersSensor(device->sensor, filters, 1, status),
                   status);

    status = guarded_status();
    EXPECT_REFUSED("writeSurveyIdDravik", writeSurveyIdDravik(NULL, 1, status), status);
    if (device->family != SensorFamilyDravik) {
        status = guarded_status();
        EXPECT_REFUSED("writeSurveyIdDravik", writeSurveyIdDravik(device->sensor, 1, status), status);
    }
}

/* ---- Callbacks ---------------------------------------------------------------------------- */

typedef struct Registration {
    const char* name;
    /* Registers the sensor's callback (or a null function) and writes the handle to *handle. */
    uint8_t (*add)(_Sensor* sensor, int with_function, void* handle, CallStatus* status);
    void (*remove)(void* handle);
    void (*remove_other_kind)(void* handle);
    uint32_t families;
} Registration;

static void on_morvex_signal(_Sensor* s, MorvexSignalRecord* r, uint32_t n, void* u) {
    (void)s, (void)r, (void)n, (void)u;
}
static void on_morvex_resist(_Sensor* s, MorvexResistRecord* r, void* u) { (void)s, (void)r, (void)u; }
static void on_four_resist(_Sensor* s, FourChannelResistRecord* r, void* u) { (void)s, (void)r, (void)u; }
static void on_four_resists(_Sensor* s, FourChannelResistRecord* r, uint32_t n, void* u) {
    (void)s, (void)r, (void)n, (void)u;
}
static void on_channels(_Sensor* s, SignalChannelsRecord* r, uint32_t n, void* u) {
    (void)s, (void)r, (void)n, (void)u;
}
static void on_resist_channels(_Sensor* s, ResistChannelsRecord* r, uint32_t n, void* u) {
    (void)s, (void)r, (void)n, (void)u;
}
static void on_dravik_resist(_Sensor* s, DravikResistRecord* r, uint32_t n, void* u) {
    (void)s, (void)r, (void)n, (void)u;
}
static void on_signal_resist(_Sensor* s, SignalChannelsRecord* a, uint32_t n, DravikResistRecord* b, uint32_t m,
                             void* u) {
    (void)s, (void)a, (void)n, (void)b, (void)m, (void)u;
}
static void on_raw(_Sensor* s, uint8_t* b, uint32_t n, void* u) { (void)s, (void)b, (void)n, (void)u; }
static void on_fpg(_Sensor* s, FPGRecord* r, uint32_t n, void* u) { (void)s, (void)r, (void)n, (void)u; }
static void on_mems(_Sensor* s, MEMSRecord* r, uint32_t n, void* u) { (void)s, (void)r, (void)n, (void)u; }
static void on_quaternion(_Sensor* s, QuaternionRecord* r, uint32_t n, void* u) { (void)s, (void)r, (void)n, (void)u; }
static void on_envelope(_Sensor* s, EnvelopeRecord* r, uint32_t n, void* u) { (void)s, (void)r, (void)n, (void)u; }
static void on_tessel(_Sensor* s, TesselSamplesRecord* r, uint32_t n, void* u) { (void)s, (void)r, (void)n, (void)u; }
static void on_file(_Sensor* s, FileChunkRecord* r, uint32_t n, void* u) { (void)s, (void)r, (void)n, (void)u; }
static void on_vondra_signal(_Sensor* s, VondraSignalRecord* r, uint32_t n, void* u) {
    (void)s, (void)r, (void)n, (void)u;
}
static void on_vondra_resist(_Sensor* s, VondraResistRecord* r, uint32_t n, void* u) {
    (void)s, (void)r, (void)n, (void)u;
}
static void on_int(_Sensor* s, int32_t v, void* u) { (void)s, (void)v, (void)u; }
static void on_byte(_Sensor* s, uint8_t v, void* u) { (void)s, (void)v, (void)u; }

static void remove_other_kind_CallbackHandle(void* handle) { removeMEMSDataCallback(handle); }
static void remove_other_kind_DualCallbackHandle(void* handle) { removeConnectionStateCallback(handle); }

#define REGISTRATION(add, remove, handle_type, function, families)                                   \
    static uint8_t add_##add(_Sensor* sensor, int with_function, void* handle, CallStatus* status) { \
        return add(sensor, with_function ? function : NULL, (handle_type**)handle, NULL, status);    \
    }                                                                                                \
    static void remove_##add(void* handle) { remove((handle_type*)handle); }
#define REGISTRATIONS(X)                                                                                           \
    X(addSignalDataCallbackMorvex, removeSignalDataCallbackMorvex, DualCallbackHandle, on_morvex_signal, MORVEXES) \
    X(addResistCallbackMorvex, removeResistCallbackMorvex, DualCallbackHandle, on_morvex_resist, MORVEXES)         \
    X(addMEMSDataCallback, removeMEMSDataCallback, DualCallbackHandle, on_mems, ANY_FAMILY)                        \
    X(addSignalCallbackMorvex2, removeSignalCallbackMorvex2, CallbackHandle, on_channels, MORVEX2S)                \
    X(addResistCallbackMorvex2, removeResistCallbackMorvex2, CallbackHandle, on_resist_channels, MORVEX2S)         \
    X(addSignalDataCallbackLorrel, removeSignalDataCallbackLorrel, CallbackHandle, on_morvex_signal,               \
      FAMILY_BIT(SensorFamilyLorrel))                                                                              \
    X(addResistCallbackLorrel, removeResistCallbackLorrel, CallbackHandle, on_four_resist,                         \
      FAMILY_BIT(SensorFamilyLorrel))                                                                              \
    X(addSignalDataCallbackVondra2, removeSignalDataCallbackVondra2, CallbackHandle, on_morvex_signal,             \
      FAMILY_BIT(SensorFamilyVondra2))                                                                             \
    X(addResistCallbackVondra2, removeResistCallbackVondra2, CallbackHandle, on_four_resists,                      \
      FAMILY_BIT(SensorFamilyVondra2))                                                                             \
    X(addSignalDataCallbackVondra, removeSignalDataCallbackVondra, CallbackHandle, on_vondra_signal,               \
      FAMILY_BIT(SensorFamilyVondra))                                                                              \
    X(addResistCallbackVondra, removeResistCallbackVondra, CallbackHandle, on_vondra_resist,                       \
      FAMILY_BIT(SensorFamilyVondra))                                                                              \
    X(addSignalCallbackDravik, removeSignalCallbackDravik, CallbackHandle, on_channels,                            \
      FAMILY_BIT(SensorFamilyDravik))                                                                              \
    X(addResistCallbackDravik, removeResistCallbackDravik, CallbackHandle, on_dravik_resist,                       \
      FAMILY_BIT(SensorFamilyDravik))                                                                              \
    X(addSignalResistCallbackDravik, removeSignalResistCallbackDravik, CallbackHandle, on_signal_resist,           \
      FAMILY_BIT(SensorFamilyDravik))                                                                              \
    X(addSignalRawCallbackDravik, removeSignalRawCallbackDravik, CallbackHandle, on_raw,                           \
      FAMILY_BIT(SensorFamilyDravik))                                                                              \
    X(addFileStreamReadCallbackDravik, removeFileStreamReadCallbackDravik, CallbackHandle, on_file,                \
      FAMILY_BIT(SensorFamilyDravik))                                                                              \
    X(addFPGDataCallback, removeFPGDataCallback, CallbackHandle, on_fpg, ANY_FAMILY)                               \
    X(addQuaternionDataCallback, removeQuaternionDataCallback, CallbackHandle, on_quaternion, ANY_FAMILY)          \
    X(addEnvelopeDataCallbackTessel, removeEnvelopeDataCallbackTessel, CallbackHandle, on_envelope, TESSELS)       \
    X(addSignalCallbackTessel, removeSignalCallbackTessel, CallbackHandle, on_tessel, TESSELS)                     \
    X(addRespirationCallbackTessel, removeRespirationCallbackTessel, CallbackHandle, on_tessel, TESSELS)           \
    X(addBatteryCallback, removeBatteryCallback, CallbackHandle, on_int, ANY_FAMILY)                               \
    X(addBatteryVoltageCallback, removeBatteryVoltageCallback, CallbackHandle, on_int, ANY_FAMILY)                 \
    X(addAmpModeCallback, removeAmpModeCallback, CallbackHandle, on_byte, ANY_FAMILY)                              \
    X(addElectrodeStateCallbackTessel, removeElectrodeStateCallbackTessel, CallbackHandle, on_byte, TESSELS)       \
    X(addStimModeCallback, removeStimModeCallback, CallbackHandle, on_byte, ANY_FAMILY)                            \
    X(addPhotoStimSyncStateCallback, removePhotoStimSyncStateCallback, CallbackHandle, on_byte, ANY_FAMILY)        \
    X(addConnectionStateCallback, removeConnectionStateCallback, CallbackHandle, on_byte, ANY_FAMILY)

REGISTRATIONS(REGISTRATION)
#define REGISTRATION_ENTRY(add, remove, handle_type, function, families) \
    {#add, add_##add, remove_##add, remove_other_kind_##handle_type, families},
static const Registration registrations[] = {REGISTRATIONS(REGISTRATION_ENTRY)};

static void misuse_registrations(Device* device) {
    size_t i;
    for (i = 0; i < sizeof registrations / sizeof registrations[0]; ++i) {
        const Registration* registration = &registrations[i];
        CallStatus* status = guarded_status();
        void** handle = guarded(1, sizeof *handle);
        uint8_t taken;
        uint8_t result;
        EXPECT_REFUSED(registration->name, registration->add(NULL, 1, handle, status), status);
        CHECK(untouched(handle, sizeof *handle), "%s for a null sensor wrote a handle", registration->name);
        status = guarded_status();
        EXPECT_REFUSED(registration->name, registration->add(device->sensor, 1, NULL, status), status);

        status = guarded_status();
        taken = registration->add(device->sensor, 1, handle, status);
        EXPECT_FOR_FAMILIES(registration->name, taken, status, device, registration->families);
        if (taken == 1) {
            CHECK(*handle != NULL, "%s succeeded without a handle", registration->name);
            /* The removal of the other handle kind and a second removal find nothing to free. */
            registration->remove_other_kind(*handle);
            registration->remove(*handle);
            registration->remove(*handle);
        } else {
            CHECK(untouched(handle, sizeof *handle), "%s refused, yet wrote a handle", registration->name);
        }
        registration->remove(NULL);

        /* A null function: 123 where the sensor takes the callback, its other refusal elsewhere. */
        status = guarded_status();
        handle = guarded(1, sizeof *handle);
        result = registration->add(device->sensor, 0, handle, status);
        if (taken == 1) {
            EXPECT_CODE(registration->name, result, status, 123);
        } else {
            EXPECT_REFUSED(registration->name, result, status);
        }
        CHECK(untouched(handle, sizeof *handle), "%s of a null function wrote a handle", registration->name);
    }
}

/* ---- Commands and capabilities -------------------------------------------------------------- */

static int listed(const int8_t* commands, int32_t count, int32_t command) {
    int32_t i;
    for (i = 0; i < count; ++i) {
        if (commands[i] == (int8_t)command) return 1;
    }
    return 0;
}

/* Every command the sensor does not list is refused, whatever its value (only values whose low
   byte is unlisted: the low byte is what is sent). */
static void misuse_commands(Device* device) {
    static const int32_t far_values[] = {-1, 127, 255, 1000, INT32_MAX};
    int8_t commands[64];
    int32_t count = 64;
    CallStatus* status = guarded_status();
    int32_t command;
    size_t i;
    char what[64];
    CHECK(getCommandsSensor(device->sensor, commands, &count, status) == 1, "getCommandsSensor: %s", status->ErrorMsg);
    for (command = 0; command <= 64; ++command) {
        if (listed(commands, count, command)) continue;
        snprintf(what, sizeof what, "execCommandSensor(%d)", (int)command);
        status = guarded_status();
        EXPECT_REFUSED(what, execCommandSensor(device->sensor, command, status), status);
        CHECK(isSupportedCommandSensor(device->sensor, (int8_t)command) == 0, "command %d is supported, not listed",
              (int)command);
    }
    for (i = 0; i < sizeof far_values / sizeof far_values[0]; ++i) {
        if (listed(commands, count, far_values[i] & 0xFF)) continue;
        snprintf(what, sizeof what, "execCommandSensor(%ld)", (long)far_values[i]);
        status = guarded_status();
        EXPECT_REFUSED(what, execCommandSensor(device->sensor, far_values[i], status), status);
    }
    status = guarded_status();
    EXPECT_REFUSED("execCommandSensor", execCommandSensor(NULL, SensorCommandStartSignal, status), status);
    CHECK(isSupportedCommandSensor(NULL, SensorCommandStartSignal) == 0, "a null sensor supports a command");
}

/* Declared by its C++ name, as a C host binds it. */
int _Z25getLedChannelsCountSensorP7_Sensor(_Sensor* sensor);

static void misuse_capabilities(Device* device) {
    int8_t code;
    CHECK(getFamilySensor(device->sensor) == device->family, "getFamilySensor gave %u",
          (unsigned)getFamilySensor(device->sensor));
    CHECK(getFamilySensor(NULL) == 0, "getFamilySensor of a null sensor");
    CHECK(getCommandsCountSensor(NULL) == 0 && getFeaturesCountSensor(NULL) == 0 &&
              getParametersCountSensor(NULL) == 0 && getSupportedFiltersCountSensor(NULL) == 0 &&
              getChannelsCountSensor(NULL) == 0,
          "a count of a null sensor is not 0");
    CHECK(getChannelsCountSensor(device->sensor) >= 0 && getChannelsCountSensor(device->sensor) <= 64,
          "getChannelsCountSensor gave %d", (int)getChannelsCountSensor(device->sensor));
    CHECK(_Z25getLedChannelsCountSensorP7_Sensor(device->sensor) == 0 &&
              _Z25getLedChannelsCountSensorP7_Sensor(NULL) == 0,
          "getLedChannelsCountSensor is not 0");
    CHECK(isSupportedFeatureSensor(NULL, 0) == 0 && isSupportedParameterSensor(NULL, 0) == 0 &&
              isSupportedFilterSensor(NULL, 0) == 0,
          "a null sensor supports something");
    for (code = -128; code < 0; ++code) {
        CHECK(isSupportedFeatureSensor(device->sensor, code) == 0, "feature %d supported", (int)code);
        CHECK(isSupportedParameterSensor(device->sensor, code) == 0, "parameter %d supported", (int)code);
    }
    CHECK(isSupportedFilterSensor(device->sensor, (int16_t)0x7FFF) == 0 &&
              isSupportedFilterSensor(device->sensor, -1) == 0,
          "a filter outside every table is supported");
}

/* ---- Calls of other families ------------------------------------------------------------- */

/* The families with a ping of their own. */
#define PING_FAMILIES                                                                                         \
    (FAMILY_BIT(SensorFamilyMorvexBlack) | FAMILY_BIT(SensorFamilyVondra) | FAMILY_BIT(SensorFamilyVondra2) | \
     FAMILY_BIT(SensorFamilyLorrel) | FAMILY_BIT(SensorFamilyDravik) | MORVEX2S)

static void misuse_family_calls(Device* device) {
    static const char name[] = "misuse.bin";
    const uint8_t data[4] = {1, 2, 3, 4};
    CallStatus* status;
    uint32_t* crc;
    DravikFileInfo* info;
    uint8_t* buffer;
    int32_t* size;

    status = guarded_status();
    EXPECT_REFUSED("pingKestrane", pingKestrane(NULL, 0x5A, status), status);
    status = guarded_status();
    EXPECT_REFUSED("connectSensor", connectSensor(NULL, status), status);
    status = guarded_status();
    EXPECT_REFUSED("disconnectSensor", disconnectSensor(NULL, status), status);
    CHECK(readPhotoStimDravik(NULL) == NULL, "readPhotoStimDravik of a null sensor");
    status = guarded_status();
    EXPECT_FOR_FAMILIES("pingKestrane", pingKestrane(device->sensor, 0x5A, status), status, device, PING_FAMILIES);
    if (device->family == SensorFamilyDravik) return;
    CHECK(readPhotoStimDravik(device->sensor) == NULL, "readPhotoStimDravik of another family");

    status = guarded_status();
    EXPECT_REFUSED("deleteAllFilesDravik", deleteAllFilesDravik(device->sensor, name, status), status);
    status = guarded_status();
    EXPECT_REFUSED("deleteFileDravik", deleteFileDravik(device->sensor, name, status), status);
    status = guarded_status();
    EXPECT_REFUSED("fileStreamAutosaveDravik", fileStreamAutosaveDravik(device->sensor, name, status), status);
    status = guarded_status();
    EXPECT_REFUSED("fileStreamReadDravik", fileStreamReadDravik(device->sensor, name, 0, 1, status), status);
    status = guarded_status();
    crc = guarded(1, sizeof *crc);
    EXPECT_REFUSED("readFileCRC32Dravik", readFileCRC32Dravik(device->sensor, name, 0, 1, crc, status), status);
    CHECK(untouched(crc, sizeof *crc), "readFileCRC32Dravik of another family wrote a CRC");
    status = guarded_status();
    info = guarded(1, sizeof *info);
    EXPECT_REFUSED("readFileInfoDravik", readFileInfoDravik(device->sensor, name, info, status), status);
    CHECK(untouched(info, sizeof *info), "readFileInfoDravik of another family wrote a record");
    status = guarded_status();
    buffer = guarded(1, 16);
    size = guarded(2, sizeof *size);
    *size = 16;
    EXPECT_REFUSED("readFileDravik", readFileDravik(device->sensor, name, buffer, size, 0, status), status);
    CHECK(untouched(buffer, 16), "readFileDravik of another family wrote bytes");
    status = guarded_status();
    EXPECT_REFUSED("writeFileDravik", writeFileDravik(device->sensor, name, data, 4, 0, status), status);
}

void misuse_sensor(Device* device) {
    set_context(device->label);
    misuse_value_reads(device);
    misuse_text_reads(device);
    misuse_list_reads(device);
    misuse_code_writes(device);
    misuse_record_writes(device);
    misuse_amplifier_records(device);
    misuse_other_writes(device);
    misuse_registrations(device);
    misuse_commands(device);
    misuse_capabilities(device);
    misuse_family_calls(device);
}
