#include "sim/peers/photostim/PtsPeerModel.hpp"

namespace VexaSim {

namespace {

constexpr size_t StatusSize = 20;
constexpr size_t StartFrameSize = 5;

namespace Frame {
constexpr uint8_t Reset = 1;
constexpr uint8_t PrepareSync = 2;
constexpr uint8_t Sync = 3;
constexpr uint8_t Start = 4;
constexpr uint8_t Stop = 5;
}  // namespace Frame

void putLittleEndian(std::vector<uint8_t>& bytes, size_t at, uint32_t value, size_t width) {
    for (size_t i = 0; i < width; ++i) bytes[at + i] = static_cast<uint8_t>(value >> (8 * i));
}

}  // namespace

PtsPeerModel::PtsPeerModel(PtsPeerSettings settings)
    : settings_(std::move(settings)),
      link_(settings_.link ? settings_.link : StimSyncLink::create()),
      ownClock_(settings_.ownClockStart) {}

uint32_t PtsPeerModel::now() const { return synchronised() ? link_->now() : ownClock_.now(); }

std::vector<uint8_t> PtsPeerModel::statusValue() const {
    std::vector<uint8_t> pack(StatusSize, 0);
    pack[0] = state_;
    pack[1] = synchronised() ? 1 : 0;
    putLittleEndian(pack, 2, settings_.batteryVoltage, 2);
    putLittleEndian(pack, 4, now(), 4);
    putLittleEndian(pack, 8, settings_.word, 4);
    putLittleEndian(pack, 12, settings_.statusWord, 4);
    return pack;
}

PtsPeerModel::Status PtsPeerModel::enter(uint8_t state) {
    const bool wasPulsing = settings_.syncSource && state_ == SyncPrepared;
    startPending_ = false;
    state_ = answerState_.value_or(state);
    if (!settings_.syncSource && state_ == SyncPrepared && link_->pulsing()) state_ = Synchronised;
    const bool pulsing = settings_.syncSource && state_ == SyncPrepared;
    if (pulsing != wasPulsing) link_->setPulsing(pulsing, member_);
    return statusValue();
}

PtsPeerModel::Status PtsPeerModel::onCommand(const std::vector<uint8_t>& frame) {
    if (ignoring_ || frame.empty()) return std::nullopt;
    switch (frame[0]) {
    case Frame::Reset: return enter(Idle);
    case Frame::PrepareSync: return state_ == Running ? std::nullopt : enter(SyncPrepared);
    case Frame::Sync: return state_ == SyncPrepared ? enter(Synchronised) : std::nullopt;
    case Frame::Start:
        if (state_ != Synchronised || frame.size() != StartFrameSize) return std::nullopt;
        startTick_ = static_cast<uint32_t>(frame[1]) | (static_cast<uint32_t>(frame[2]) << 8) |
                     (static_cast<uint32_t>(frame[3]) << 16) | (static_cast<uint32_t>(frame[4]) << 24);
        if (settings_.runningAtStartTick) {
            // Nothing to report until the tick.
            startPending_ = true;
            return std::nullopt;
        }
        return enter(Running);
    case Frame::Stop: return state_ == Running || startPending_ ? enter(Synchronised) : std::nullopt;
    default: return std::nullopt;
    }
}

PtsPeerModel::Status PtsPeerModel::onSyncPulse() {
    if (settings_.syncSource || state_ != SyncPrepared) return std::nullopt;
    state_ = Synchronised;
    return statusValue();
}

PtsPeerModel::Status PtsPeerModel::onSyncLost() {
    if (!synchronised()) return std::nullopt;
    state_ = Idle;
    startPending_ = false;
    return statusValue();
}

PtsPeerModel::Status PtsPeerModel::onClock() {
    if (!startPending_ || static_cast<int32_t>(now() - startTick_) < 0) return std::nullopt;
    return enter(Running);
}

}  // namespace VexaSim
