#include "sdk/devices/common/StreamCapabilities.hpp"

#include <vector>

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

Sensor::ParameterMap withIdentityParameters(std::initializer_list<std::pair<int32_t, int32_t>> own) {
    const int32_t read = toInt(SensorParamAccess::Read);
    std::vector<std::pair<int32_t, int32_t>> table{
        {toInt(SensorParameter::Name), read},
        {toInt(SensorParameter::State), toInt(SensorParamAccess::ReadNotify)},
        {toInt(SensorParameter::Address), read},
        {toInt(SensorParameter::SerialNumber), read},
        {toInt(SensorParameter::FirmwareMode), read}};
    table.insert(table.end(), own.begin(), own.end());
    // Built from the whole list at once, as a table written out in full is: the order the host
    // lists a table in follows how it was built.
    return Sensor::ParameterMap(table.begin(), table.end());
}

void addMotionStream(Capabilities& capabilities) {
    addStream(capabilities, SensorCommand::StartMEMS, SensorCommand::StopMEMS, SensorParameter::AccelerometerSens,
              SensorParameter::GyroscopeSens, SensorParameter::SamplingFrequencyMEMS, MotionFeature);
}

void addFpgStream(Capabilities& capabilities) {
    addStream(capabilities, SensorCommand::StartFPG, SensorCommand::StopFPG, SensorParameter::IrAmplitude,
              SensorParameter::RedAmplitude, SensorParameter::SamplingFrequencyFPG, FpgFeature);
}

}  // namespace VexaDevice::Devices
