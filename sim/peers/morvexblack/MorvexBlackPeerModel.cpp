#include "sim/peers/morvexblack/MorvexBlackPeerModel.hpp"

#include <cmath>
#include <optional>

#include "sim/peers/kestrane/CommandStreamPeerModel.hpp"
#include "sim/peers/kestrane/KestranePackWriter.hpp"

namespace VexaSim {

namespace {

constexpr uint32_t CounterSize = 2;
constexpr uint32_t SignalValueSize = 3;
constexpr uint32_t MotionValueSize = 2;
constexpr uint32_t FpgValueSize = 3;
constexpr uint8_t WindowMarker = 0xAA;
constexpr uint8_t ResistGainCode = 0x30;
constexpr uint32_t RecordsPerChannel = 64;
constexpr uint32_t ProbeFirst = 24;
constexpr uint32_t ProbeLast = 31;
constexpr uint8_t ResistMode = 4;
constexpr uint8_t SignalMode = 3;

// Volts across an electrode per ohm: the probe current of 150 nA, a quarter of it measured.
constexpr double VoltsPerOhm = 1.5e-7 / 0.25;
constexpr double ReferenceVoltage = 2.4;
constexpr double FullScale = 8388607.0;
constexpr double ResistGainFactor = 3.0;

std::optional<uint8_t> modeOf(const std::vector<uint8_t>& frame)
{
    switch (frame[0]) {
    case 0x01: return 1;
    case 0x02: return 2;
    case 0x03: return 3;
    case 0x04: return 4;
    default: return std::nullopt;
    }
}

size_t expectedLength(uint8_t command)
{
    return command == 0x03 || command == 0x04 ? 1 + MorvexBlackPeerModel::Channels : 1;
}

}  // namespace

MorvexBlackPeerModel::MorvexBlackPeerModel(MorvexBlackPeerSettings settings)
    : settings_(std::move(settings)), mode_(settings_.mode)
{
}

int64_t MorvexBlackPeerModel::probeCount(double ohms)
{
    return std::llround(ohms * VoltsPerOhm * FullScale * ResistGainFactor / ReferenceVoltage);
}

std::vector<std::vector<uint8_t>> MorvexBlackPeerModel::onCommand(const std::vector<uint8_t>& frame)
{
    if (silent_ || frame.empty() || takeStreamFrame(frame))
        return {};
    std::vector<std::vector<uint8_t>> statuses;
    if (staleFirst_)
        statuses.push_back(statusValue());
    if (refusal_ != 0)
        error_ = refusal_;
    else if (ignoring_)
        error_ = Accepted;
    else
        error_ = carryOut(frame);
    statuses.push_back(statusValue());
    return statuses;
}

bool MorvexBlackPeerModel::takeStreamFrame(const std::vector<uint8_t>& frame)
{
    const uint8_t command = frame[0];
    if (command == 0x06 && frame.size() == 2) {
        pings_.push_back(frame);
        return true;
    }
    const bool motion = command == 0x07 && settings_.hasMotion;
    const bool fpg = command == 0x08 && settings_.hasFpg;
    if ((!motion && !fpg) || frame.size() != 2)
        return false;
    const bool on = (frame[1] & 0x80) != 0;
    (motion ? motionRunning_ : fpgRunning_) = on;
    (motion ? motionByte_ : fpgByte_) = frame[1];
    return true;
}

uint8_t MorvexBlackPeerModel::carryOut(const std::vector<uint8_t>& frame)
{
    const auto mode = modeOf(frame);
    if (!mode)
        return NotSupported;
    if (frame.size() != expectedLength(frame[0]))
        return WrongParameter;
    if (*mode == ResistMode) {
        for (size_t i = 1; i < frame.size(); ++i)
            if (frame[i] != ResistGainCode)
                return WrongParameter;
    }
    if (*mode == SignalMode)
        gainCodes_.assign(frame.begin() + 1, frame.end());
    if (*mode == ResistMode && mode_ != ResistMode)
        resistRecords_ = 0;
    mode_ = *mode;
    return Accepted;
}

std::vector<uint8_t> MorvexBlackPeerModel::statusValue() const
{
    return {mode_, error_, settings_.battery, 0};
}

MorvexBlackPeerModel::Packs MorvexBlackPeerModel::nextPacks()
{
    Packs packs;
    if (mode_ == SignalMode || mode_ == ResistMode)
        packs.signal = signalPack();
    if (motionRunning_)
        packs.motion = motionPack();
    if (fpgRunning_)
        packs.fpg = fpgPack();
    return packs;
}

std::vector<uint8_t> MorvexBlackPeerModel::signalPack()
{
    std::vector<KestranePackRecord> records(RecordsPerPack);
    for (uint32_t i = 0; i < RecordsPerPack; ++i) {
        KestranePackRecord& record = records[i];
        if (mode_ == SignalMode) {
            for (uint32_t ch = 0; ch < Channels; ++ch)
                record.values.push_back(CommandStreamPeerModel::signalCount(ch, signalRecords_ + i));
            continue;
        }
        const uint32_t inWindow = (resistRecords_ + i) % WindowRecords;
        const uint32_t probed = inWindow / RecordsPerChannel;
        const uint32_t step = inWindow % RecordsPerChannel;
        record.marker = inWindow == 0 ? WindowMarker : 0;
        record.values.assign(Channels, 0);
        if (step >= ProbeFirst && step <= ProbeLast)
            record.values[probed] = probeCount(settings_.resistanceOhms[probed]);
    }
    const KestranePackFormat format{CounterSize, SignalValueSize, false, true};
    auto pack = writeKestranePack(format, signalRecords_, records);
    signalRecords_ += RecordsPerPack;
    if (mode_ == ResistMode)
        resistRecords_ += RecordsPerPack;
    return pack;
}

std::vector<uint8_t> MorvexBlackPeerModel::motionPack()
{
    std::vector<KestranePackRecord> records(RecordsPerPack);
    for (uint32_t i = 0; i < RecordsPerPack; ++i) {
        for (uint32_t axis = 0; axis < 6; ++axis)
            records[i].values.push_back(CommandStreamPeerModel::motionCount(axis, motionRecords_ + i));
    }
    const KestranePackFormat format{CounterSize, MotionValueSize, false, false};
    auto pack = writeKestranePack(format, motionRecords_, records);
    motionRecords_ += RecordsPerPack;
    return pack;
}

std::vector<uint8_t> MorvexBlackPeerModel::fpgPack()
{
    std::vector<KestranePackRecord> records(RecordsPerPack);
    for (uint32_t i = 0; i < RecordsPerPack; ++i)
        records[i].values = {CommandStreamPeerModel::fpgCount(0, fpgRecords_ + i),
                             CommandStreamPeerModel::fpgCount(1, fpgRecords_ + i)};
    const KestranePackFormat format{CounterSize, FpgValueSize, false, false};
    auto pack = writeKestranePack(format, fpgRecords_, records);
    fpgRecords_ += RecordsPerPack;
    return pack;
}

}  // namespace VexaSim
