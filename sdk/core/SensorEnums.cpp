#include "sdk/core/SensorEnums.hpp"

#include <array>

namespace VexaDevice::Sensor {
namespace {

constexpr const char* kUnknown = "Unknown";

constexpr std::array<const char*, 36> kCommandNames{"StartSignal",
                                                    "StopSignal",
                                                    "StartResist",
                                                    "StopResist",
                                                    "StartMEMS",
                                                    "StopMEMS",
                                                    "StartRespiration",
                                                    "StopRespiration",
                                                    "StartCurrentStimulation",
                                                    "StopStimulation",
                                                    "EnableMotionAssistant",
                                                    "DisableMotionAssistant",
                                                    "FindMe",
                                                    "StartAngle",
                                                    "StopAngle",
                                                    "CalibrateMEMS",
                                                    "ResetQuaternion",
                                                    "StartEnvelope",
                                                    "StopEnvelope",
                                                    "ResetMotionCounter",
                                                    "CalibrateStimulation",
                                                    "Idle",
                                                    "PowerDown",
                                                    "StartFPG",
                                                    "StopFPG",
                                                    "StartSignalAndResist",
                                                    "StopSignalAndResist",
                                                    "StartPhotoStimulation",
                                                    "StopPhotoStimulation",
                                                    "StartAcousticStimulation",
                                                    "StopAcousticStimulation",
                                                    "FileSystemEnable",
                                                    "FileSystemDisable",
                                                    "FileSystemStreamClose",
                                                    "StartCalibrateSignal",
                                                    "StopCalibrateSignal"};

constexpr std::array<const char*, 38> kParameterNames{"Name",
                                                      "State",
                                                      "Address",
                                                      "SerialNumber",
                                                      "HardwareFilterState",
                                                      "FirmwareMode",
                                                      "SamplingFrequency",
                                                      "Gain",
                                                      "Offset",
                                                      "ExternalSwitchState",
                                                      "ADCInputState",
                                                      "AccelerometerSens",
                                                      "GyroscopeSens",
                                                      "StimulatorAndMAState",
                                                      "StimulatorParamPack",
                                                      "MotionAssistantParamPack",
                                                      "FirmwareVersion",
                                                      "MEMSCalibrationStatus",
                                                      "MotionCounterParamPack",
                                                      "MotionCounter",
                                                      "BattPower",
                                                      "SensorFamily",
                                                      "SensorMode",
                                                      "IrAmplitude",
                                                      "RedAmplitude",
                                                      "EnvelopeAvgWndSz",
                                                      "EnvelopeDecimation",
                                                      "SamplingFrequencyResist",
                                                      kUnknown,
                                                      kUnknown,
                                                      "Amplifier",
                                                      "SensorChannels",
                                                      "SamplingFrequencyResp",
                                                      "SurveyId",
                                                      "FileSystemStatus",
                                                      kUnknown,
                                                      "ReferentsShort",
                                                      "ReferentsGround"};

template <std::size_t N>
std::string nameOf(const std::array<const char*, N>& names, int32_t value) {
    if (value < 0 || static_cast<std::size_t>(value) >= N) {
        return kUnknown;
    }
    return names[static_cast<std::size_t>(value)];
}

}  // namespace

std::string commandToString(const SensorCommand& command) { return nameOf(kCommandNames, toInt(command)); }

std::string parameterToString(const SensorParameter& parameter) { return nameOf(kParameterNames, toInt(parameter)); }

}  // namespace VexaDevice::Sensor
