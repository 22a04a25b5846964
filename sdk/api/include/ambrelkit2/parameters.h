/* Parameter records, and the reads and writes of sensor parameters.
   One part of ambrelkit2.h, the public interface of libambrelkit2-x64; hosts include that file. */
#ifndef AMBRELKIT2_PARAMETERS_H
#define AMBRELKIT2_PARAMETERS_H

#include "base.h"
#include "scanner.h"
#include "sensor.h"

AK_EXTERN_C_BEGIN

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

AK_EXTERN_C_END

#endif /* AMBRELKIT2_PARAMETERS_H */
