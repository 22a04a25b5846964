#include "sdk/devices/tessel/TesselWire.hpp"

#include <algorithm>
#include <unordered_map>

#include "sdk/core/ByteReaders.hpp"

namespace VexaDevice::Tessel {

namespace {

constexpr size_t ArgsOffset = 8;

// Replies that only acknowledge a command.
bool isAcknowledgement(uint8_t code) {
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
    case Code::SetSerialNum: return true;
    default: return false;
    }
}

// Stimulator and motion-assistant states: 0, 1 and 2 are known, anything else is 255.
uint8_t knownState(uint8_t state) { return state <= 2 ? state : UnknownSetting; }

OpCmdRes reply(uint8_t code, ReplyPayload payload) { return OpCmdRes{1, code, std::move(payload)}; }

}  // namespace

std::string commandName(uint8_t code) {
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

std::string deviceErrorName(int32_t code) {
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
    if (code == Utility::kSpacedErrors.dataSend) return Utility::kSpacedErrors.nameOf(code);
    const auto found = names.find(code);
    return found == names.end() ? "UNKNOWN" : found->second;
}

OperationResult deviceResult(const OpCmdRes& reply) {
    if (const auto* error = std::get_if<DeviceError>(&reply.payload))
        return OperationResult{reply.ok, error->code, "Device error: [" + deviceErrorName(error->code) + "]"};
    return OperationResult{reply.ok, 0, {}};
}

uint8_t frameChecksum(std::span<const uint8_t, 7> head) {
    unsigned sum = 0;
    for (const uint8_t byte : head) sum += byte;
    return static_cast<uint8_t>(-sum);
}

std::vector<uint8_t> buildCommandFrame(uint8_t code, const CommandArgs& args, uint32_t serial) {
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

bool isDataReply(const TesselPack& pack) {
    return pack.lead() == FrameMark && (pack.code() == Code::GetBatteryV || pack.code() == Code::GetElectrodeState);
}

EchoInfo decodeEcho(const TesselPack& pack) {
    const uint8_t first = pack.bytes[8];
    return EchoInfo{first & 0x3F,   pack.wordAt(9),         pack.bytes[11],
                    pack.bytes[12], (first & 0x80) ? 0 : 1, pack.wordAt(13)};
}

std::optional<OpCmdRes> decodeReply(const TesselPack& pack, FirmwareVersion firmware) {
    const uint8_t code = pack.code();
    const auto& b = pack.bytes;
    if (code == Code::Error) return OpCmdRes{0, 0, DeviceError{b[8]}};
    if (isAcknowledgement(code)) return reply(code, DeviceError{ErrorCode::NoError});
    switch (code) {
    case Code::GetStimParam:
        return reply(code, StimulationParams{b[9], static_cast<uint16_t>(b[10] * 10), b[11], pack.wordAt(12)});
    case Code::GetShAndStimState: return reply(code, StimulatorAndMAState{knownState(b[8]), knownState(b[9])});
    case Code::GetSensorParam: return reply(code, decodeCapabilities(pack, firmware));
    case Code::GetMemsCalibStatus: return reply(code, b[8] == 1);
    case Code::GetShParam:
        return reply(code, MotionAssistantParams{b[9], b[10], codeUpTo(b[11], 3), static_cast<uint16_t>(b[12] * 10)});
    case Code::GetMotionCounterParam: return reply(code, MotionCounterParams{pack.wordAt(8), pack.wordAt(10)});
    case Code::GetMotionCounterVal: return reply(code, ReplyValue{Utility::decodeSigned(&b[8], 4, true)});
    case Code::Echo: return reply(code, decodeEcho(pack));
    case Code::GetSerialNum:
        return reply(code, ReplyValue{static_cast<int32_t>(Utility::decodeUnsigned(&b[8], 3, true))});
    default: return std::nullopt;
    }
}

uint8_t samplingFrequencyDeviceCode(uint8_t index) {
    return index >= 3 && index <= 9 ? static_cast<uint8_t>(index - 3) : UnknownSetting;
}

uint8_t gainDeviceCode(uint8_t index) {
    static constexpr std::array<uint8_t, 7> DeviceCodeOfGainIndex{1, 2, 3, 4, 0, 5, 6};
    return index < DeviceCodeOfGainIndex.size() ? DeviceCodeOfGainIndex[index] : UnknownSetting;
}

CommandArgs byteArgs(uint8_t value) {
    CommandArgs args{};
    args[0] = value;
    return args;
}

CommandArgs filterArgs(const std::set<uint8_t>& filters) {
    uint8_t mask = 0;
    for (const uint8_t filter : filters)
        if (filter < FilterCount) mask = static_cast<uint8_t>(mask | 1u << filter);
    return byteArgs(mask);
}

CommandArgs stimulationArgs(const StimulationParams& params) {
    CommandArgs args{};
    args[0] = 1;
    args[1] = params.current;
    args[2] = static_cast<uint8_t>(params.pulseWidth / 10);
    args[3] = params.frequency;
    args[4] = static_cast<uint8_t>(params.stimulusDuration & 0xFF);
    args[5] = static_cast<uint8_t>(params.stimulusDuration >> 8);
    return args;
}

CommandArgs motionAssistantArgs(const MotionAssistantParams& params) {
    CommandArgs args{};
    args[1] = params.gyroStart;
    args[2] = params.gyroStop;
    args[3] = codeUpTo(params.limb, 3);
    args[4] = static_cast<uint8_t>(params.minPause / 10);
    return args;
}

CommandArgs motionCounterArgs(const MotionCounterParams& params) {
    CommandArgs args{};
    args[0] = static_cast<uint8_t>(params.counterParam1 & 0xFF);
    args[1] = static_cast<uint8_t>(params.counterParam1 >> 8);
    args[2] = static_cast<uint8_t>(params.counterParam2 & 0xFF);
    args[3] = static_cast<uint8_t>(params.counterParam2 >> 8);
    return args;
}

}  // namespace VexaDevice::Tessel
