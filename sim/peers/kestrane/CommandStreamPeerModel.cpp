#include "sim/peers/kestrane/CommandStreamPeerModel.hpp"

#include <algorithm>

#include "sim/peers/kestrane/KestranePackWriter.hpp"

namespace VexaSim {

namespace {

constexpr uint8_t StreamOn = 2;
constexpr uint32_t StreamRecordsPerPack = 8;
constexpr uint32_t SignalValueSize = 3;
constexpr uint32_t ResistValueSize = 4;
constexpr uint32_t ResistCounterSize = 4;
constexpr uint32_t MotionValueSize = 2;
constexpr uint32_t FpgValueSize = 3;

// Device mode that each mode frame asks for.
std::optional<uint8_t> modeOf(uint8_t command, const CommandStreamPeerSettings& settings) {
    if (command == settings.signalResistCode) return 5;
    switch (command) {
    case 0x01: return 1;
    case 0x02: return 2;
    case 0x03: return 3;
    case 0x04: return 4;
    default: return std::nullopt;
    }
}

// A pack of `count` records numbered from `first`, each holding what `valuesOf` gives for its
// number; marked records where the format has marker bytes.
template <class ValuesOf>
std::vector<uint8_t> packOf(const KestranePackFormat& format, uint32_t first, uint32_t count, ValuesOf valuesOf) {
    std::vector<KestranePackRecord> records(count);
    for (uint32_t i = 0; i < count; ++i) {
        records[i].marker = format.marker ? CommandStreamPeerModel::markerOf(first + i) : 0;
        records[i].values = valuesOf(first + i);
    }
    return writeKestranePack(format, first, records);
}

}  // namespace

CommandStreamPeerModel::CommandStreamPeerModel(CommandStreamPeerSettings settings)
    : settings_(std::move(settings)),
      mode_(settings_.mode),
      motionRunning_(settings_.motionRunning),
      fpgRunning_(settings_.fpgRunning),
      samplesPerPack_(settings_.samplesPerPack) {}

std::optional<std::vector<uint8_t>> CommandStreamPeerModel::onCommand(const std::vector<uint8_t>& frame) {
    if (silent_) return std::nullopt;
    if (!frame.empty() && frame[0] == 0x06 && frame.size() == 2) {
        pings_.push_back(frame);
        return std::nullopt;
    }
    answered_ = frame.empty() ? 0 : frame[0];
    result_ = resultOf(answered_, Accepted, [&] { return carryOut(frame); });
    return statusValue();
}

uint8_t CommandStreamPeerModel::carryOut(const std::vector<uint8_t>& frame) {
    if (frame.empty()) return WrongParameter;
    const uint8_t command = frame[0];
    if (const auto mode = modeOf(command, settings_)) {
        if (frame.size() != 1) return WrongParameter;
        mode_ = *mode;
        return Accepted;
    }
    if (command == settings_.amplifierCode) {
        if (frame.size() != 2 + 3 * settings_.amplifierSlots) return WrongParameter;
        amplifierFrame_ = frame;
        return Accepted;
    }
    switch (command) {
    case 0x07:
    case 0x08: {
        if (frame.size() != 2 || (command == 0x07 ? !settings_.hasMotion : !settings_.hasFpg)) return WrongParameter;
        (command == 0x07 ? motionRunning_ : fpgRunning_) = (frame[1] & 0x80) != 0;
        return Accepted;
    }
    case 0x0B:
        if (frame.size() != 2 || frame[1] == 0 || frame[1] > settings_.maxSamplesPerPack) return WrongParameter;
        samplesPerPack_ = frame[1];
        return Accepted;
    default: return NotSupported;
    }
}

std::vector<uint8_t> CommandStreamPeerModel::statusValue() const {
    const auto modeByte =
        static_cast<uint8_t>(mode_ | (motionRunning_ ? StreamOn << 3 : 0) | (fpgRunning_ ? StreamOn << 5 : 0));
    return {settings_.battery, result_, modeByte, answered_};
}

int32_t CommandStreamPeerModel::signalCount(uint32_t channel, uint32_t record) {
    // A sawtooth between -1000000 and +1000000 counts, its slope and phase per channel. It repeats
    // every 65536 records, so that the number a 16-bit pack counter gives names the value too.
    const int64_t t = int64_t{record % 65536} * (997 + 131 * int64_t{channel}) + 123457 * int64_t{channel};
    return static_cast<int32_t>(t % 2000001 - 1000000);
}

uint8_t CommandStreamPeerModel::markerOf(uint32_t record) { return record % 25 == 0 ? 0xAA : 0; }

int32_t CommandStreamPeerModel::motionCount(uint32_t axis, uint32_t record) {
    const int64_t t = int64_t{record} * (37 + 11 * int64_t{axis}) + 5003 * int64_t{axis};
    return static_cast<int32_t>(t % 60001 - 30000);
}

uint32_t CommandStreamPeerModel::fpgCount(uint32_t value, uint32_t record) {
    return static_cast<uint32_t>((uint64_t{record} * 101 + 4000000 * uint64_t{value}) % 8000000);
}

CommandStreamPeerModel::Packs CommandStreamPeerModel::nextPacks() {
    Packs packs;
    if (mode_ == 3 || mode_ == 5) packs.signal = signalPack();
    if (mode_ == 4 || mode_ == 5) packs.resist = resistPack();
    if (motionRunning_) packs.motion = motionPack();
    if (fpgRunning_) packs.fpg = fpgPack();
    return packs;
}

std::vector<uint8_t> CommandStreamPeerModel::signalPack() {
    const KestranePackFormat format{settings_.counterSize, SignalValueSize, settings_.littleEndian, true};
    auto pack = packOf(format, signalRecords_, samplesPerPack_, [this](uint32_t record) {
        std::vector<int64_t> values;
        for (uint32_t ch = 0; ch < settings_.channels; ++ch) values.push_back(signalCount(ch, record));
        return values;
    });
    signalRecords_ += samplesPerPack_;
    return pack;
}

std::vector<uint8_t> CommandStreamPeerModel::resistPack() {
    const KestranePackFormat format{ResistCounterSize, ResistValueSize, true, false};
    return packOf(format, resistPacks_++, 1, [this](uint32_t) {
        const size_t channels = std::min<size_t>(settings_.channels, settings_.resistanceOhms.size());
        return std::vector<int64_t>(settings_.resistanceOhms.begin(), settings_.resistanceOhms.begin() + channels);
    });
}

std::vector<uint8_t> CommandStreamPeerModel::motionPack() {
    const KestranePackFormat format{settings_.counterSize, MotionValueSize, settings_.littleEndian, false};
    auto pack = packOf(format, motionRecords_, StreamRecordsPerPack, [](uint32_t record) {
        std::vector<int64_t> values;
        for (uint32_t axis = 0; axis < 6; ++axis) values.push_back(motionCount(axis, record));
        return values;
    });
    motionRecords_ += StreamRecordsPerPack;
    return pack;
}

std::vector<uint8_t> CommandStreamPeerModel::fpgPack() {
    const KestranePackFormat format{settings_.counterSize, FpgValueSize, settings_.littleEndian, false};
    auto pack = packOf(format, fpgRecords_, StreamRecordsPerPack, [](uint32_t record) {
        return std::vector<int64_t>{fpgCount(0, record), fpgCount(1, record)};
    });
    fpgRecords_ += StreamRecordsPerPack;
    return pack;
}

}  // namespace VexaSim
