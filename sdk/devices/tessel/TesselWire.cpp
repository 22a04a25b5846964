#include "sdk/devices/tessel/TesselWire.hpp"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <unordered_map>

#include "sdk/core/ByteReaders.hpp"
#include "sdk/core/ConversionTables.hpp"

namespace VexaDevice::Tessel {

using Sensor::SensorCommand;
using Sensor::SensorParamAccess;
using Sensor::SensorParameter;
using Sensor::toInt;

namespace {

constexpr uint16_t MotionMark = 0xFFDD;
constexpr uint16_t RespirationMark = 0xFFDE;
constexpr uint16_t QuaternionMark = 0xFFE1;
constexpr uint16_t EnvelopeMark = 0xFFE3;
constexpr size_t ArgsOffset = 8;
constexpr int SignalSamples = 9;

// Parameters the capability list names by number only.
constexpr int32_t EnvelopeParameter = 38;
constexpr int32_t ElectrodeStateParameter = 40;

// Features.
constexpr int32_t SignalFeature = 0;
constexpr int32_t StimulationFeature = 2;
constexpr int32_t RespirationFeature = 3;
constexpr int32_t EnvelopeFeature = 6;

// Module bits of the capability reply.
constexpr uint8_t SignalModule = 0x01;
constexpr uint8_t MotionModule = 0x02;
constexpr uint8_t StimulationModule = 0x04;
constexpr uint8_t RespirationModule = 0x08;

constexpr uint8_t FilterCount = 6;

uint16_t readU16(const TesselPack& pack, size_t at)
{
    return static_cast<uint16_t>(pack.bytes[at] | pack.bytes[at + 1] << 8);
}

int16_t readBigEndianI16(const TesselPack& pack, size_t at)
{
    return static_cast<int16_t>(Utility::decodeSigned(&pack.bytes[at], 2, false));
}

// Replies that only acknowledge a command.
bool isAcknowledgement(uint8_t code)
{
    switch (code) {
    case Code::SetFsam:
    case Code::SwitchFilterState:
    case Code::SwitchAdcInp:
    case Code::SetPgaGain:
    case Code::StartStim:
    case Code::StopStim:
    case Code::SetStimParam:
    case Code::DoCalibration:
    case Code::SetDataOffset:
    case Code::SwitchExtComInputs:
    case Code::SetAccelSens:
    case Code::SetGyroSens:
    case Code::ResetQuatData:
    case Code::StartMemsCalib:
    case Code::StartAdcDataThrow:
    case Code::StopAdcDataThrow:
    case Code::StartMemsDataThrow:
    case Code::StopMemsDataThrow:
    case Code::StartRespDataThrow:
    case Code::StopRespDataThrow:
    case Code::StartQuatDataThrow:
    case Code::StopQuatDataThrow:
    case Code::ActivateApp:
    case Code::ActivateBoot:
    case Code::SetShParam:
    case Code::ShStart:
    case Code::ShStop:
    case Code::SetMotionCounterParam:
    case Code::ResetMotionCounterVal:
    case Code::StartEnvelopeDataThrow:
    case Code::StopEnvelopeDataThrow:
    case Code::FindMe:
    case Code::SetSerialNum:
        return true;
    default:
        return false;
    }
}

// Stimulator and motion-assistant states: 0, 1 and 2 are known, anything else is 255.
uint8_t knownState(uint8_t state)
{
    return state <= 2 ? state : UnknownSetting;
}

uint8_t codeUpTo(uint8_t value, uint8_t highest)
{
    return value <= highest ? value : UnknownSetting;
}

void addParameter(Sensor::ParameterMap& parameters, int32_t parameter, SensorParamAccess access)
{
    parameters.emplace(parameter, toInt(access));  // a listed parameter keeps its first access
}

void addParameter(Sensor::ParameterMap& parameters, SensorParameter parameter, SensorParamAccess access)
{
    addParameter(parameters, toInt(parameter), access);
}

void addCommands(Sensor::CommandSet& commands, std::initializer_list<SensorCommand> added)
{
    for (const SensorCommand command : added)
        commands.insert(toInt(command));
}

void addSignalModule(const TesselPack& pack, FirmwareVersion firmware, TesselCapabilities& caps)
{
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
        if (pack.bytes[11] & (1u << filter))
            caps.filters.insert(filter);
    caps.supportedFilters = newFirmware ? std::set<uint8_t>{0, 1, 2, 3, 4, 5} : std::set<uint8_t>{0};
}

void addMotionModule(const TesselPack& pack, FirmwareVersion firmware, bool stimulation, TesselCapabilities& caps)
{
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

void addStimulationModule(TesselCapabilities& caps)
{
    auto& offered = caps.offered;
    offered.features.insert(StimulationFeature);
    addCommands(offered.commands, {SensorCommand::StartCurrentStimulation, SensorCommand::StopStimulation,
                                   SensorCommand::EnableMotionAssistant, SensorCommand::DisableMotionAssistant});
    addParameter(offered.parameters, SensorParameter::StimulatorAndMAState, SensorParamAccess::Read);
    addParameter(offered.parameters, SensorParameter::StimulatorParamPack, SensorParamAccess::ReadWrite);
    addParameter(offered.parameters, SensorParameter::MotionAssistantParamPack, SensorParamAccess::ReadWrite);
}

void addRespirationModule(TesselCapabilities& caps)
{
    auto& offered = caps.offered;
    offered.features.insert(RespirationFeature);
    addCommands(offered.commands, {SensorCommand::StartRespiration, SensorCommand::StopRespiration});
    addParameter(offered.parameters, SensorParameter::SamplingFrequencyResp, SensorParamAccess::Read);
}

OpCmdRes reply(uint8_t code, ReplyPayload payload)
{
    return OpCmdRes{1, code, std::move(payload)};
}

}  // namespace

std::string commandName(uint8_t code)
{
    static const std::unordered_map<uint8_t, const char*> names{
        {0, "ERROR"},
        {3, "SET_FSAM"},
        {9, "SWITCH_FILTER_STATE"},
        {10, "SWITCH_ADC_INP"},
        {13, "SET_PGA_GAIN"},
        {17, "START_STIM"},
        {18, "STOP_STIM"},
        {19, "SET_STIM_PARAM"},
        {21, "GET_STIM_PARAM"},
        {22, "DO_CALIBRATION"},
        {23, "GET_SH_AND_STIM_STATE"},
        {33, "SET_DATA_OFFSET"},
        {35, "SWITCH_EXT_COM_INPUTS"},
        {36, "GET_SENSOR_PARAM"},
        {37, "SET_ACCEL_SENS"},
        {38, "SET_GYRO_SENS"},
        {41, "RESET_QUAT_DATA"},
        {42, "START_MEMS_CALIB"},
        {43, "GET_MEMS_CALIB_STATUS"},
        {64, "START_ADC_DATA_THROW"},
        {65, "STOP_ADC_DATA_THROW"},
        {66, "START_MEMS_DATA_THROW"},
        {67, "STOP_MEMS_DATA_THROW"},
        {68, "START_RESP_DATA_THROW"},
        {69, "STOP_RESP_DATA_THROW"},
        {70, "GET_ELECTRODE_STATE"},
        {77, "START_QUAT_DATA_THROW"},
        {78, "STOP_QUAT_DATA_THROW"},
        {80, "BOOT_UNLOCK_MEM"},
        {81, "BOOT_ERASE_PAGE"},
        {82, "BOOT_MEM_2_WORDS_WRITE"},
        {83, "BOOT_MEM_2_WORDS_READ"},
        {84, "ACTIVATE_APP"},
        {85, "BOOT_EEPROM_1_WORD_WRITE"},
        {86, "ACTIVATE_BOOT"},
        {112, "SET_SH_PARAM"},
        {113, "SH_START"},
        {114, "SH_STOP"},
        {115, "GET_SH_PARAM"},
        {128, "SET_MOTION_COUNTER_PARAM"},
        {129, "GET_MOTION_COUNTER_PARAM"},
        {130, "GET_MOTION_COUNTER_VAL"},
        {131, "RESET_MOTION_COUNTER_VAL"},
        {135, "START_ENVELOPE_DATA_THROW"},
        {136, "STOP_ENVELOPE_DATA_THROW"},
        {160, "ECHO"},
        {161, "GET_SERIAL_NUM"},
        {164, "GET_BATTERY_V"},
        {167, "FIND_ME"},
        {168, "SET_SERIAL_NUM"},
    };
    const auto found = names.find(code);
    return found == names.end() ? "UNKNOWN" : found->second;
}

std::string deviceErrorName(int32_t code)
{
    static const std::unordered_map<int32_t, const char*> names{
        {0, "DEV_NO_ERROR"},
        {33, "ERR_NO_CMD"},
        {35, "ERR_CS"},
        {37, "ERR_WRONG_PARAM"},
        {38, "ADC_TIMEOUT_ERROR"},
        {40, "ERR_MOD_NOT_EXIST"},
        {42, "ERR_EXT_ADC_ID"},
        {43, "ERR_MEMS_BUF_OVERFLOWED"},
        {48, "ERR_STIM_PARAM_NOT_SET"},
        {49, "ERR_STIM_STIM_ONGOING"},
        {50, "ERR_STIM_SH_ONGOING"},
        {51, "ERR_STIM_OFF"},
        {52, "ERR_KALIB_FAIL"},
        {53, "ERR_CHARGE_FAIL"},
        {56, "ERR_SH_PARAM_NOT_SET"},
        {96, "ERR_BOOT_MEM_ALREADY_OPENED"},
        {97, "ERR_BOOT_MEM_TIMEOUT"},
        {98, "ERR_BOOT_ADDR"},
        {99, "ERR_BOOT_MEM_ERASE"},
        {100, "ERR_BOOT_MEM_WRITE"},
        {101, "ERR_BOOT_CRC"},
    };
    // Of the library's own codes only the failed exchange ever stands in a reply.
    if (code == Utility::kSpacedErrors.dataSend)
        return Utility::kSpacedErrors.nameOf(code);
    const auto found = names.find(code);
    return found == names.end() ? "UNKNOWN" : found->second;
}

OperationResult deviceResult(const OpCmdRes& reply)
{
    if (const auto* error = std::get_if<DeviceError>(&reply.payload))
        return OperationResult{reply.ok, error->code, "Device error: [" + deviceErrorName(error->code) + "]"};
    return OperationResult{reply.ok, 0, {}};
}

uint8_t frameChecksum(std::span<const uint8_t, 7> head)
{
    unsigned sum = 0;
    for (const uint8_t byte : head)
        sum += byte;
    return static_cast<uint8_t>(-sum);
}

std::vector<uint8_t> buildCommandFrame(uint8_t code, const CommandArgs& args, uint32_t serial)
{
    std::vector<uint8_t> frame(TesselPack::Size, 0);
    frame[0] = static_cast<uint8_t>(FrameMark & 0xFF);
    frame[1] = static_cast<uint8_t>(FrameMark >> 8);
    frame[3] = code;
    frame[4] = static_cast<uint8_t>(serial & 0xFF);
    frame[5] = static_cast<uint8_t>((serial >> 8) & 0xFF);
    frame[6] = static_cast<uint8_t>((serial >> 16) & 0xFF);
    frame[7] = frameChecksum(std::span<const uint8_t, 7>(frame.data(), 7));
    std::copy(args.begin(), args.end(), frame.begin() + ArgsOffset);
    return frame;
}

PackKind packKind(const TesselPack& pack)
{
    const uint16_t lead = pack.lead();
    if (lead <= MaxSignalPackNum)
        return PackKind::Signal;
    switch (lead) {
    case MotionMark: return PackKind::Motion;
    case RespirationMark: return PackKind::Respiration;
    case FrameMark: return PackKind::Reply;
    case QuaternionMark: return PackKind::Quaternion;
    case EnvelopeMark: return PackKind::Envelope;
    default: return PackKind::Ignored;
    }
}

bool isDataReply(const TesselPack& pack)
{
    return pack.lead() == FrameMark && (pack.code() == Code::GetBatteryV || pack.code() == Code::GetElectrodeState);
}

EchoInfo decodeEcho(const TesselPack& pack)
{
    const uint8_t first = pack.bytes[8];
    return EchoInfo{first & 0x3F,         readU16(pack, 9), pack.bytes[11], pack.bytes[12],
                    (first & 0x80) ? 0 : 1, readU16(pack, 13)};
}

TesselCapabilities decodeCapabilities(const TesselPack& pack, FirmwareVersion firmware)
{
    TesselCapabilities caps;
    auto& parameters = caps.offered.parameters;
    for (const SensorParameter parameter :
         {SensorParameter::Name, SensorParameter::Address, SensorParameter::SerialNumber, SensorParameter::FirmwareMode,
          SensorParameter::FirmwareVersion, SensorParameter::BattPower})
        addParameter(parameters, parameter, SensorParamAccess::Read);
    addParameter(parameters, SensorParameter::State, SensorParamAccess::ReadNotify);
    addCommands(caps.offered.commands, {SensorCommand::FindMe});

    const uint8_t modules = pack.bytes[8];
    if (modules & SignalModule)
        addSignalModule(pack, firmware, caps);
    if (modules & MotionModule)
        addMotionModule(pack, firmware, (modules & StimulationModule) != 0, caps);
    if (modules & StimulationModule)
        addStimulationModule(caps);
    if (modules & RespirationModule)
        addRespirationModule(caps);
    return caps;
}

std::optional<OpCmdRes> decodeReply(const TesselPack& pack, FirmwareVersion firmware)
{
    const uint8_t code = pack.code();
    const auto& b = pack.bytes;
    if (code == Code::Error)
        return OpCmdRes{0, 0, DeviceError{b[8]}};
    if (isAcknowledgement(code))
        return reply(code, DeviceError{ErrorCode::NoError});
    switch (code) {
    case Code::GetStimParam:
        return reply(code, StimulationParams{b[9], static_cast<uint16_t>(b[10] * 10), b[11], readU16(pack, 12)});
    case Code::GetShAndStimState:
        return reply(code, StimulatorAndMAState{knownState(b[8]), knownState(b[9])});
    case Code::GetSensorParam:
        return reply(code, decodeCapabilities(pack, firmware));
    case Code::GetMemsCalibStatus:
        return reply(code, b[8] == 1);
    case Code::GetShParam:
        return reply(code, MotionAssistantParams{b[9], b[10], codeUpTo(b[11], 3), static_cast<uint16_t>(b[12] * 10)});
    case Code::GetMotionCounterParam:
        return reply(code, MotionCounterParams{readU16(pack, 8), readU16(pack, 10)});
    case Code::GetMotionCounterVal:
        return reply(code, ReplyValue{Utility::decodeSigned(&b[8], 4, true)});
    case Code::Echo:
        return reply(code, decodeEcho(pack));
    case Code::GetSerialNum:
        return reply(code, ReplyValue{static_cast<int32_t>(Utility::decodeUnsigned(&b[8], 3, true))});
    default:
        return std::nullopt;
    }
}

uint8_t samplingFrequencyDeviceCode(uint8_t index)
{
    return index >= 3 && index <= 9 ? static_cast<uint8_t>(index - 3) : UnknownSetting;
}

uint8_t gainDeviceCode(uint8_t index)
{
    static constexpr std::array<uint8_t, 7> DeviceCodeOfGainIndex{1, 2, 3, 4, 0, 5, 6};
    return index < DeviceCodeOfGainIndex.size() ? DeviceCodeOfGainIndex[index] : UnknownSetting;
}

CommandArgs byteArgs(uint8_t value)
{
    CommandArgs args{};
    args[0] = value;
    return args;
}

CommandArgs filterArgs(const std::set<uint8_t>& filters)
{
    uint8_t mask = 0;
    for (const uint8_t filter : filters)
        if (filter < FilterCount)
            mask = static_cast<uint8_t>(mask | 1u << filter);
    return byteArgs(mask);
}

CommandArgs stimulationArgs(const StimulationParams& params)
{
    CommandArgs args{};
    args[0] = 1;
    args[1] = params.current;
    args[2] = static_cast<uint8_t>(params.pulseWidth / 10);
    args[3] = params.frequency;
    args[4] = static_cast<uint8_t>(params.stimulusDuration & 0xFF);
    args[5] = static_cast<uint8_t>(params.stimulusDuration >> 8);
    return args;
}

CommandArgs motionAssistantArgs(const MotionAssistantParams& params)
{
    CommandArgs args{};
    args[1] = params.gyroStart;
    args[2] = params.gyroStop;
    args[3] = codeUpTo(params.limb, 3);
    args[4] = static_cast<uint8_t>(params.minPause / 10);
    return args;
}

CommandArgs motionCounterArgs(const MotionCounterParams& params)
{
    CommandArgs args{};
    args[0] = static_cast<uint8_t>(params.counterParam1 & 0xFF);
    args[1] = static_cast<uint8_t>(params.counterParam1 >> 8);
    args[2] = static_cast<uint8_t>(params.counterParam2 & 0xFF);
    args[3] = static_cast<uint8_t>(params.counterParam2 >> 8);
    return args;
}

uint16_t batteryMillivolts(const TesselPack& pack)
{
    return readU16(pack, 8);
}

int32_t batteryPercentFromMillivolts(uint32_t millivolts)
{
    struct Point {
        uint32_t millivolts;
        int32_t percent;
    };
    static constexpr std::array<Point, 21> Curve{{{3130, 0},  {3568, 5},  {3650, 10}, {3710, 15}, {3750, 20},
                                                  {3770, 25}, {3785, 30}, {3799, 35}, {3808, 40}, {3820, 45},
                                                  {3832, 50}, {3855, 55}, {3867, 60}, {3890, 65}, {3937, 70},
                                                  {3970, 75}, {3996, 80}, {4022, 85}, {4060, 90}, {4100, 95},
                                                  {4150, 100}}};
    if (millivolts <= Curve.front().millivolts)
        return 0;
    if (millivolts >= Curve.back().millivolts)
        return 100;
    const auto above = std::upper_bound(Curve.begin(), Curve.end(), millivolts,
                                        [](uint32_t value, const Point& point) { return value < point.millivolts; });
    const Point& low = *(above - 1);
    if (millivolts == low.millivolts)
        return low.percent;
    const double share = static_cast<double>(millivolts - low.millivolts) * 5.0 /
                         static_cast<double>(above->millivolts - low.millivolts);
    return static_cast<int32_t>(std::lround(low.percent + share));
}

ElectrodeState decodeElectrodeState(const TesselPack& pack)
{
    return pack.bytes[8] != 0 ? ElectrodeState::Detached : ElectrodeState::Normal;
}

_SignalData decodeSignal(const TesselPack& pack, double gainFactor, uint8_t offset)
{
    _SignalData record;
    record.PackNum = pack.lead();
    record.Samples.reserve(SignalSamples);
    const double scale = std::ldexp(VoltsPerCount, offset) / gainFactor;
    for (int i = 0; i < SignalSamples; ++i)
        record.Samples.push_back(static_cast<int16_t>(readU16(pack, 2 + 2 * static_cast<size_t>(i))) * scale);
    return record;
}

_RespirationData decodeRespiration(const TesselPack& pack)
{
    return _RespirationData{readU16(pack, 2), {Utility::decodeSigned(&pack.bytes[4], 3, true) * VoltsPerCount}, true};
}

_EnvelopeData decodeEnvelope(const TesselPack& pack)
{
    return _EnvelopeData{readU16(pack, 2), Utility::decodeSigned(&pack.bytes[4], 3, true) * VoltsPerCount, true};
}

_MEMSData decodeMotion(const TesselPack& pack, uint8_t accelSens, uint8_t gyroSens)
{
    const double fullScale = Utility::bitnessToFullScale(2);
    const double accel = Utility::accelSensitivityToG(accelSens) / fullScale;
    const double gyro = Utility::gyroSensitivityToDps(gyroSens) / fullScale;
    return _MEMSData{readU16(pack, 2),
                     readBigEndianI16(pack, 8) * accel,
                     readBigEndianI16(pack, 10) * accel,
                     readBigEndianI16(pack, 12) * accel,
                     readBigEndianI16(pack, 14) * gyro,
                     readBigEndianI16(pack, 16) * gyro,
                     readBigEndianI16(pack, 18) * gyro,
                     true};
}

_QuaternionData decodeQuaternion(const TesselPack& pack)
{
    std::array<float, 4> components{};
    for (size_t i = 0; i < components.size(); ++i) {
        const uint32_t bits = Utility::decodeUnsigned(&pack.bytes[4 + 4 * i], 4, true);
        std::memcpy(&components[i], &bits, sizeof(float));
    }
    return _QuaternionData{readU16(pack, 2), components[0], components[1], components[2], components[3], true};
}

PackLists classifyPacks(std::span<const TesselPack> packs)
{
    PackLists lists;
    for (const TesselPack& pack : packs) {
        switch (packKind(pack)) {
        case PackKind::Signal: lists.signal.push_back(pack); break;
        case PackKind::Motion: lists.motion.push_back(pack); break;
        case PackKind::Respiration: lists.respiration.push_back(pack); break;
        case PackKind::Quaternion: lists.quaternion.push_back(pack); break;
        case PackKind::Envelope: lists.envelope.push_back(pack); break;
        case PackKind::Reply:
            if (pack.code() == Code::GetBatteryV)
                lists.battery.push_back(pack);
            else if (pack.code() == Code::GetElectrodeState)
                lists.electrode.push_back(pack);
            break;
        case PackKind::Ignored: break;
        }
    }
    return lists;
}

}  // namespace VexaDevice::Tessel
