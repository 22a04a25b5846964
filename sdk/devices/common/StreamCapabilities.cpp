#include "sdk/devices/common/StreamCapabilities.hpp"

namespace VexaDevice::Devices {

using Sensor::SensorCommand;
using Sensor::SensorParamAccess;
using Sensor::SensorParameter;
using Sensor::toInt;

namespace {

constexpr int32_t MotionFeature = 1;
constexpr int32_t FpgFeature = 5;

void addStream(Capabilities& capabilities, SensorCommand start, SensorCommand stop, SensorParameter code1,
               SensorParameter code2, SensorParameter rate, int32_t feature) {
    capabilities.commands.insert({toInt(start), toInt(stop)});
    const int32_t readWrite = toInt(SensorParamAccess::ReadWrite);
    capabilities.parameters[toInt(code1)] = readWrite;
    capabilities.parameters[toInt(code2)] = readWrite;
    capabilities.parameters[toInt(rate)] = toInt(SensorParamAccess::Read);
    capabilities.features.insert(feature);
}

}  // namespace

void addMotionStream(Capabilities& capabilities) {
    addStream(capabilities, SensorCommand::StartMEMS, SensorCommand::StopMEMS, SensorParameter::AccelerometerSens,
              SensorParameter::GyroscopeSens, SensorParameter::SamplingFrequencyMEMS, MotionFeature);
}

void addFpgStream(Capabilities& capabilities) {
    addStream(capabilities, SensorCommand::StartFPG, SensorCommand::StopFPG, SensorParameter::IrAmplitude,
              SensorParameter::RedAmplitude, SensorParameter::SamplingFrequencyFPG, FpgFeature);
}

}  // namespace VexaDevice::Devices
