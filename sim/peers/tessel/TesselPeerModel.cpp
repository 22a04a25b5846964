#include "sim/peers/tessel/TesselPeerModel.hpp"

#include <cmath>
#include <cstring>

namespace VexaSim {

namespace {

// Command codes the device knows.
enum : uint8_t {
    Error = 0,
    SetFsam = 3,
    SwitchFilterState = 9,
    SwitchAdcInp = 10,
    SetPgaGain = 13,
    StartStim = 17,
    StopStim = 18,
    SetStimParam = 19,
    GetStimParam = 21,
    DoCalibration = 22,
    GetShAndStimState = 23,
    SetDataOffset = 33,
    SwitchExtComInputs = 35,
    GetSensorParam = 36,
    SetAccelSens = 37,
    SetGyroSens = 38,
    ResetQuatData = 41,
    StartMemsCalib = 42,
    GetMemsCalibStatus = 43,
    StartAdc = 64,
    StopAdc = 65,
    StartMems = 66,
    StopMems = 67,
    StartResp = 68,
    StopResp = 69,
    GetElectrodeState = 70,
    StartQuat = 77,
    StopQuat = 78,
    ActivateApp = 84,
    ActivateBoot = 86,
    SetShParam = 112,
    ShStart = 113,
    ShStop = 114,
    GetShParam = 115,
    SetMotionCounterParam = 128,
    GetMotionCounterParam = 129,
    GetMotionCounterVal = 130,
    ResetMotionCounterVal = 131,
    StartEnvelope = 135,
    StopEnvelope = 136,
    Echo = 160,
    GetSerialNum = 161,
    GetBatteryV = 164,
    FindMe = 167,
};

constexpr uint8_t SignalModule = 1;
constexpr uint8_t MotionModule = 2;
constexpr uint8_t StimulationModule = 4;
constexpr uint8_t RespirationModule = 8;
constexpr uint8_t AnyModule = 0;

constexpr size_t PackSize = 20;

void putU16(std::vector<uint8_t>& pack, size_t at, uint16_t value) {
    pack[at] = static_cast<uint8_t>(value & 0xFF);
    pack[at + 1] = static_cast<uint8_t>(value >> 8);
}

void putI24(std::vector<uint8_t>& pack, size_t at, int32_t value) {
    const auto bits = static_cast<uint32_t>(value);
    pack[at] = static_cast<uint8_t>(bits & 0xFF);
    pack[at + 1] = static_cast<uint8_t>((bits >> 8) & 0xFF);
    pack[at + 2] = static_cast<uint8_t>((bits >> 16) & 0xFF);
}

std::vector<uint8_t> dataPack(uint16_t mark, uint32_t packNum) {
    std::vector<uint8_t> pack(PackSize, 0);
    putU16(pack, 0, mark);
    putU16(pack, 2, static_cast<uint16_t>(packNum));
    return pack;
}

}  // namespace

TesselPeerModel::TesselPeerModel(TesselPeerSettings settings) : settings_(std::move(settings)) {}

int16_t TesselPeerModel::signalCount(uint32_t packNum, int index) {
    // A saw tooth per position, steeper for higher positions, covering both signs.
    return static_cast<int16_t>(static_cast<int32_t>((packNum * static_cast<uint32_t>(index + 1) * 97) % 60001) -
                                30000);
}

int32_t TesselPeerModel::respirationCount(uint32_t packNum) {
    return static_cast<int32_t>((packNum * 4099) % 8000001) - 4000000;
}

int32_t TesselPeerModel::envelopeCount(uint32_t packNum) { return static_cast<int32_t>((packNum * 1021) % 1000001); }

int16_t TesselPeerModel::motionCount(uint32_t packNum, int axis) {
    return static_cast<int16_t>(static_cast<int32_t>((packNum * 331 + static_cast<uint32_t>(axis) * 5000) % 40001) -
                                20000);
}

float TesselPeerModel::quaternionComponent(uint32_t packNum, int index) {
    return static_cast<float>(std::sin(0.01 * packNum + index));
}

std::vector<uint8_t> TesselPeerModel::reply(uint8_t code,
                                            std::initializer_list<std::pair<size_t, uint8_t>> bytes) const {
    std::vector<uint8_t> pack(PackSize, 0);
    pack[0] = 0xDF;
    pack[1] = 0xFF;
    pack[3] = code;
    pack[4] = static_cast<uint8_t>(settings_.serial & 0xFF);
    pack[5] = static_cast<uint8_t>((settings_.serial >> 8) & 0xFF);
    pack[6] = static_cast<uint8_t>((settings_.serial >> 16) & 0xFF);
    unsigned sum = 0;
    for (size_t i = 0; i < 7; ++i) sum += pack[i];
    pack[7] = static_cast<uint8_t>(-sum);
    for (const auto& [at, value] : bytes) pack[at] = value;
    return pack;
}

std::vector<uint8_t> TesselPeerModel::error(uint8_t code, uint8_t refused) const {
    uint8_t byte9 = refused;
    if (errorByte9_ == ErrorByte9::Zero)
        byte9 = 0;
    else if (errorByte9_ == ErrorByte9::OtherCommand)
        byte9 = refused == Echo ? FindMe : Echo;
    return reply(Error, {{8, code}, {9, byte9}});
}

std::vector<std::vector<uint8_t>> TesselPeerModel::onCommand(const std::vector<uint8_t>& frame) {
    if (silent_) return {};
    const uint8_t code = frame.size() > 3 ? frame[3] : 0;
    unsigned sum = 0;
    for (size_t i = 0; i < 8 && i < frame.size(); ++i) sum += frame[i];
    if (frame.size() != PackSize || frame[0] != 0xDF || frame[1] != 0xFF || (sum & 0xFF) != 0)
        return {error(ErrChecksum, code)};
    if (refusal_ != 0) return {error(refusal_, code)};
    if (refusedCommands_[code] != 0) return {error(refusedCommands_[code], code)};
    const bool bootCommand = code == Echo || code == GetSerialNum || code == ActivateApp || code == GetBatteryV;
    if (settings_.bootLoader && !bootCommand) return {error(ErrNoCmd, code)};
    return {handle(code, frame)};
}

std::vector<uint8_t> TesselPeerModel::setByte(uint8_t code, uint8_t value, uint8_t highest, uint8_t module,
                                              uint8_t& setting) {
    if (module != AnyModule && !has(module)) return error(ErrModuleMissing, code);
    if (value > highest) return error(ErrWrongParam, code);
    setting = value;
    return reply(code);
}

std::vector<uint8_t> TesselPeerModel::stream(uint8_t code, uint8_t module, bool& flag, bool on) {
    if (!has(module)) return error(ErrModuleMissing, code);
    flag = on;
    return reply(code);
}

std::vector<uint8_t> TesselPeerModel::handle(uint8_t code, const std::vector<uint8_t>& frame) {
    TesselPeerSettings& s = settings_;
    const uint8_t arg = frame[8];
    switch (code) {
    case GetSerialNum:
        return reply(code, {{8, static_cast<uint8_t>(s.serial & 0xFF)},
                            {9, static_cast<uint8_t>((s.serial >> 8) & 0xFF)},
                            {10, static_cast<uint8_t>((s.serial >> 16) & 0xFF)}});
    case Echo:
        return reply(code, {{8, static_cast<uint8_t>((s.major & 0x3F) | (s.bootLoader ? 0x80 : 0x00))},
                            {9, static_cast<uint8_t>(s.minor & 0xFF)},
                            {10, static_cast<uint8_t>(s.minor >> 8)},
                            {11, s.third},
                            {12, s.fourth},
                            {13, static_cast<uint8_t>(s.last & 0xFF)},
                            {14, static_cast<uint8_t>(s.last >> 8)}});
    case ActivateApp: s.bootLoader = false; return reply(code);
    case ActivateBoot: s.bootLoader = true; return reply(code);
    case GetBatteryV:
        return reply(code, {{8, static_cast<uint8_t>(s.batteryMillivolts & 0xFF)},
                            {9, static_cast<uint8_t>(s.batteryMillivolts >> 8)}});
    case GetElectrodeState: return reply(code, {{8, static_cast<uint8_t>(s.electrodesDetached ? 1 : 0)}});
    case GetSensorParam:
        return reply(code, {{8, s.modules},
                            {9, s.rateCode},
                            {10, s.adcInput},
                            {11, s.filterMask},
                            {12, s.gainCode},
                            {13, s.dataOffset},
                            {14, s.externalSwitch},
                            {16, s.accelSens},
                            {17, s.gyroSens}});
    case SetFsam: return setByte(code, arg, 6, SignalModule, s.rateCode);
    case SetPgaGain: return setByte(code, arg, 6, SignalModule, s.gainCode);
    case SetDataOffset: return setByte(code, arg, 8, SignalModule, s.dataOffset);
    case SwitchAdcInp: return setByte(code, arg, 3, SignalModule, s.adcInput);
    case SwitchExtComInputs: return setByte(code, arg, 3, SignalModule, s.externalSwitch);
    case SwitchFilterState: return setByte(code, arg, 0x3F, SignalModule, s.filterMask);
    case SetAccelSens: return setByte(code, arg, 3, MotionModule, s.accelSens);
    case SetGyroSens: return setByte(code, arg, 3, MotionModule, s.gyroSens);
    case StartAdc: return stream(code, SignalModule, signal_, true);
    case StopAdc: return stream(code, SignalModule, signal_, false);
    case StartEnvelope: return stream(code, SignalModule, envelope_, true);
    case StopEnvelope: return stream(code, SignalModule, envelope_, false);
    case StartMems: return stream(code, MotionModule, motion_, true);
    case StopMems: return stream(code, MotionModule, motion_, false);
    case StartQuat: return stream(code, MotionModule, quaternion_, true);
    case StopQuat: return stream(code, MotionModule, quaternion_, false);
    case StartResp: return stream(code, RespirationModule, respiration_, true);
    case StopResp: return stream(code, RespirationModule, respiration_, false);
    case ResetQuatData:
    case StartMemsCalib:
        if (!has(MotionModule)) return error(ErrModuleMissing, code);
        calibrated_ = calibrated_ || code == StartMemsCalib;
        return reply(code);
    case GetMemsCalibStatus:
        return has(MotionModule) ? reply(code, {{8, static_cast<uint8_t>(calibrated_ ? 1 : 0)}})
                                 : error(ErrModuleMissing, code);
    case SetMotionCounterParam:
        s.counterParam1 = static_cast<uint16_t>(frame[8] | frame[9] << 8);
        s.counterParam2 = static_cast<uint16_t>(frame[10] | frame[11] << 8);
        return reply(code);
    case GetMotionCounterParam:
        return reply(code, {{8, static_cast<uint8_t>(s.counterParam1 & 0xFF)},
                            {9, static_cast<uint8_t>(s.counterParam1 >> 8)},
                            {10, static_cast<uint8_t>(s.counterParam2 & 0xFF)},
                            {11, static_cast<uint8_t>(s.counterParam2 >> 8)}});
    case GetMotionCounterVal: {
        const auto value = static_cast<uint32_t>(s.motionCounter);
        return reply(code, {{8, static_cast<uint8_t>(value & 0xFF)},
                            {9, static_cast<uint8_t>((value >> 8) & 0xFF)},
                            {10, static_cast<uint8_t>((value >> 16) & 0xFF)},
                            {11, static_cast<uint8_t>(value >> 24)}});
    }
    case ResetMotionCounterVal: s.motionCounter = 0; return reply(code);
    case SetStimParam:
        if (!has(StimulationModule)) return error(ErrModuleMissing, code);
        std::memcpy(s.stimulation.data(), &frame[8], s.stimulation.size());
        return reply(code);
    case GetStimParam:
        if (!has(StimulationModule)) return error(ErrModuleMissing, code);
        return reply(code, {{8, s.stimulation[0]},
                            {9, s.stimulation[1]},
                            {10, s.stimulation[2]},
                            {11, s.stimulation[3]},
                            {12, s.stimulation[4]},
                            {13, s.stimulation[5]}});
    case StartStim:
        if (!has(StimulationModule)) return error(ErrModuleMissing, code);
        if (s.stimulation[0] == 0) return error(ErrStimParamNotSet, code);
        stimulatorState_ = 1;
        return reply(code);
    case StopStim: stimulatorState_ = 0; return reply(code);
    case DoCalibration: return has(StimulationModule) ? reply(code) : error(ErrModuleMissing, code);
    case SetShParam:
        if (!has(StimulationModule)) return error(ErrModuleMissing, code);
        std::memcpy(s.motionAssistant.data(), &frame[9], s.motionAssistant.size());
        return reply(code);
    case GetShParam:
        return reply(code, {{9, s.motionAssistant[0]},
                            {10, s.motionAssistant[1]},
                            {11, s.motionAssistant[2]},
                            {12, s.motionAssistant[3]}});
    case ShStart:
    case ShStop:
        if (!has(StimulationModule)) return error(ErrModuleMissing, code);
        assistantState_ = code == ShStart ? 1 : 0;
        return reply(code);
    case GetShAndStimState: return reply(code, {{8, stimulatorState_}, {9, assistantState_}});
    case FindMe: return reply(code);
    default: return error(ErrNoCmd, code);
    }
}

bool TesselPeerModel::streaming() const { return signal_ || motion_ || respiration_ || quaternion_ || envelope_; }

void TesselPeerModel::onLinkLost() { signal_ = motion_ = respiration_ = quaternion_ = envelope_ = false; }

std::vector<std::vector<uint8_t>> TesselPeerModel::nextPacks() {
    std::vector<std::vector<uint8_t>> packs;
    if (signal_) {
        std::vector<uint8_t> pack(PackSize, 0);
        putU16(pack, 0, static_cast<uint16_t>(signalPackNum_));
        for (int i = 0; i < 9; ++i)
            putU16(pack, 2 + 2 * static_cast<size_t>(i), static_cast<uint16_t>(signalCount(signalPackNum_, i)));
        packs.push_back(std::move(pack));
        signalPackNum_ = signalPackNum_ == MaxSignalPackNum ? 0 : signalPackNum_ + 1;
    }
    const uint32_t n = otherPackNum_;
    if (motion_) {
        auto pack = dataPack(0xFFDD, n);
        for (int axis = 0; axis < 6; ++axis) {
            const auto count = static_cast<uint16_t>(motionCount(n, axis));
            pack[8 + 2 * static_cast<size_t>(axis)] = static_cast<uint8_t>(count >> 8);
            pack[9 + 2 * static_cast<size_t>(axis)] = static_cast<uint8_t>(count & 0xFF);
        }
        packs.push_back(std::move(pack));
    }
    if (respiration_) {
        auto pack = dataPack(0xFFDE, n);
        putI24(pack, 4, respirationCount(n));
        packs.push_back(std::move(pack));
    }
    if (quaternion_) {
        auto pack = dataPack(0xFFE1, n);
        for (int i = 0; i < 4; ++i) {
            const float component = quaternionComponent(n, i);
            std::memcpy(&pack[4 + 4 * static_cast<size_t>(i)], &component, sizeof component);
        }
        packs.push_back(std::move(pack));
    }
    if (envelope_) {
        auto pack = dataPack(0xFFE3, n);
        putI24(pack, 4, envelopeCount(n));
        packs.push_back(std::move(pack));
    }
    otherPackNum_ = (otherPackNum_ + 1) & 0xFFFF;
    return packs;
}

}  // namespace VexaSim
