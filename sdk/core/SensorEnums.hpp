#pragma once
// Commands, parameters, features and parameter access modes shared by every sensor family.

#include <cstdint>
#include <set>
#include <string>
#include <unordered_map>

namespace VexaDevice::Sensor {

enum class SensorCommand : int32_t {
    StartSignal = 0,
    StopSignal = 1,
    StartResist = 2,
    StopResist = 3,
    StartMEMS = 4,
    StopMEMS = 5,
    StartRespiration = 6,
    StopRespiration = 7,
    StartCurrentStimulation = 8,
    StopStimulation = 9,
    EnableMotionAssistant = 10,
    DisableMotionAssistant = 11,
    FindMe = 12,
    StartAngle = 13,
    StopAngle = 14,
    CalibrateMEMS = 15,
    ResetQuaternion = 16,
    StartEnvelope = 17,
    StopEnvelope = 18,
    ResetMotionCounter = 19,
    CalibrateStimulation = 20,
    Idle = 21,
    PowerDown = 22,
    StartFPG = 23,
    StopFPG = 24,
    StartSignalAndResist = 25,
    StopSignalAndResist = 26,
    StartPhotoStimulation = 27,
    StopPhotoStimulation = 28,
    StartAcousticStimulation = 29,
    StopAcousticStimulation = 30,
    FileSystemEnable = 31,
    FileSystemDisable = 32,
    FileSystemStreamClose = 33,
    StartCalibrateSignal = 34,
    StopCalibrateSignal = 35,
};

// Values 28, 29 and 35 print as "Unknown"; families still use them (28 and 29 for the
// sampling frequencies of their motion and photoplethysmogram channels).
enum class SensorParameter : int32_t {
    Name = 0,
    State = 1,
    Address = 2,
    SerialNumber = 3,
    HardwareFilterState = 4,
    FirmwareMode = 5,
    SamplingFrequency = 6,
    Gain = 7,
    Offset = 8,
    ExternalSwitchState = 9,
    ADCInputState = 10,
    AccelerometerSens = 11,
    GyroscopeSens = 12,
    StimulatorAndMAState = 13,
    StimulatorParamPack = 14,
    MotionAssistantParamPack = 15,
    FirmwareVersion = 16,
    MEMSCalibrationStatus = 17,
    MotionCounterParamPack = 18,
    MotionCounter = 19,
    BattPower = 20,
    SensorFamily = 21,
    SensorMode = 22,
    IrAmplitude = 23,
    RedAmplitude = 24,
    EnvelopeAvgWndSz = 25,
    EnvelopeDecimation = 26,
    SamplingFrequencyResist = 27,
    SamplingFrequencyMEMS = 28,
    SamplingFrequencyFPG = 29,
    Amplifier = 30,
    SensorChannels = 31,
    SamplingFrequencyResp = 32,
    SurveyId = 33,
    FileSystemStatus = 34,
    ReferentsShort = 36,
    ReferentsGround = 37,
};

// Feature numbers have no names; each family lists the ones it offers.
using SensorFeature = int32_t;

// How a parameter may be used, paired with each parameter in a family's parameter map.
enum class SensorParamAccess : int32_t {
    Read = 0,
    ReadWrite = 1,
    ReadNotify = 2,
};

// The collections the families hand out, keyed by the plain numbers above.
using FeatureSet = std::set<int32_t>;
using CommandSet = std::set<int32_t>;
using ParameterMap = std::unordered_map<int32_t, int32_t>;  // parameter -> SensorParamAccess

// Printable names; any value without a name prints as "Unknown".
std::string commandToString(const SensorCommand& command);
std::string parameterToString(const SensorParameter& parameter);

constexpr int32_t toInt(SensorCommand command) { return static_cast<int32_t>(command); }
constexpr int32_t toInt(SensorParameter parameter) { return static_cast<int32_t>(parameter); }
constexpr int32_t toInt(SensorParamAccess access) { return static_cast<int32_t>(access); }

}  // namespace VexaDevice::Sensor
