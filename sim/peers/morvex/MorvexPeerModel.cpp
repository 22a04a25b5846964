#include "sim/peers/morvex/MorvexPeerModel.hpp"

#include <algorithm>
#include <cmath>

#include "sim/peers/morvex/MorvexPackWriter.hpp"

namespace VexaSim {

namespace {

constexpr int64_t Amplitude = 1000000;
constexpr std::array<int64_t, 4> Slope{20011, 7919, 31607, 12289};
constexpr std::array<int64_t, 4> Phase{0, 1234567, 2500001, 3333333};
constexpr int32_t FullScale = 1048575;
constexpr double TestCurrent = 1.5e-7;  // amperes
constexpr double ResistGain = 6.0;

size_t expectedLength(uint8_t command) {
    switch (command) {
    case 0x01: return 1;
    case 0x02: return 5;
    case 0x03: return 8;
    default: return 0;
    }
}

}  // namespace

MorvexPeerModel::MorvexPeerModel(MorvexPeerSettings settings)
    : settings_(std::move(settings)), state_(settings_.state) {}

std::optional<std::vector<uint8_t>> MorvexPeerModel::onCommand(const std::vector<uint8_t>& frame) {
    if (silent_) return std::nullopt;
    const uint8_t command = frame.empty() ? 0 : frame[0];
    const size_t length = expectedLength(command);
    if (refusal_ != 0) {
        error_ = refusal_;
    } else if (ignoring_ && !switchesElectrode(command)) {
        // An electrode switch is carried out even so: its acknowledgement is the status of the
        // resistance mode either way, so a host could never tell an ignored switch.
        error_ = 0;
    } else if (length == 0) {
        error_ = ModeError;
    } else if (frame.size() != length) {
        error_ = LengthError;
    } else {
        error_ = 0;
        if (command == 0x01) {
            enter(IdleState);
        } else if (command == 0x02) {
            gainCode_ = frame[1];
            enter(SignalState);
        } else {
            const auto selected = std::find(frame.begin() + 1, frame.begin() + 5, 0x30);
            electrode_ = static_cast<uint8_t>(std::min<ptrdiff_t>(selected - frame.begin() - 1, 3));
            polarity_ = frame[7];
            enter(ResistState);
        }
    }
    return statusValue();
}

bool MorvexPeerModel::switchesElectrode(uint8_t command) const { return command == 0x03 && state_ == ResistState; }

void MorvexPeerModel::enter(uint8_t state) {
    if (state != state_) packIndex_ = 0;
    state_ = state;
}

std::vector<uint8_t> MorvexPeerModel::statusValue() const { return {state_, error_, settings_.battery, 0}; }

std::optional<std::vector<uint8_t>> MorvexPeerModel::nextPack() {
    if (state_ == SignalState) return signalPack();
    if (state_ == ResistState) return resistPack();
    return std::nullopt;
}

int32_t MorvexPeerModel::signalCount(uint8_t electrode, uint32_t packNum, int sample) {
    const int64_t period = 4 * Amplitude;
    const int64_t index = 2 * int64_t{packNum} + sample;
    const int64_t t = (index * Slope.at(electrode) + Phase.at(electrode)) % period;
    return static_cast<int32_t>(t < 2 * Amplitude ? t - Amplitude : 3 * Amplitude - t);
}

int32_t MorvexPeerModel::resistCount(double ohms) {
    const double volts = ohms * TestCurrent;
    return static_cast<int32_t>(std::lround(volts * ResistGain * FullScale / 2.4));
}

std::vector<uint8_t> MorvexPeerModel::signalPack() {
    MorvexPackFields fields;
    fields.packNum = packIndex_ % 2048;
    fields.marker = markerOf(fields.packNum);
    for (uint8_t e = 0; e < 4; ++e) {
        const int32_t first = signalCount(e, fields.packNum, 0);
        fields.first[e] = first;
        fields.difference[e] = static_cast<int16_t>(signalCount(e, fields.packNum, 1) - first);
    }
    ++packIndex_;
    return writeMorvexPack(fields);
}

std::vector<uint8_t> MorvexPeerModel::resistPack() {
    MorvexPackFields fields;
    fields.packNum = packIndex_ % 2048;
    const int32_t sign = polarity_ == 0x00 ? 1 : -1;
    const int64_t wanted = int64_t{sign} * resistCount(settings_.resistanceOhms.at(electrode_));
    // Past full scale the converter clips the first sample; the second overshoots by what
    // the 16-bit difference can still carry, which reads as saturation.
    const auto first = static_cast<int32_t>(std::clamp<int64_t>(wanted, -FullScale - 1, FullScale));
    const auto overshoot = static_cast<int16_t>(std::clamp<int64_t>(wanted - first, -32768, 32767));
    fields.first[electrode_] = first;
    fields.difference[electrode_] = overshoot;
    ++packIndex_;
    return writeMorvexPack(fields);
}

}  // namespace VexaSim
