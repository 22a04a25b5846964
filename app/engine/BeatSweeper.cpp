#include "app/engine/BeatSweeper.hpp"

#include <algorithm>
#include <cmath>
#include <utility>

namespace quellwave {

BeatSweeper::BeatSweeper(std::vector<BeatSweep> records, std::int32_t stepCountSource, bool carryAcrossStages,
                         std::uint32_t sampleRate)
    : records_(std::move(records)), stepSeconds_(std::min(30.0, stepCountSource / 1.25)), carry_(carryAcrossStages) {
    if (stepSeconds_ > 0.0 && sampleRate > 0) fallPerFrame_ = kStepHz / (stepSeconds_ / 3.0 * sampleRate);
}

const BeatSweep* BeatSweeper::recordFor(std::int32_t index) const {
    if (index != foundIndex_) {
        const auto found =
            std::find_if(records_.begin(), records_.end(), [index](const BeatSweep& r) { return r.stage == index; });
        foundAt_ = found == records_.end() ? -1 : found - records_.begin();
        foundIndex_ = index;
    }
    return foundAt_ < 0 ? nullptr : &records_[static_cast<std::size_t>(foundAt_)];
}

double BeatSweeper::offset(std::int32_t index, double elapsed, double beat, double stageBeat) {
    if (records_.empty() || stepSeconds_ <= 0.0) return 0.0;  // no step length: nothing sweeps
    const BeatSweep* record = recordFor(index);
    if (record != nullptr && armed_ && (stage_ == index || stage_ == -1)) {
        if (stage_ == -1) {
            startSeconds_ = elapsed;
            stage_ = index;
        }
        offset_ = sweepOffset(*record, elapsed - startSeconds_);
    } else {
        fallBack(index, beat, stageBeat);
    }
    return offset_;
}

bool BeatSweeper::restsIn(std::int32_t index) const {
    if (records_.empty() || stepSeconds_ <= 0.0) return true;
    return recordFor(index) == nullptr && offset_ == 0.0 && stage_ == -1;
}

double BeatSweeper::sweepOffset(const BeatSweep& record, double sinceStart) const {
    const double L = stepSeconds_;
    const double climb = record.upper / kStepHz * L;
    if (sinceStart < climb) return std::min(record.upper, std::floor(sinceStart / L) * kStepHz);
    const double steps = (record.upper - record.lower) / kStepHz;
    if (steps <= 0.0) return record.upper;  // an empty range holds at its upper bound
    const double m = std::fmod(sinceStart - climb, 2.0 * steps * L);
    const double j = std::floor(m / L);
    if (m < steps * L) return std::max(record.lower, record.upper - kStepHz * j);
    return std::min(record.upper, record.lower + kStepHz * (j - steps));
}

void BeatSweeper::fallBack(std::int32_t index, double beat, double stageBeat) {
    if (!carry_) offset_ -= fallPerFrame_;
    if (offset_ > 0.0) {
        armed_ = false;
        return;
    }
    offset_ = 0.0;
    stage_ = -1;
    if (std::fabs(beat - stageBeat) <= 0.0001 && recordFor(index) != nullptr) armed_ = true;
}

double BeatSweeper::takeOffset() { return std::exchange(offset_, 0.0); }

}  // namespace quellwave
