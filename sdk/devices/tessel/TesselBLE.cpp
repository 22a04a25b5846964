#include "sdk/devices/tessel/TesselBLE.hpp"

#include <algorithm>
#include <array>
#include <stdexcept>

#include <fmt/format.h>

#include "sdk/core/ConversionTables.hpp"
#include "sdk/core/Log.hpp"
#include "sdk/core/RtException.hpp"
#include "sdk/devices/common/CreationFailure.hpp"

namespace VexaDevice::Tessel {

using Sensor::SensorCommand;
using Sensor::SensorParamAccess;
using Sensor::SensorParameter;
using Sensor::toInt;

namespace {

const char* const DeviceName = "Tessel BLE Device";
constexpr int CommandRetries = 3;
constexpr auto ElectrodeStateParameter = static_cast<SensorParameter>(40);
// Parameter 28: the motion sampling frequency, listed with the motion module.
constexpr auto MotionRateParameter = SensorParameter::SamplingFrequencyMEMS;

constexpr std::array<SignalPreset, SignalTypeCount> Presets{{
    {4, 3, 1},
    {4, 3, 1},
    {4, 3, 1},
    {4, 8, 1},
    {4, 4, 2},
    {4, 4, 3},
    {5, 8, 2},
}};

OperationResult wrongValue(const char* text) {
    return OperationResult::failed(Utility::kSpacedErrors.wrongParamValue, text);
}

// The commands a sensor command runs.
std::optional<uint8_t> codeOf(SensorCommand command) {
    switch (command) {
    case SensorCommand::StartSignal: return Code::StartAdcDataThrow;
    case SensorCommand::StopSignal: return Code::StopAdcDataThrow;
    case SensorCommand::StartMEMS: return Code::StartMemsDataThrow;
    case SensorCommand::StopMEMS: return Code::StopMemsDataThrow;
    case SensorCommand::StartRespiration: return Code::StartRespDataThrow;
    case SensorCommand::StopRespiration: return Code::StopRespDataThrow;
    case SensorCommand::StartCurrentStimulation: return Code::StartStim;
    case SensorCommand::StopStimulation: return Code::StopStim;
    case SensorCommand::EnableMotionAssistant: return Code::ShStart;
    case SensorCommand::DisableMotionAssistant: return Code::ShStop;
    case SensorCommand::FindMe: return Code::FindMe;
    case SensorCommand::StartAngle: return Code::StartQuatDataThrow;
    case SensorCommand::StopAngle: return Code::StopQuatDataThrow;
    case SensorCommand::CalibrateMEMS: return Code::StartMemsCalib;
    case SensorCommand::ResetQuaternion: return Code::ResetQuatData;
    case SensorCommand::StartEnvelope: return Code::StartEnvelopeDataThrow;
    case SensorCommand::StopEnvelope: return Code::StopEnvelopeDataThrow;
    case SensorCommand::ResetMotionCounter: return Code::ResetMotionCounterVal;
    case SensorCommand::CalibrateStimulation: return Code::DoCalibration;
    default: return std::nullopt;
    }
}

// The device's service set, or the reason it cannot be driven.
std::shared_ptr<ITesselGattInfo> requireGattInfo(const std::shared_ptr<BLE::IBLEDevice>& device) {
    try {
        if (!device) throw std::invalid_argument("BLE device cannot be null");
        auto info = makeTesselGattInfo(*device);
        if (!info) throw Utility::rt_exception("The device offers no Tessel service.");
        return info;
    } catch (...) {
        Devices::rethrowDeviceCreationFailure(std::current_exception(), DeviceName);
    }
}

}  // namespace

uint8_t recogniseSignalType(uint8_t gain, uint8_t dataOffset, uint8_t externalSwitch, bool filtersOff) {
    // The settings each type is recognised by. Types 1 and 2 share the preset of type 0 and are
    // recognised as 0; type 4 is recognised with the external switch at 1, not at the 2 it is
    // applied with.
    struct Recognised {
        SignalPreset settings;
        uint8_t type;
    };
    static constexpr std::array<Recognised, 5> Table{{
        {{4, 3, 1}, 0},
        {{4, 8, 1}, 3},
        {{5, 8, 2}, 6},
        {{4, 4, 1}, 4},
        {{4, 4, 3}, 5},
    }};
    if (!filtersOff) return UnknownSignalType;
    for (const auto& [settings, type] : Table) {
        if (settings.gain == gain && settings.dataOffset == dataOffset && settings.externalSwitch == externalSwitch)
            return type;
    }
    return UnknownSignalType;
}

TesselBLE::TesselBLE(std::shared_ptr<BLE::IBLEDevice> device, const TesselTiming& timing)
    : TesselBLE(requireGattInfo(device), device, timing) {}

TesselBLE::TesselBLE(std::shared_ptr<ITesselGattInfo> gattInfo, std::shared_ptr<BLE::IBLEDevice> device,
                     const TesselTiming& timing)
    : FamilyDevice(std::move(device), DeviceName,
                   [&gattInfo, &timing](const std::shared_ptr<BLE::IBLEDevice>&, BLE::ChannelMap& channels) {
                       BLE::ServiceChannels& service = channels[gattInfo->service()];
                       return TesselBleProtocol::create(service[gattInfo->rxCharacteristicUuid()],
                                                        service[gattInfo->txCharacteristicUuid()], timing);
                   },
                   {SensorCommand::StopSignal, SensorCommand::StopStimulation, SensorCommand::DisableMotionAssistant,
                    SensorCommand::StopEnvelope, SensorCommand::StopMEMS, SensorCommand::StopAngle}),
      gattInfo_(std::move(gattInfo)) {
    const auto caps = protocol().capabilities();
    signalType_ = recogniseSignalType(caps->gain, caps->dataOffset, caps->externalSwitch, caps->filters.empty());
}

TesselBLE::~TesselBLE() { release({"Tessel", true, true}); }

OperationResult TesselBLE::execCommand(const SensorCommand& command) {
    Utility::sdkLog().debug("execCommand: [{}]", Sensor::commandToString(command));
    const auto code = codeOf(command);
    if (!code) return OperationResult{0, 0, {}};
    if (auto check = protocol().checkCommand(command); !check) return check;
    const auto lock = protocol().lockCommands();
    OperationResult result = send(*code);
    if (command == SensorCommand::StartSignal) protocol().packCounter().reset();
    return result;
}

OperationResult TesselBLE::send(uint8_t code, const CommandArgs& args) {
    return deviceResult(protocol().execCommand(code, args, CommandRetries));
}

std::set<uint8_t> TesselBLE::supportedFilters() { return protocol().capabilities()->supportedFilters; }

OperationResult TesselBLE::writeSignalSettings(uint8_t type) {
    if (type > UnknownSignalType) return wrongValue("Failed setSignalType. Wrong param value");
    constexpr uint8_t ElectrodeWatch = 3;
    if (auto result = writeADCInput(ElectrodeWatch); !result) return result;
    if (auto result = writeHardwareFilters({}); !result) return result;
    // Type 7 has no preset: the input and the filters are all it sets.
    if (type == UnknownSignalType) {
        signalType_ = type;
        return OperationResult::done();
    }
    const SignalPreset& preset = Presets[type];
    if (auto result = writeGain(preset.gain); !result) return result;
    if (auto result = writeDataOffset(preset.dataOffset); !result) return result;
    if (auto result = writeExternalSwitch(preset.externalSwitch); !result) return result;
    signalType_ = type;
    return OperationResult::done();
}

OperationResult TesselBLE::readSetting(SensorParameter parameter, uint8_t TesselCapabilities::*field, uint8_t& out) {
    if (auto check = protocol().checkParameter(parameter, SensorParamAccess::Read); !check) return check;
    return Devices::give(out, protocol().capabilities().get()->*field);
}

template <class Payload>
OperationResult TesselBLE::ask(SensorParameter parameter, uint8_t code, Payload& out) {
    if (auto check = protocol().checkParameter(parameter, SensorParamAccess::Read); !check) return check;
    const auto lock = protocol().lockCommands();
    const OpCmdRes reply = protocol().execCommand(code, {}, CommandRetries);
    OperationResult result = deviceResult(reply);
    if (result) out = std::get<Payload>(reply.payload);
    return result;
}

OperationResult TesselBLE::writeSetting(SensorParameter parameter, uint8_t TesselCapabilities::*field, uint8_t value,
                                        bool valid, const char* wrongValueText, uint8_t code, uint8_t deviceValue) {
    if (auto check = protocol().checkParameter(parameter, SensorParamAccess::ReadWrite); !check) return check;
    if (!valid) return wrongValue(wrongValueText);
    const auto lock = protocol().lockCommands();
    if (protocol().capabilities().get()->*field == value) return OperationResult::done();
    OperationResult result = send(code, byteArgs(deviceValue));
    if (result) protocol().updateCapabilities([field, value](TesselCapabilities& caps) { caps.*field = value; });
    return result;
}

OperationResult TesselBLE::readSerialNumber(std::string& out) {
    if (auto check = protocol().checkParameter(SensorParameter::SerialNumber, SensorParamAccess::Read); !check)
        return check;
    return Devices::give(out, fmt::format("{:06X}", protocol().serialNumber()));
}

OperationResult TesselBLE::readHardwareFilters(std::set<uint8_t>& out) {
    if (auto check = protocol().checkParameter(SensorParameter::HardwareFilterState, SensorParamAccess::Read); !check)
        return check;
    return Devices::give(out, protocol().capabilities()->filters);
}

OperationResult TesselBLE::readFirmwareMode(uint8_t& out) {
    if (auto check = protocol().checkParameter(SensorParameter::FirmwareMode, SensorParamAccess::Read); !check)
        return check;
    return Devices::give(out, static_cast<uint8_t>(protocol().firmwareMode()));
}

OperationResult TesselBLE::readSamplingFrequency(uint8_t& out) {
    return readSetting(SensorParameter::SamplingFrequency, &TesselCapabilities::samplingFrequency, out);
}

OperationResult TesselBLE::readGain(uint8_t& out) {
    return readSetting(SensorParameter::Gain, &TesselCapabilities::gain, out);
}

OperationResult TesselBLE::readDataOffset(uint8_t& out) {
    return readSetting(SensorParameter::Offset, &TesselCapabilities::dataOffset, out);
}

OperationResult TesselBLE::readExternalSwitch(uint8_t& out) {
    return readSetting(SensorParameter::ExternalSwitchState, &TesselCapabilities::externalSwitch, out);
}

OperationResult TesselBLE::readADCInput(uint8_t& out) {
    return readSetting(SensorParameter::ADCInputState, &TesselCapabilities::adcInput, out);
}

OperationResult TesselBLE::readAccelerometerSens(uint8_t& out) {
    return readSetting(SensorParameter::AccelerometerSens, &TesselCapabilities::accelSens, out);
}

OperationResult TesselBLE::readGyroscopeSens(uint8_t& out) {
    return readSetting(SensorParameter::GyroscopeSens, &TesselCapabilities::gyroSens, out);
}

OperationResult TesselBLE::readStimulatorAndMAState(StimulatorAndMAState& out) {
    return ask(SensorParameter::StimulatorAndMAState, Code::GetShAndStimState, out);
}

OperationResult TesselBLE::readStimulatorParam(StimulationParams& out) {
    return ask(SensorParameter::StimulatorParamPack, Code::GetStimParam, out);
}

OperationResult TesselBLE::readMotionAssistantParam(MotionAssistantParams& out) {
    return ask(SensorParameter::MotionAssistantParamPack, Code::GetShParam, out);
}

OperationResult TesselBLE::readVersion(EchoInfo& out) {
    if (auto check = protocol().checkParameter(SensorParameter::FirmwareVersion, SensorParamAccess::Read); !check)
        return check;
    return Devices::give(out, protocol().echo());
}

OperationResult TesselBLE::readMEMSCalibrateState(uint8_t& out) {
    bool calibrated = false;
    OperationResult result = ask(SensorParameter::MEMSCalibrationStatus, Code::GetMemsCalibStatus, calibrated);
    out = calibrated ? 1 : 0;
    return result;
}

OperationResult TesselBLE::readMotionCounterParam(MotionCounterParams& out) {
    if (auto check = protocol().checkParameter(SensorParameter::MotionCounterParamPack, SensorParamAccess::Read);
        !check)
        return check;
    return Devices::give(out, protocol().motionCounterParams());
}

OperationResult TesselBLE::readMotionCounter(int32_t& out) {
    ReplyValue counter;
    OperationResult result = ask(SensorParameter::MotionCounter, Code::GetMotionCounterVal, counter);
    out = counter.value;
    return result;
}

OperationResult TesselBLE::readBattPower(int32_t& out) {
    if (auto check = protocol().checkParameter(SensorParameter::BattPower, SensorParamAccess::Read); !check)
        return check;
    // Before the device's first battery report there is no level to give (its request has had
    // no answer yet): 0 would pass for an empty battery.
    if (!protocol().batteryKnown())
        return OperationResult::failed(Utility::kSpacedErrors.dataSend, "Device error: [ERR_DATA_SEND]");
    return Devices::give(out, protocol().batteryPercent());
}

OperationResult TesselBLE::readSamplingFrequencyMEMS(uint8_t& out) {
    const bool listed = protocol().capabilities()->offered.parameters.contains(toInt(MotionRateParameter));
    return Devices::give(out, static_cast<uint8_t>(listed ? 2 : UnknownSetting));
}

OperationResult TesselBLE::readSamplingFrequencyResp(uint8_t& out) {
    const bool listed =
        protocol().capabilities()->offered.parameters.contains(toInt(SensorParameter::SamplingFrequencyResp));
    return Devices::give(out, static_cast<uint8_t>(listed ? 1 : UnknownSetting));
}

OperationResult TesselBLE::readSamplingFrequencyEnvelope(uint8_t& out) {
    const bool listed =
        protocol().capabilities()->offered.parameters.contains(toInt(SensorParameter::SamplingFrequency));
    return Devices::give(out, static_cast<uint8_t>(listed ? 1 : UnknownSetting));
}

OperationResult TesselBLE::readElectrodeState(uint8_t& out) {
    if (auto check = protocol().checkParameter(ElectrodeStateParameter, SensorParamAccess::Read); !check) return check;
    return Devices::give(out, static_cast<uint8_t>(protocol().electrodeState()));
}

OperationResult TesselBLE::writeFirmwareMode(const uint8_t&) {
    // The capability list never makes the firmware mode writable.
    return protocol().checkParameter(SensorParameter::FirmwareMode, SensorParamAccess::ReadWrite);
}

OperationResult TesselBLE::writeHardwareFilters(const std::set<uint8_t>& filters) {
    if (auto check = protocol().checkParameter(SensorParameter::HardwareFilterState, SensorParamAccess::ReadWrite);
        !check)
        return check;
    const auto caps = protocol().capabilities();
    if (!std::includes(caps->supportedFilters.begin(), caps->supportedFilters.end(), filters.begin(), filters.end()))
        return wrongValue("Failed setFilters. Wrong param value");
    const auto lock = protocol().lockCommands();
    if (protocol().capabilities()->filters == filters) return OperationResult::done();
    OperationResult result = send(Code::SwitchFilterState, filterArgs(filters));
    if (result) protocol().updateCapabilities([&filters](TesselCapabilities& c) { c.filters = filters; });
    return result;
}

OperationResult TesselBLE::writeSamplingFrequency(const uint8_t& index) {
    OperationResult result = writeSetting(
        SensorParameter::SamplingFrequency, &TesselCapabilities::samplingFrequency, index, index >= 3 && index <= 9,
        "Failed setSignalFrequency. Wrong param value", Code::SetFsam, samplingFrequencyDeviceCode(index));
    if (result)
        protocol().packCounter().setSamplingFrequency(static_cast<uint64_t>(Utility::samplingFrequencyToHz(index)));
    return result;
}

OperationResult TesselBLE::writeGain(const uint8_t& index) {
    return writeSetting(SensorParameter::Gain, &TesselCapabilities::gain, index, index <= 6,
                        "Failed setPGAGain. Wrong param value", Code::SetPgaGain, gainDeviceCode(index));
}

OperationResult TesselBLE::writeDataOffset(const uint8_t& offset) {
    return writeSetting(SensorParameter::Offset, &TesselCapabilities::dataOffset, offset, offset <= 8,
                        "Failed setDataOffset. Wrong param value", Code::SetDataOffset, offset);
}

OperationResult TesselBLE::writeExternalSwitch(const uint8_t& value) {
    return writeSetting(SensorParameter::ExternalSwitchState, &TesselCapabilities::externalSwitch, value, value <= 3,
                        "Failed setExtComInput. Wrong param value", Code::SwitchExtComInputs, value);
}

OperationResult TesselBLE::writeADCInput(const uint8_t& value) {
    return writeSetting(SensorParameter::ADCInputState, &TesselCapabilities::adcInput, value, value <= 3,
                        "Failed setADCInput. Wrong param value", Code::SwitchAdcInp, value);
}

OperationResult TesselBLE::writeAccelerometerSens(const uint8_t& code) {
    return writeSetting(SensorParameter::AccelerometerSens, &TesselCapabilities::accelSens, code, code <= 3,
                        "Failed setAccSens. Wrong param value", Code::SetAccelSens, code);
}

OperationResult TesselBLE::writeGyroscopeSens(const uint8_t& code) {
    return writeSetting(SensorParameter::GyroscopeSens, &TesselCapabilities::gyroSens, code, code <= 3,
                        "Failed setGyroSens. Wrong param value", Code::SetGyroSens, code);
}

OperationResult TesselBLE::writeStimulatorParam(const StimulationParams& params) {
    if (auto check = protocol().checkParameter(SensorParameter::StimulatorParamPack, SensorParamAccess::ReadWrite);
        !check)
        return check;
    const bool inRange = params.current >= 1 && params.current <= 100 && params.pulseWidth >= 20 &&
                         params.pulseWidth <= 460 && params.frequency >= 1 && params.frequency <= 200;
    if (!inRange || uint64_t{params.current} * params.pulseWidth * params.frequency >= 2300100)
        return wrongValue("Failed setStimulationParams. Wrong param value");
    const auto lock = protocol().lockCommands();
    if (protocol().firmwareVersion() < FirmwareVersion{42, 12}) {
        if (auto stopped = send(Code::StopStim); !stopped) return stopped;
    }
    return send(Code::SetStimParam, stimulationArgs(params));
}

OperationResult TesselBLE::writeMotionAssistantParam(const MotionAssistantParams& params) {
    if (auto check = protocol().checkParameter(SensorParameter::MotionAssistantParamPack, SensorParamAccess::ReadWrite);
        !check)
        return check;
    // The pause travels in tens in one byte.
    if (params.gyroStart < 10 || params.gyroStart > 90 || params.gyroStop < 5 || params.gyroStop > 85 ||
        params.minPause > 2550)
        return wrongValue("Failed setStimulationParams. Wrong param value");
    const auto lock = protocol().lockCommands();
    return send(Code::SetShParam, motionAssistantArgs(params));
}

OperationResult TesselBLE::writeMotionCounterParam(const MotionCounterParams& params) {
    if (auto check = protocol().checkParameter(SensorParameter::MotionCounterParamPack, SensorParamAccess::ReadWrite);
        !check)
        return check;
    if (params.counterParam1 > 500 || params.counterParam2 > 500)
        return wrongValue("Failed setMotionCounterParam. Wrong param value");
    const auto lock = protocol().lockCommands();
    if (protocol().motionCounterParams() == params) return OperationResult::done();
    OperationResult result = send(Code::SetMotionCounterParam, motionCounterArgs(params));
    if (result) protocol().setMotionCounterParams(params);
    return result;
}

}  // namespace VexaDevice::Tessel
