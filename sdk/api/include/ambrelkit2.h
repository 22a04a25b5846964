/* Public interface of libambrelkit2-x64: plain C (C99 or later) and C++. */
#ifndef AMBRELKIT2_H
#define AMBRELKIT2_H

#include <stddef.h>
#include <stdint.h>

#if defined(__cplusplus)
#define AK_EXTERN_C_BEGIN extern "C" {
#define AK_EXTERN_C_END }
#define AK_STATIC_ASSERT(condition, name) static_assert(condition, #name)
#else
#define AK_EXTERN_C_BEGIN
#define AK_EXTERN_C_END
#define AK_STATIC_ASSERT(condition, name) typedef char ak_static_assert_##name[(condition) ? 1 : -1]
#endif

/* Marks a function the library exports. */
#define AK_API __attribute__((visibility("default")))

AK_EXTERN_C_BEGIN

/* Handles. A null scanner, sensor or callback handle is refused (or, by the free and remove
   functions, ignored). A handle the library cannot tell from a good one is not detected: one
   already passed to its free or remove function, one of another kind (a callback handle given
   as a sensor), or any other pointer the library did not return. Passing one is undefined
   behaviour, as with a freed pointer in C; so is a pointer to a record or buffer smaller than
   the call says, or one freed while the call runs. */

/* Outcome of a call, filled by every function that takes one; a null pointer is
   accepted and then only the return value tells the outcome. */
typedef struct CallStatus {
    uint8_t Success;    /* 1: the call did its work, 0: it failed */
    uint32_t Error;     /* 0 on success, otherwise the error code */
    char ErrorMsg[512]; /* terminated text, at most 511 characters; empty on success */
} CallStatus;

AK_STATIC_ASSERT(sizeof(CallStatus) == 520, call_status_size);
AK_STATIC_ASSERT(offsetof(CallStatus, Success) == 0, call_status_success_offset);
AK_STATIC_ASSERT(offsetof(CallStatus, Error) == 4, call_status_error_offset);
AK_STATIC_ASSERT(offsetof(CallStatus, ErrorMsg) == 8, call_status_message_offset);

/* ---- Scanner ------------------------------------------------------------------------ */

/* Device families: the values createScanner takes and the SensFamily byte of a found sensor. */
typedef uint8_t SensorFamily;
enum {
    SensorFamilyUnknown = 0,
    SensorFamilyTessel = 1,
    SensorFamilyTesselQuindle = 2,
    SensorFamilyMorvex = 3,
    SensorFamilyMorvexBlack = 4,
    SensorFamilyVondra = 5,
    SensorFamilyVondra2 = 6,
    SensorFamilyModelC = 7, /* 7 to 10 and 12: recognised, but no sensor can be made of them */
    SensorFamilyModelD = 8,
    SensorFamilyModelE = 9,
    SensorFamilyModelH = 10,
    SensorFamilyLorrel = 11,
    SensorFamilyModelQ = 12,
    SensorFamilyDravik = 14,
    SensorFamilyMorvex2Model2 = 18, /* Morvex2-class device, model code '0' with variant 2 */
    SensorFamilyMorvex2 = 19,       /* Morvex2-class device, model code '0' with another variant */
    SensorFamilyMorvex2F = 20,      /* Morvex2-class device, model code 'f' */
    SensorFamilyPhotoStim = 21
};

/* One found sensor. */
typedef struct _SensorInfo {
    uint8_t SensFamily;      /* SensorFamily value */
    uint8_t SensModel;       /* model byte of the device */
    char Name[256];          /* advertised name, terminated */
    char Address[128];       /* "AA:BB:CC:DD:EE:FF", terminated */
    char SerialNumber[128];  /* empty when the device advertises none */
    uint8_t PairingRequired; /* 1: pair before use */
    int16_t RSSI;            /* signal strength of the last advertisement, dBm */
} _SensorInfo;

AK_STATIC_ASSERT(sizeof(_SensorInfo) == 518, sensor_info_size);
AK_STATIC_ASSERT(offsetof(_SensorInfo, Name) == 2, sensor_info_name_offset);
AK_STATIC_ASSERT(offsetof(_SensorInfo, Address) == 258, sensor_info_address_offset);
AK_STATIC_ASSERT(offsetof(_SensorInfo, SerialNumber) == 386, sensor_info_serial_offset);
AK_STATIC_ASSERT(offsetof(_SensorInfo, PairingRequired) == 514, sensor_info_pairing_offset);
AK_STATIC_ASSERT(offsetof(_SensorInfo, RSSI) == 516, sensor_info_rssi_offset);

/* A scanner made by createScanner; released by freeScanner. */
typedef struct SensorScannerWrap SensorScannerWrap;

/* Keeps one callback registration alive; released by the matching remove function. */
typedef struct CallbackHandle CallbackHandle;

/* Receives the recognised sensors each time the scanner's list changes, on the library's
   Bluetooth thread. The records are valid during the call only; sensors is null when count is 0. */
typedef void (*SensorsFoundCallback)(SensorScannerWrap* scanner, _SensorInfo* sensors, int32_t count, void* userData);

/* Builds a scanner for the given families (count values); held until startScanner. */
AK_API SensorScannerWrap* createScanner(const uint8_t* families, int32_t count, CallStatus* status);
/* Starts scanning; with attempts > 0 starts that many times, pausing one second after each. */
AK_API uint8_t startScanner(SensorScannerWrap* scanner, CallStatus* status, int32_t attempts);
AK_API uint8_t stopScanner(SensorScannerWrap* scanner, CallStatus* status);
/* Copies up to *count found sensors into the array and sets *count to the number copied. */
AK_API uint8_t sensorsScanner(SensorScannerWrap* scanner, _SensorInfo* sensors, int32_t* count, CallStatus* status);
/* Null is accepted. No found-sensors callback runs once this returns. */
AK_API void freeScanner(SensorScannerWrap* scanner);
AK_API uint8_t addSensorsCallbackScanner(SensorScannerWrap* scanner, SensorsFoundCallback callback,
                                         CallbackHandle** handle, void* userData, CallStatus* status);
/* Null is accepted. */
AK_API void removeSensorsCallbackScanner(CallbackHandle* handle);

/* ---- Sensor handle and lifecycle ------------------------------------------------------ */

/* A sensor made by createSensor; released by freeSensor. */
typedef struct _Sensor _Sensor;

/* Sensor commands for execCommandSensor (the low byte of the value is sent). */
enum {
    SensorCommandStartSignal = 0,
    SensorCommandStopSignal = 1,
    SensorCommandStartResist = 2,
    SensorCommandStopResist = 3,
    SensorCommandStartMEMS = 4,
    SensorCommandStopMEMS = 5,
    SensorCommandIdle = 21,
    SensorCommandPowerDown = 22,
    SensorCommandStartFPG = 23,
    SensorCommandStopFPG = 24,
    SensorCommandStartSignalAndResist = 25,
    SensorCommandStopSignalAndResist = 26
};

/* Connection state byte of readStateSensor and the connection-state callback. */
enum { SensorStateInRange = 0, SensorStateOutOfRange = 1 };

/* Builds the sensor of one found record through the scanner that found it; null on failure. */
AK_API _Sensor* createSensor(SensorScannerWrap* scanner, _SensorInfo* info, CallStatus* status);
AK_API uint8_t connectSensor(_Sensor* sensor, CallStatus* status);
AK_API uint8_t disconnectSensor(_Sensor* sensor, CallStatus* status);
/* Null is accepted. Callback handles of the sensor receive nothing more afterwards and are
   still released with their remove functions. */
AK_API void freeSensor(_Sensor* sensor);
/* The handle's SensorFamily value; 0 for a null handle. */
AK_API uint8_t getFamilySensor(_Sensor* sensor);
AK_API uint8_t execCommandSensor(_Sensor* sensor, int32_t command, CallStatus* status);
/* Features any sensor of a family and model may offer, in ascending order. */
AK_API int32_t getPossibleFeaturesCountSensor(uint8_t family, uint8_t model);
/* *count: in the capacity of features, out the number of values written. */
AK_API uint8_t getPossibleFeaturesSensor(uint8_t family, uint8_t model, int8_t* features, int32_t* count,
                                         CallStatus* status);

/* ---- Parameter records ------------------------------------------------------------------ */

typedef struct SensorVersion {
    uint32_t FwMajor;
    uint32_t FwMinor;
    uint32_t FwPatch;
    uint32_t HwMajor;
    uint32_t HwMinor;
    uint32_t HwPatch;
    uint32_t Extra;
} SensorVersion;
AK_STATIC_ASSERT(sizeof(SensorVersion) == 28, sensor_version_size);

typedef struct EEGChannelInfo {
    uint8_t ChannelType; /* electrode position code */
    uint8_t DataIndex;   /* index of the channel's value in a signal record */
    char Name[8];        /* at most 7 characters, terminated */
    uint8_t ChannelId;
} EEGChannelInfo;
AK_STATIC_ASSERT(sizeof(EEGChannelInfo) == 11, eeg_channel_info_size);
AK_STATIC_ASSERT(offsetof(EEGChannelInfo, Name) == 2, eeg_channel_info_name_offset);
AK_STATIC_ASSERT(offsetof(EEGChannelInfo, ChannelId) == 10, eeg_channel_info_id_offset);

/* Amplifier records: per channel a mode byte, a flag byte (0/1) and a gain code, then the
   measuring current code. */
typedef struct Morvex2AmplifierParam {
    uint8_t ChMode[8];
    uint8_t ChFlag[8];
    uint8_t ChGain[8];
    uint8_t Current;
} Morvex2AmplifierParam;
AK_STATIC_ASSERT(sizeof(Morvex2AmplifierParam) == 25, morvex2_amplifier_size);

typedef struct WrenletAmplifierParam {
    uint8_t ChMode[4];
    uint8_t ChFlag[4];
    uint8_t ChGain[4];
    uint8_t Current;
} WrenletAmplifierParam;
AK_STATIC_ASSERT(sizeof(WrenletAmplifierParam) == 13, wrenlet_amplifier_size);

typedef struct Vondra2AmplifierParam {
    uint8_t ChMode[4];
    uint8_t ChFlag[4];
    uint8_t ChGain[4];
    uint8_t Current;
} Vondra2AmplifierParam;
AK_STATIC_ASSERT(sizeof(Vondra2AmplifierParam) == 13, vondra2_amplifier_size);

typedef struct VondraAmplifierParam {
    uint8_t ChMode[7];
    uint8_t ChFlag[7];
    uint8_t ChGain[7];
    uint8_t Current;
} VondraAmplifierParam;
AK_STATIC_ASSERT(sizeof(VondraAmplifierParam) == 22, vondra_amplifier_size);

typedef struct DravikAmplifierParam {
    uint8_t ReferentFlag; /* 0/1 */
    uint8_t Setting1;
    uint8_t Setting2;
    uint8_t ChannelMode[24];
    uint8_t ChannelGain[24];
    uint8_t ExtraFlag; /* 0/1 */
} DravikAmplifierParam;
AK_STATIC_ASSERT(sizeof(DravikAmplifierParam) == 52, dravik_amplifier_size);

typedef struct TesselMotionAssistantParam {
    uint8_t StartThreshold;
    uint8_t StopThreshold;
    uint8_t SelectorCode;
    uint8_t IntervalCode;
} TesselMotionAssistantParam;
AK_STATIC_ASSERT(sizeof(TesselMotionAssistantParam) == 4, tessel_motion_assistant_size);

typedef struct TesselMotionCounterParam {
    uint16_t CounterParam1;
    uint16_t CounterParam2;
} TesselMotionCounterParam;
AK_STATIC_ASSERT(sizeof(TesselMotionCounterParam) == 4, tessel_motion_counter_size);

typedef struct TesselStimulatorAndMAState {
    uint8_t StimulatorState;
    uint8_t MAState;
} TesselStimulatorAndMAState;
AK_STATIC_ASSERT(sizeof(TesselStimulatorAndMAState) == 2, tessel_stimulator_state_size);

typedef struct TesselStimulatorParam {
    uint8_t Amplitude;
    uint8_t Reserved0;
    uint16_t PulseWidth;
    uint8_t Frequency;
    uint8_t Reserved1;
    uint16_t Duration;
} TesselStimulatorParam;
AK_STATIC_ASSERT(sizeof(TesselStimulatorParam) == 8, tessel_stimulator_param_size);
AK_STATIC_ASSERT(offsetof(TesselStimulatorParam, Duration) == 6, tessel_stimulator_duration_offset);

typedef struct DravikFSStatus {
    uint8_t StatusByte0;
    uint8_t StatusByte1;
    uint8_t StatusByte2;
    uint8_t StatusFlag; /* 0/1 */
} DravikFSStatus;
AK_STATIC_ASSERT(sizeof(DravikFSStatus) == 4, dravik_fs_status_size);

typedef struct DravikFSDiskInfo {
    uint64_t Value1;
    uint64_t Value2;
} DravikFSDiskInfo;
AK_STATIC_ASSERT(sizeof(DravikFSDiskInfo) == 16, dravik_fs_disk_info_size);

typedef struct StimulProgram {
    double Frequency;      /* Hz */
    double Power;          /* percent */
    double PulseDuration;  /* seconds */
    double StimulDuration; /* seconds */
    double Pause;
    double Reserved;
} StimulProgram;
AK_STATIC_ASSERT(sizeof(StimulProgram) == 48, stimul_program_size);

/* ---- Parameter reads ---------------------------------------------------------------------
   A family without the parameter answers 121. Text reads copy at most length - 1 characters
   and a terminator; a null buffer or a length of 0 or below is refused with 119 and nothing is
   copied. List reads take the array's capacity in *count and write back the number
   of entries written. */

AK_API uint8_t readNameSensor(_Sensor* sensor, char* buffer, int32_t length, CallStatus* status);
AK_API uint8_t readAddressSensor(_Sensor* sensor, char* buffer, int32_t length, CallStatus* status);
AK_API uint8_t readSerialNumberSensor(_Sensor* sensor, char* buffer, int32_t length, CallStatus* status);
AK_API uint8_t readStateSensor(_Sensor* sensor, uint8_t* state, CallStatus* status);
AK_API uint8_t readFirmwareModeSensor(_Sensor* sensor, uint8_t* mode, CallStatus* status);
AK_API uint8_t readVersionSensor(_Sensor* sensor, SensorVersion* version, CallStatus* status);
AK_API uint8_t readBattPowerSensor(_Sensor* sensor, int32_t* percent, CallStatus* status);
AK_API uint8_t readBattVoltageSensor(_Sensor* sensor, int32_t* voltage, CallStatus* status);
AK_API uint8_t readSamplingFrequencySensor(_Sensor* sensor, uint8_t* code, CallStatus* status);
AK_API uint8_t readDataOffsetSensor(_Sensor* sensor, uint8_t* code, CallStatus* status);
AK_API uint8_t readGainSensor(_Sensor* sensor, uint8_t* code, CallStatus* status);
AK_API uint8_t readAccelerometerSensSensor(_Sensor* sensor, uint8_t* code, CallStatus* status);
AK_API uint8_t readGyroscopeSensSensor(_Sensor* sensor, uint8_t* code, CallStatus* status);
AK_API uint8_t readSamplingFrequencyMEMSSensor(_Sensor* sensor, uint8_t* code, CallStatus* status);
AK_API uint8_t readSamplingFrequencyFPGSensor(_Sensor* sensor, uint8_t* code, CallStatus* status);
AK_API uint8_t readIrAmplitudeFPGSensor(_Sensor* sensor, uint8_t* code, CallStatus* status);
AK_API uint8_t readRedAmplitudeFPGSensor(_Sensor* sensor, uint8_t* code, CallStatus* status);
AK_API uint8_t readSamplingFrequencyResistSensor(_Sensor* sensor, uint8_t* code, CallStatus* status);
AK_API uint8_t readSamplingFrequencyEnvelopeSensor(_Sensor* sensor, uint8_t* code, CallStatus* status);
AK_API uint8_t readSamplingFrequencyRespSensor(_Sensor* sensor, uint8_t* code, CallStatus* status);
AK_API uint8_t readAmpMode(_Sensor* sensor, uint8_t* mode, CallStatus* status);
AK_API uint8_t readStimMode(_Sensor* sensor, uint8_t* mode, CallStatus* status);
AK_API uint8_t readPhotoStimSyncState(_Sensor* sensor, uint8_t* state, CallStatus* status);
AK_API uint8_t readPhotoStimTimeDefer(_Sensor* sensor, double* seconds, CallStatus* status);
AK_API uint8_t readADCInputSensor(_Sensor* sensor, uint8_t* code, CallStatus* status);
AK_API uint8_t readExternalSwitchSensor(_Sensor* sensor, uint8_t* code, CallStatus* status);
AK_API uint8_t readElectrodeStateTessel(_Sensor* sensor, uint8_t* state, CallStatus* status);
AK_API uint8_t readMEMSCalibrateStateTessel(_Sensor* sensor, uint8_t* state, CallStatus* status);
AK_API uint8_t readColorTessel(_Sensor* sensor, int32_t* colour, CallStatus* status);
AK_API uint8_t readMotionCounterTessel(_Sensor* sensor, int32_t* counter, CallStatus* status);
AK_API uint8_t readSurveyIdDravik(_Sensor* sensor, int32_t* id, CallStatus* status);
AK_API uint8_t readAmplifierParamMorvex2(_Sensor* sensor, Morvex2AmplifierParam* param, CallStatus* status);
AK_API uint8_t readAmplifierParamWrenlet(_Sensor* sensor, WrenletAmplifierParam* param, CallStatus* status);
AK_API uint8_t readAmplifierParamVondra2(_Sensor* sensor, Vondra2AmplifierParam* param, CallStatus* status);
AK_API uint8_t readAmplifierParamVondra(_Sensor* sensor, VondraAmplifierParam* param, CallStatus* status);
AK_API uint8_t readAmplifierParamDravik(_Sensor* sensor, DravikAmplifierParam* param, CallStatus* status);
AK_API uint8_t readFilesystemStatusDravik(_Sensor* sensor, DravikFSStatus* fsStatus, CallStatus* status);
AK_API uint8_t readFileSystemDiskInfoDravik(_Sensor* sensor, DravikFSDiskInfo* info, CallStatus* status);
AK_API uint8_t readMotionCounterParamTessel(_Sensor* sensor, TesselMotionCounterParam* param, CallStatus* status);
AK_API uint8_t readMotionAssistantParamTessel(_Sensor* sensor, TesselMotionAssistantParam* param, CallStatus* status);
AK_API uint8_t readStimulatorParamTessel(_Sensor* sensor, TesselStimulatorParam* param, CallStatus* status);
AK_API uint8_t readStimulatorAndMAStateTessel(_Sensor* sensor, TesselStimulatorAndMAState* state, CallStatus* status);
AK_API uint8_t readSupportedChannelsMorvex2(_Sensor* sensor, EEGChannelInfo* channels, int32_t* count,
                                            CallStatus* status);
AK_API uint8_t readSupportedChannelsDravik(_Sensor* sensor, EEGChannelInfo* channels, int32_t* count,
                                           CallStatus* status);
AK_API uint8_t readSupportedEEGChannels(_Sensor* sensor, EEGChannelInfo* channels, int32_t* count, CallStatus* status);
AK_API uint8_t readStimPrograms(_Sensor* sensor, StimulProgram* programs, int32_t* count, CallStatus* status);
/* Active hardware filters, written in descending order. */
AK_API uint8_t readHardwareFiltersSensor(_Sensor* sensor, int16_t* filters, int32_t* count, CallStatus* status);
/* Colour code of a found Tessel sensor (0 to 3), 4 for any other record. */
AK_API void readColorInfo(const _SensorInfo* info, int32_t* colour);
/* The photo-stimulator linked to a Dravik sensor, or null. */
AK_API _Sensor* readPhotoStimDravik(_Sensor* sensor);

/* ---- Delivered records -------------------------------------------------------------------
   Records and the arrays they point to belong to the library and are valid during the call
   only. Bytes between fields carry no data. */

typedef struct MorvexSignalRecord {
    uint32_t PackNum;
    uint8_t Marker; /* generation-1 devices (family 3): 0 or 1, the device's marker flag;
                       MorvexBlack and Morvex2-class devices: the raw marker byte of the
                       pack as the device sent it (any value 0-255) */
    double O1;
    double O2;
    double T3;
    double T4;
} MorvexSignalRecord;
AK_STATIC_ASSERT(sizeof(MorvexSignalRecord) == 40, morvex_signal_record_size);
AK_STATIC_ASSERT(offsetof(MorvexSignalRecord, O1) == 8, morvex_signal_record_o1_offset);

typedef struct MorvexResistRecord {
    double O1;
    double O2;
    double T3;
    double T4;
} MorvexResistRecord;
AK_STATIC_ASSERT(sizeof(MorvexResistRecord) == 32, morvex_resist_record_size);

typedef struct FourChannelResistRecord {
    uint32_t PackNum;
    double O1;
    double O2;
    double T3;
    double T4;
} FourChannelResistRecord;
AK_STATIC_ASSERT(sizeof(FourChannelResistRecord) == 40, four_channel_resist_record_size);
AK_STATIC_ASSERT(offsetof(FourChannelResistRecord, O1) == 8, four_channel_resist_record_o1_offset);

typedef struct SignalChannelsRecord {
    uint32_t PackNum;
    uint8_t Marker;
    uint32_t SampleCount;
    double* Samples;
} SignalChannelsRecord;
AK_STATIC_ASSERT(sizeof(SignalChannelsRecord) == 24, signal_channels_record_size);
AK_STATIC_ASSERT(offsetof(SignalChannelsRecord, SampleCount) == 8, signal_channels_record_count_offset);
AK_STATIC_ASSERT(offsetof(SignalChannelsRecord, Samples) == 16, signal_channels_record_samples_offset);

typedef struct ResistChannelsRecord {
    uint32_t PackNum;
    uint32_t ValueCount;
    uint64_t Reserved0;
    double* Values;
    uint64_t Reserved1;
} ResistChannelsRecord;
AK_STATIC_ASSERT(sizeof(ResistChannelsRecord) == 32, resist_channels_record_size);
AK_STATIC_ASSERT(offsetof(ResistChannelsRecord, ValueCount) == 4, resist_channels_record_count_offset);
AK_STATIC_ASSERT(offsetof(ResistChannelsRecord, Values) == 16, resist_channels_record_values_offset);

typedef struct DravikResistRecord {
    uint32_t PackNum;
    double Scalar1;
    double Scalar2;
    double Scalar3;
    uint32_t ValueCount;
    double* Values;
} DravikResistRecord;
AK_STATIC_ASSERT(sizeof(DravikResistRecord) == 48, dravik_resist_record_size);
AK_STATIC_ASSERT(offsetof(DravikResistRecord, ValueCount) == 32, dravik_resist_record_count_offset);
AK_STATIC_ASSERT(offsetof(DravikResistRecord, Values) == 40, dravik_resist_record_values_offset);

typedef struct FPGRecord {
    uint32_t PackNum;
    double Value1;
    double Value2;
} FPGRecord;
AK_STATIC_ASSERT(sizeof(FPGRecord) == 24, fpg_record_size);

typedef struct MEMSRecord {
    uint32_t PackNum;
    double AccelerometerX;
    double AccelerometerY;
    double AccelerometerZ;
    double GyroscopeX;
    double GyroscopeY;
    double GyroscopeZ;
} MEMSRecord;
AK_STATIC_ASSERT(sizeof(MEMSRecord) == 56, mems_record_size);

typedef struct QuaternionRecord {
    uint32_t PackNum;
    float W;
    float X;
    float Y;
    float Z;
} QuaternionRecord;
AK_STATIC_ASSERT(sizeof(QuaternionRecord) == 20, quaternion_record_size);

typedef struct EnvelopeRecord {
    uint32_t PackNum;
    double Value;
} EnvelopeRecord;
AK_STATIC_ASSERT(sizeof(EnvelopeRecord) == 16, envelope_record_size);

typedef struct TesselSamplesRecord {
    uint32_t PackNum;
    double* Samples;
    uint32_t SampleCount;
} TesselSamplesRecord;
AK_STATIC_ASSERT(sizeof(TesselSamplesRecord) == 24, tessel_samples_record_size);
AK_STATIC_ASSERT(offsetof(TesselSamplesRecord, SampleCount) == 16, tessel_samples_record_count_offset);

typedef struct FileChunkRecord {
    uint32_t Head1;
    uint32_t Head2;
    uint32_t ByteCount;
    uint8_t* Bytes;
} FileChunkRecord;
AK_STATIC_ASSERT(sizeof(FileChunkRecord) == 24, file_chunk_record_size);
AK_STATIC_ASSERT(offsetof(FileChunkRecord, Bytes) == 16, file_chunk_record_bytes_offset);

typedef struct VondraSignalRecord {
    uint32_t PackNum;
    uint8_t Marker;
    double Values[7];
} VondraSignalRecord;
AK_STATIC_ASSERT(sizeof(VondraSignalRecord) == 64, vondra_signal_record_size);

typedef struct VondraResistRecord {
    uint32_t PackNum;
    double Values[7];
} VondraResistRecord;
AK_STATIC_ASSERT(sizeof(VondraResistRecord) == 64, vondra_resist_record_size);

/* ---- Host callbacks ----------------------------------------------------------------------
   Registered functions run on the library's threads (a sensor's worker, or its connection
   thread for connection states), sensor handle first and user pointer last. A batch function is
   also called for an empty batch, with a null array and count 0. A registration lasts until
   its handle goes to the matching remove function; handles of the functions marked "dual"
   are DualCallbackHandle and go to the removal functions of those three. A null function is
   refused with 123 (addSensorsCallbackScanner: 104) and no handle is written. */

typedef struct DualCallbackHandle DualCallbackHandle;

typedef void (*MorvexSignalCallback)(_Sensor* sensor, MorvexSignalRecord* records, uint32_t count, void* userData);
typedef void (*MorvexResistCallback)(_Sensor* sensor, MorvexResistRecord* record, void* userData);
typedef void (*FourChannelResistCallback)(_Sensor* sensor, FourChannelResistRecord* record, void* userData);
typedef void (*FourChannelResistArrayCallback)(_Sensor* sensor, FourChannelResistRecord* records, uint32_t count,
                                               void* userData);
typedef void (*SignalChannelsCallback)(_Sensor* sensor, SignalChannelsRecord* records, uint32_t count, void* userData);
typedef void (*ResistChannelsCallback)(_Sensor* sensor, ResistChannelsRecord* records, uint32_t count, void* userData);
typedef void (*DravikResistCallback)(_Sensor* sensor, DravikResistRecord* records, uint32_t count, void* userData);
typedef void (*DravikSignalResistCallback)(_Sensor* sensor, SignalChannelsRecord* signal, uint32_t signalCount,
                                           DravikResistRecord* resist, uint32_t resistCount, void* userData);
typedef void (*RawSignalCallback)(_Sensor* sensor, uint8_t* bytes, uint32_t count, void* userData);
typedef void (*FPGDataCallback)(_Sensor* sensor, FPGRecord* records, uint32_t count, void* userData);
typedef void (*MEMSDataCallback)(_Sensor* sensor, MEMSRecord* records, uint32_t count, void* userData);
typedef void (*QuaternionDataCallback)(_Sensor* sensor, QuaternionRecord* records, uint32_t count, void* userData);
typedef void (*EnvelopeDataCallback)(_Sensor* sensor, EnvelopeRecord* records, uint32_t count, void* userData);
typedef void (*TesselSamplesCallback)(_Sensor* sensor, TesselSamplesRecord* records, uint32_t count, void* userData);
typedef void (*FileStreamCallback)(_Sensor* sensor, FileChunkRecord* records, uint32_t count, void* userData);
typedef void (*VondraSignalCallback)(_Sensor* sensor, VondraSignalRecord* records, uint32_t count, void* userData);
typedef void (*VondraResistCallback)(_Sensor* sensor, VondraResistRecord* records, uint32_t count, void* userData);
typedef void (*IntValueCallback)(_Sensor* sensor, int32_t value, void* userData);
typedef void (*ByteValueCallback)(_Sensor* sensor, uint8_t value, void* userData);
typedef void (*ConnectionStateCallback)(_Sensor* sensor, uint8_t state, void* userData);

AK_API uint8_t addSignalDataCallbackMorvex(_Sensor* sensor, MorvexSignalCallback callback, DualCallbackHandle** handle,
                                           void* userData, CallStatus* status); /* dual */
AK_API uint8_t addResistCallbackMorvex(_Sensor* sensor, MorvexResistCallback callback, DualCallbackHandle** handle,
                                       void* userData, CallStatus* status); /* dual */
AK_API uint8_t addMEMSDataCallback(_Sensor* sensor, MEMSDataCallback callback, DualCallbackHandle** handle,
                                   void* userData, CallStatus* status); /* dual */
AK_API uint8_t addSignalCallbackMorvex2(_Sensor* sensor, SignalChannelsCallback callback, CallbackHandle** handle,
                                        void* userData, CallStatus* status);
AK_API uint8_t addResistCallbackMorvex2(_Sensor* sensor, ResistChannelsCallback callback, CallbackHandle** handle,
                                        void* userData, CallStatus* status);
AK_API uint8_t addSignalDataCallbackLorrel(_Sensor* sensor, MorvexSignalCallback callback, CallbackHandle** handle,
                                           void* userData, CallStatus* status);
AK_API uint8_t addResistCallbackLorrel(_Sensor* sensor, FourChannelResistCallback callback, CallbackHandle** handle,
                                       void* userData, CallStatus* status);
AK_API uint8_t addSignalDataCallbackVondra2(_Sensor* sensor, MorvexSignalCallback callback, CallbackHandle** handle,
                                            void* userData, CallStatus* status);
AK_API uint8_t addResistCallbackVondra2(_Sensor* sensor, FourChannelResistArrayCallback callback,
                                        CallbackHandle** handle, void* userData, CallStatus* status);
AK_API uint8_t addSignalDataCallbackVondra(_Sensor* sensor, VondraSignalCallback callback, CallbackHandle** handle,
                                           void* userData, CallStatus* status);
AK_API uint8_t addResistCallbackVondra(_Sensor* sensor, VondraResistCallback callback, CallbackHandle** handle,
                                       void* userData, CallStatus* status);
AK_API uint8_t addSignalCallbackDravik(_Sensor* sensor, SignalChannelsCallback callback, CallbackHandle** handle,
                                       void* userData, CallStatus* status);
AK_API uint8_t addResistCallbackDravik(_Sensor* sensor, DravikResistCallback callback, CallbackHandle** handle,
                                       void* userData, CallStatus* status);
AK_API uint8_t addSignalResistCallbackDravik(_Sensor* sensor, DravikSignalResistCallback callback,
                                             CallbackHandle** handle, void* userData, CallStatus* status);
AK_API uint8_t addSignalRawCallbackDravik(_Sensor* sensor, RawSignalCallback callback, CallbackHandle** handle,
                                          void* userData, CallStatus* status);
AK_API uint8_t addFileStreamReadCallbackDravik(_Sensor* sensor, FileStreamCallback callback, CallbackHandle** handle,
                                               void* userData, CallStatus* status);
AK_API uint8_t addFPGDataCallback(_Sensor* sensor, FPGDataCallback callback, CallbackHandle** handle, void* userData,
                                  CallStatus* status);
AK_API uint8_t addQuaternionDataCallback(_Sensor* sensor, QuaternionDataCallback callback, CallbackHandle** handle,
                                         void* userData, CallStatus* status);
AK_API uint8_t addEnvelopeDataCallbackTessel(_Sensor* sensor, EnvelopeDataCallback callback, CallbackHandle** handle,
                                             void* userData, CallStatus* status);
AK_API uint8_t addSignalCallbackTessel(_Sensor* sensor, TesselSamplesCallback callback, CallbackHandle** handle,
                                       void* userData, CallStatus* status);
AK_API uint8_t addRespirationCallbackTessel(_Sensor* sensor, TesselSamplesCallback callback, CallbackHandle** handle,
                                            void* userData, CallStatus* status);
AK_API uint8_t addBatteryCallback(_Sensor* sensor, IntValueCallback callback, CallbackHandle** handle, void* userData,
                                  CallStatus* status);
AK_API uint8_t addBatteryVoltageCallback(_Sensor* sensor, IntValueCallback callback, CallbackHandle** handle,
                                         void* userData, CallStatus* status);
AK_API uint8_t addAmpModeCallback(_Sensor* sensor, ByteValueCallback callback, CallbackHandle** handle, void* userData,
                                  CallStatus* status);
AK_API uint8_t addElectrodeStateCallbackTessel(_Sensor* sensor, ByteValueCallback callback, CallbackHandle** handle,
                                               void* userData, CallStatus* status);
AK_API uint8_t addStimModeCallback(_Sensor* sensor, ByteValueCallback callback, CallbackHandle** handle, void* userData,
                                   CallStatus* status);
AK_API uint8_t addPhotoStimSyncStateCallback(_Sensor* sensor, ByteValueCallback callback, CallbackHandle** handle,
                                             void* userData, CallStatus* status);
AK_API uint8_t addConnectionStateCallback(_Sensor* sensor, ConnectionStateCallback callback, CallbackHandle** handle,
                                          void* userData, CallStatus* status);

/* Removal: null is accepted. A delivery already under way finishes; none starts afterwards. */
AK_API void removeSignalDataCallbackMorvex(DualCallbackHandle* handle);
AK_API void removeResistCallbackMorvex(DualCallbackHandle* handle);
AK_API void removeMEMSDataCallback(DualCallbackHandle* handle);
AK_API void removeSignalCallbackMorvex2(CallbackHandle* handle);
AK_API void removeResistCallbackMorvex2(CallbackHandle* handle);
AK_API void removeSignalDataCallbackLorrel(CallbackHandle* handle);
AK_API void removeResistCallbackLorrel(CallbackHandle* handle);
AK_API void removeSignalDataCallbackVondra2(CallbackHandle* handle);
AK_API void removeResistCallbackVondra2(CallbackHandle* handle);
AK_API void removeSignalDataCallbackVondra(CallbackHandle* handle);
AK_API void removeResistCallbackVondra(CallbackHandle* handle);
AK_API void removeSignalCallbackDravik(CallbackHandle* handle);
AK_API void removeResistCallbackDravik(CallbackHandle* handle);
AK_API void removeSignalResistCallbackDravik(CallbackHandle* handle);
AK_API void removeSignalRawCallbackDravik(CallbackHandle* handle);
AK_API void removeFileStreamReadCallbackDravik(CallbackHandle* handle);
AK_API void removeFPGDataCallback(CallbackHandle* handle);
AK_API void removeQuaternionDataCallback(CallbackHandle* handle);
AK_API void removeEnvelopeDataCallbackTessel(CallbackHandle* handle);
AK_API void removeSignalCallbackTessel(CallbackHandle* handle);
AK_API void removeRespirationCallbackTessel(CallbackHandle* handle);
AK_API void removeBatteryCallback(CallbackHandle* handle);
AK_API void removeBatteryVoltageCallback(CallbackHandle* handle);
AK_API void removeAmpModeCallback(CallbackHandle* handle);
AK_API void removeElectrodeStateCallbackTessel(CallbackHandle* handle);
AK_API void removeStimModeCallback(CallbackHandle* handle);
AK_API void removePhotoStimSyncStateCallback(CallbackHandle* handle);
AK_API void removeConnectionStateCallback(CallbackHandle* handle);

/* ---- Parameter writes --------------------------------------------------------------------
   A family without the parameter answers 122; the family checks the value itself. */

AK_API uint8_t writeSamplingFrequencySensor(_Sensor* sensor, uint8_t code, CallStatus* status);
AK_API uint8_t writeGainSensor(_Sensor* sensor, uint8_t code, CallStatus* status);
AK_API uint8_t writeDataOffsetSensor(_Sensor* sensor, uint8_t code, CallStatus* status);
AK_API uint8_t writeFirmwareModeSensor(_Sensor* sensor, uint8_t mode, CallStatus* status);
AK_API uint8_t writeADCInputSensor(_Sensor* sensor, uint8_t code, CallStatus* status);
AK_API uint8_t writeExternalSwitchSensor(_Sensor* sensor, uint8_t code, CallStatus* status);
AK_API uint8_t writeAccelerometerSensSensor(_Sensor* sensor, uint8_t code, CallStatus* status);
AK_API uint8_t writeGyroscopeSensSensor(_Sensor* sensor, uint8_t code, CallStatus* status);
AK_API uint8_t writeIrAmplitudeFPGSensor(_Sensor* sensor, uint8_t code, CallStatus* status);
AK_API uint8_t writeRedAmplitudeFPGSensor(_Sensor* sensor, uint8_t code, CallStatus* status);
AK_API uint8_t writeAmplifierParamMorvex2(_Sensor* sensor, Morvex2AmplifierParam param, CallStatus* status);
AK_API uint8_t writeAmplifierParamWrenlet(_Sensor* sensor, WrenletAmplifierParam param, CallStatus* status);
AK_API uint8_t writeAmplifierParamVondra2(_Sensor* sensor, Vondra2AmplifierParam param, CallStatus* status);
AK_API uint8_t writeAmplifierParamVondra(_Sensor* sensor, VondraAmplifierParam param, CallStatus* status);
AK_API uint8_t writeAmplifierParamDravik(_Sensor* sensor, DravikAmplifierParam param, CallStatus* status);
/* The low byte of each entry; repeats count once. A null array or count below 1 sets no filter. */
AK_API uint8_t writeHardwareFiltersSensor(_Sensor* sensor, const int16_t* filters, int32_t count, CallStatus* status);
AK_API uint8_t writeMotionAssistantParamTessel(_Sensor* sensor, TesselMotionAssistantParam param, CallStatus* status);
AK_API uint8_t writeMotionCounterParamTessel(_Sensor* sensor, TesselMotionCounterParam param, CallStatus* status);
AK_API uint8_t writeStimulatorParamTessel(_Sensor* sensor, TesselStimulatorParam param, CallStatus* status);
AK_API uint8_t writeSurveyIdDravik(_Sensor* sensor, int32_t id, CallStatus* status);
AK_API uint8_t writePhotoStimTimeDefer(_Sensor* sensor, double seconds, CallStatus* status);
/* count: 1 up to the number of programs the sensor holds (getMaxStimulPhasesCountSensor); a
   longer list is refused, not cut. */
AK_API uint8_t writeStimPrograms(_Sensor* sensor, const StimulProgram* programs, int32_t count, CallStatus* status);
/* Name and serial number are read-only: both always fail with 122. */
AK_API uint8_t writeNameSensor(_Sensor* sensor, const char* text, int32_t length, CallStatus* status);
AK_API uint8_t writeSerialNumberSensor(_Sensor* sensor, const char* text, int32_t length, CallStatus* status);
/* Links a photo-stimulator sensor to a Dravik sensor, or with null unlinks it. */
AK_API uint8_t writePhotoStimDravik(_Sensor* sensor, _Sensor* photoStim, CallStatus* status);

/* ---- Capabilities ------------------------------------------------------------------------
   List functions take the array's capacity in *count (at least 1) and write back the number of
   entries written, in ascending order. Counts and tests return 0 for a null handle or when
   anything fails. */

/* One supported parameter and how it may be used. */
typedef struct ParameterInfo {
    int32_t Param;       /* sensor parameter number */
    int32_t ParamAccess; /* access code */
} ParameterInfo;
AK_STATIC_ASSERT(sizeof(ParameterInfo) == 8, parameter_info_size);

AK_API uint8_t getCommandsSensor(_Sensor* sensor, int8_t* commands, int32_t* count, CallStatus* status);
AK_API int32_t getCommandsCountSensor(_Sensor* sensor);
AK_API uint8_t isSupportedCommandSensor(_Sensor* sensor, int8_t command);
AK_API uint8_t getFeaturesSensor(_Sensor* sensor, int8_t* features, int32_t* count, CallStatus* status);
AK_API int32_t getFeaturesCountSensor(_Sensor* sensor);
AK_API uint8_t isSupportedFeatureSensor(_Sensor* sensor, int8_t feature);
/* In the sensor's own order. */
AK_API uint8_t getParametersSensor(_Sensor* sensor, ParameterInfo* parameters, int32_t* count, CallStatus* status);
AK_API int32_t getParametersCountSensor(_Sensor* sensor);
AK_API uint8_t isSupportedParameterSensor(_Sensor* sensor, int8_t parameter);
AK_API uint8_t getSupportedFiltersSensor(_Sensor* sensor, int16_t* filters, int32_t* count, CallStatus* status);
AK_API int32_t getSupportedFiltersCountSensor(_Sensor* sensor);
AK_API uint8_t isSupportedFilterSensor(_Sensor* sensor, int16_t filter);
/* Signal channels of the sensor. */
AK_API int32_t getChannelsCountSensor(_Sensor* sensor);
/* Stimulation phases (programs) the sensor runs. */
AK_API int32_t getMaxStimulPhasesCountSensor(_Sensor* sensor);
AK_API uint8_t getSignalSettingsTessel(_Sensor* sensor, uint8_t* settings, CallStatus* status);
AK_API uint8_t setSignalSettingsTessel(_Sensor* sensor, uint8_t settings, CallStatus* status);

/* ---- Commands and the Dravik file system ----------------------------------------------------
   Other families answer 118 for commands, 121 for reads and 122 for writes. */

AK_API uint8_t pingKestrane(_Sensor* sensor, uint8_t marker, CallStatus* status);

/* One file of the sensor's file system. */
typedef struct DravikFileInfo {
    char FileName[64]; /* at most 63 characters, terminated */
    uint32_t FileSize;
    uint16_t Year;
    uint8_t Month;
    uint8_t Day;
    uint8_t Hour;
    uint8_t Minute;
    uint8_t Second;
    uint8_t Attributes;
} DravikFileInfo;
AK_STATIC_ASSERT(sizeof(DravikFileInfo) == 76, dravik_file_info_size);
AK_STATIC_ASSERT(offsetof(DravikFileInfo, FileSize) == 64, dravik_file_info_size_offset);
AK_STATIC_ASSERT(offsetof(DravikFileInfo, Year) == 68, dravik_file_info_year_offset);
AK_STATIC_ASSERT(offsetof(DravikFileInfo, Attributes) == 75, dravik_file_info_attributes_offset);

AK_API uint8_t deleteAllFilesDravik(_Sensor* sensor, const char* text, CallStatus* status);
AK_API uint8_t deleteFileDravik(_Sensor* sensor, const char* name, CallStatus* status);
AK_API uint8_t fileStreamAutosaveDravik(_Sensor* sensor, const char* name, CallStatus* status);
/* The data arrives through addFileStreamReadCallbackDravik. */
AK_API uint8_t fileStreamReadDravik(_Sensor* sensor, const char* name, int32_t first, int32_t second,
                                    CallStatus* status);
AK_API uint8_t readFileCRC32Dravik(_Sensor* sensor, const char* name, int32_t first, int32_t second, uint32_t* crc,
                                   CallStatus* status);
/* info: not null. */
AK_API uint8_t readFileInfoDravik(_Sensor* sensor, const char* name, DravikFileInfo* info, CallStatus* status);
AK_API uint8_t readFileInfoAllDravik(_Sensor* sensor, DravikFileInfo* infos, int32_t* count, CallStatus* status);
/* Reads the file from offset up to the end position *size (0, or a value at or beyond the file's
   size, means the end of the file). The buffer must hold every byte from offset to that end: to
   read to the end of the file, the size readFileInfoDravik reports less the offset. Out, *size is
   the number of bytes read into the buffer (0 for an empty file); an offset at or beyond the end
   fails with 522. */
AK_API uint8_t readFileDravik(_Sensor* sensor, const char* name, uint8_t* buffer, int32_t* size, uint32_t offset,
                              CallStatus* status);
/* size: 0 or more (0 is refused by the sensor with 521); data may be null only when size is 0. */
AK_API uint8_t writeFileDravik(_Sensor* sensor, const char* name, const uint8_t* data, int32_t size, uint32_t offset,
                               CallStatus* status);

/* ---- Dravik signal processing ------------------------------------------------------------- */

/* One converted signal pack; Samples is the caller's buffer of SzSamples values (in: capacity,
   out: values written). */
typedef struct DravikSignalPack {
    int32_t PackNum;
    uint8_t Marker;
    uint32_t SzSamples;
    double* Samples;
} DravikSignalPack;
AK_STATIC_ASSERT(sizeof(DravikSignalPack) == 24, dravik_signal_pack_size);
AK_STATIC_ASSERT(offsetof(DravikSignalPack, SzSamples) == 8, dravik_signal_pack_count_offset);
AK_STATIC_ASSERT(offsetof(DravikSignalPack, Samples) == 16, dravik_signal_pack_samples_offset);

/* One resistance result; Values is the caller's buffer of SzValues values (in: capacity, out:
   values written). */
typedef struct DravikResistPack {
    int32_t Number;
    double Value1;
    double Value2;
    double Value3;
    uint32_t SzValues;
    double* Values;
} DravikResistPack;
AK_STATIC_ASSERT(sizeof(DravikResistPack) == 48, dravik_resist_pack_size);
AK_STATIC_ASSERT(offsetof(DravikResistPack, Value1) == 8, dravik_resist_pack_value1_offset);
AK_STATIC_ASSERT(offsetof(DravikResistPack, SzValues) == 32, dravik_resist_pack_count_offset);
AK_STATIC_ASSERT(offsetof(DravikResistPack, Values) == 40, dravik_resist_pack_values_offset);

/* Processing parameters from an amplifier record; *handle is released by
   removeSignalProcessParamDravik. Every ChannelGain must be an index of the gain table (0..10),
   else 517 "The specified Gain value is not supported". */
AK_API uint8_t createSignalProcessParamDravik(DravikAmplifierParam param, CallbackHandle** handle, CallStatus* status);
/* Null is accepted. */
AK_API void removeSignalProcessParamDravik(CallbackHandle* handle);
/* Converts *rawLength bytes (0 or more) and sets *rawLength to the bytes used. Each output pair
   is filled when both of its pointers are given, its count (0 or more) being the capacity in and
   the number filled out; the bytes used are the same whatever the capacities. */
AK_API uint8_t parseRawSignalDravik(const uint8_t* raw, int32_t* rawLength, CallbackHandle* handle,
                                    DravikSignalPack* signals, int32_t* signalCount, DravikResistPack* resists,
                                    int32_t* resistCount, CallStatus* status);

/* ---- CRC-32 ------------------------------------------------------------------------------- */

/* The CRC-32 (IEEE 802.3) of length bytes, stored in *crc and returned. A null crc, null data
   with a non-zero length or a negative length compute nothing and return 0. */
AK_API uint32_t calcCRC32(const uint8_t* data, int32_t length, uint32_t* crc);

AK_EXTERN_C_END

#if defined(__cplusplus)
/* Bound by its C++ name; no sensor has LED channels, so it always returns 0. */
AK_API int getLedChannelsCountSensor(_Sensor* sensor);
#endif

#endif /* AMBRELKIT2_H */
