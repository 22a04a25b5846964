#include "sdk/devices/tessel/TesselCapabilityReply.hpp"

#include <array>
#include <initializer_list>

#include "sdk/devices/common/StreamCapabilities.hpp"
#include "sdk/devices/tessel/TesselWire.hpp"

namespace VexaDevice::Tessel {

using Sensor::SensorCommand;
using Sensor::SensorParamAccess;
using Sensor::SensorParameter;

namespace {

// Parameters the capability list names by number only.
enum NumberedParameter : int32_t { EnvelopeParameter = 38, ElectrodeStateParameter = 40 };

// Features the modules offer.
enum Feature : int32_t { SignalFeature = 0, StimulationFeature = 2, RespirationFeature = 3, EnvelopeFeature = 6 };

// Module bits of the capability reply.
enum ModuleBit : uint8_t {
    SignalModule = 0x01,
    MotionModule = 0x02,
    StimulationModule = 0x04,
    RespirationModule = 0x08
};

void addParameter(Sensor::ParameterMap& parameters, int32_t parameter, SensorParamAccess access) {
    parameters.emplace(parameter, toInt(access));  // a listed parameter keeps its first access
}

void addParameter(Sensor::ParameterMap& parameters, SensorParameter parameter, SensorParamAccess access) {
    addParameter(parameters, toInt(parameter), access);
}

void addCommands(Sensor::CommandSet& commands, std::initializer_list<SensorCommand> added) {
    for (const SensorCommand command : added) commands.insert(toInt(command));
}

void addSignalModule(const TesselPack& pack, FirmwareVersion firmware, TesselCapabilities& caps) {
    auto& offered = caps.offered;
    offered.features.insert(SignalFeature);
    addCommands(offered.commands, {SensorCommand::StartSignal, SensorCommand::StopSignal});
    const bool newFirmware = firmware.major > 33;
    if (newFirmware) {
        addCommands(offered.commands, {SensorCommand::StartEnvelope, SensorCommand::StopEnvelope});
        offered.features.insert(EnvelopeFeature);
        addParameter(offered.parameters, EnvelopeParameter, SensorParamAccess::Read);
    }
    for (const SensorParameter parameter :
         {SensorParameter::SamplingFrequency, SensorParameter::Gain, SensorParameter::Offset,
          SensorParameter::ADCInputState, SensorParameter::ExternalSwitchState, SensorParameter::HardwareFilterState})
        addParameter(offered.parameters, parameter, SensorParamAccess::ReadWrite);
    addParameter(offered.parameters, ElectrodeStateParameter, SensorParamAccess::ReadNotify);

    const uint8_t rate = pack.bytes[9];
    caps.samplingFrequency = rate <= 6 ? static_cast<uint8_t>(rate + 3) : UnknownSetting;
    static constexpr std::array<uint8_t, 7> GainIndexOfDeviceCode{4, 0, 1, 2, 3, 5, 6};
    const uint8_t gain = pack.bytes[12];
    caps.gain = gain < GainIndexOfDeviceCode.size() ? GainIndexOfDeviceCode[gain] : UnknownSetting;
    caps.dataOffset = pack.bytes[13] < 9 ? pack.bytes[13] : UnknownSetting;
    const uint8_t adc = pack.bytes[10];
    caps.adcInput = adc == 0 || adc == 2 || adc == 3 ? adc : 1;
    const uint8_t externalSwitch = pack.bytes[14];
    caps.externalSwitch = externalSwitch >= 1 && externalSwitch <= 3 ? externalSwitch : 0;
    for (uint8_t filter = 0; filter < FilterCount; ++filter)
        if (pack.bytes[11] & (1u << filter)) caps.filters.insert(filter);
    caps.supportedFilters = newFirmware ? std::set<uint8_t>{0, 1, 2, 3, 4, 5} : std::set<uint8_t>{0};
}

void addMotionModule(const TesselPack& pack, FirmwareVersion firmware, bool stimulation, TesselCapabilities& caps) {
    auto& offered = caps.offered;
    Devices::addMotionStream(offered);
    addCommands(offered.commands, {SensorCommand::CalibrateMEMS});
    if (!stimulation) {
        addCommands(offered.commands,
                    {SensorCommand::StartAngle, SensorCommand::StopAngle, SensorCommand::ResetQuaternion});
        if (firmware > FirmwareVersion{33, 202}) {
            addCommands(offered.commands, {SensorCommand::ResetMotionCounter});
            addParameter(offered.parameters, SensorParameter::MotionCounter, SensorParamAccess::Read);
            addParameter(offered.parameters, SensorParameter::MotionCounterParamPack, SensorParamAccess::ReadWrite);
        }
    }
    addParameter(offered.parameters, SensorParameter::MEMSCalibrationStatus, SensorParamAccess::Read);
    caps.accelSens = codeUpTo(pack.bytes[16], 3);
    caps.gyroSens = codeUpTo(pack.bytes[17], 3);
}

void addStimulationModule(TesselCapabilities& caps) {
    auto& offered = caps.offered;
    offered.features.insert(StimulationFeature);
    addCommands(offered.commands, {SensorCommand::StartCurrentStimulation, SensorCommand::StopStimulation,
                                   SensorCommand::EnableMotionAssistant, SensorCommand::DisableMotionAssistant});
    addParameter(offered.parameters, SensorParameter::StimulatorAndMAState, SensorParamAccess::Read);
    addParameter(offered.parameters, SensorParameter::StimulatorParamPack, SensorParamAccess::ReadWrite);
    addParameter(offered.parameters, SensorParameter::MotionAssistantParamPack, SensorParamAccess::ReadWrite);
}

void addRespirationModule(TesselCapabilities& caps) {
    auto& offered = caps.offered;
    offered.features.insert(RespirationFeature);
    addCommands(offered.commands, {SensorCommand::StartRespiration, SensorCommand::StopRespiration});
    addParameter(offered.parameters, SensorParameter::SamplingFrequencyResp, SensorParamAccess::Read);
}

}  // namespace

TesselCapabilities decodeCapabilities(const TesselPack& pack, FirmwareVersion firmware) {
    TesselCapabilities caps;
    auto& parameters = caps.offered.parameters;
    for (const SensorParameter parameter :
         {SensorParameter::Name, SensorParameter::Address, SensorParameter::SerialNumber, SensorParameter::FirmwareMode,
          SensorParameter::FirmwareVersion, SensorParameter::BattPower})
        addParameter(parameters, parameter, SensorParamAccess::Read);
    addParameter(parameters, SensorParameter::State, SensorParamAccess::ReadNotify);
    addCommands(caps.offered.commands, {SensorCommand::FindMe});

    const uint8_t modules = pack.bytes[8];
    if (modules & SignalModule) addSignalModule(pack, firmware, caps);
    if (modules & MotionModule) addMotionModule(pack, firmware, (modules & StimulationModule) != 0, caps);
    if (modules & StimulationModule) addStimulationModule(caps);
    if (modules & RespirationModule) addRespirationModule(caps);
    return caps;
}

}  // namespace VexaDevice::Tessel
