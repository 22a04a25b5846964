#include "sim/peers/kestrane/HeadbandPacks.hpp"

#include <cmath>

#include "sim/peers/kestrane/CommandStreamPeerModel.hpp"
#include "sim/peers/kestrane/KestranePackWriter.hpp"

namespace VexaSim {

namespace {

constexpr uint32_t CounterSize = 2;
constexpr uint32_t SignalValueSize = 3;
constexpr uint32_t MotionValueSize = 2;
constexpr uint32_t FpgValueSize = 3;
constexpr uint8_t WindowMarker = 0xAA;
constexpr uint32_t RecordsPerChannel = 64;
constexpr uint32_t ProbeFirst = 24;
constexpr uint32_t ProbeLast = 31;

// Volts across an electrode per ohm: the probe current of 150 nA, a quarter of it measured.
constexpr double VoltsPerOhm = 1.5e-7 / 0.25;
constexpr double ReferenceVoltage = 2.4;
constexpr double FullScale = 8388607.0;
constexpr double ResistGainFactor = 3.0;

}  // namespace

int64_t HeadbandPacks::probeCount(double ohms) {
    return std::llround(ohms * VoltsPerOhm * FullScale * ResistGainFactor / ReferenceVoltage);
}

std::vector<uint8_t> HeadbandPacks::signalPack() { return nextSignalPack(nullptr); }

std::vector<uint8_t> HeadbandPacks::resistPack(const std::array<double, Channels>& resistanceOhms) {
    return nextSignalPack(&resistanceOhms);
}

std::vector<uint8_t> HeadbandPacks::nextSignalPack(const std::array<double, Channels>* resistanceOhms) {
    std::vector<KestranePackRecord> records(RecordsPerPack);
    for (uint32_t i = 0; i < RecordsPerPack; ++i) {
        KestranePackRecord& record = records[i];
        if (!resistanceOhms) {
            for (uint32_t ch = 0; ch < Channels; ++ch)
                record.values.push_back(CommandStreamPeerModel::signalCount(ch, signalRecords_ + i));
            continue;
        }
        const uint32_t inWindow = (resistRecords_ + i) % WindowRecords;
        const uint32_t probed = inWindow / RecordsPerChannel;
        const uint32_t step = inWindow % RecordsPerChannel;
        record.marker = inWindow == 0 ? WindowMarker : 0;
        record.values.assign(Channels, 0);
        if (step >= ProbeFirst && step <= ProbeLast) record.values[probed] = probeCount((*resistanceOhms)[probed]);
    }
    const KestranePackFormat format{CounterSize, SignalValueSize, false, true};
    auto pack = writeKestranePack(format, signalRecords_, records);
    signalRecords_ += RecordsPerPack;
    if (resistanceOhms) resistRecords_ += RecordsPerPack;
    return pack;
}

std::vector<uint8_t> HeadbandPacks::motionPack() {
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

std::vector<uint8_t> HeadbandPacks::fpgPack() {
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
