#include "app/engine/StageProgression.hpp"

#include <algorithm>
#include <cmath>
#include <numbers>
#include <utility>

#include "app/engine/PhaseSine.hpp"

namespace quellwave {
namespace {

// The session opens above its first beat by a factor that depends on the beat's range.
double openingBeat(double firstBeat) {
    if (firstBeat < 8.0) return firstBeat * 1.61803;
    if (firstBeat <= 30.0) return firstBeat * 1.25;
    return firstBeat * 1.1;
}

}  // namespace

StageProgression::StageProgression(std::vector<ExperienceStage> stages, std::vector<double> carriers,
                                   BeatCurve curve, bool longRamps, std::uint64_t beginFrame,
                                   std::uint32_t sampleRate)
    : stages_(std::move(stages)),
      carriers_(std::move(carriers)),
      curve_(curve),
      longRamps_(longRamps),
      sampleRate_(sampleRate),
      beginFrame_(beginFrame),
      duration_(static_cast<std::int32_t>(stages_.front().duration)),
      previousBeat_(stages_.front().beat),
      currentBeat_(stages_.front().beat),
      previousCarrier_(carriers_.front()),
      currentCarrier_(carriers_.front()) {
    findStageFrames();
}

double StageProgression::elapsedSeconds(std::uint64_t n) const {
    // A seek back before the stage's start counts as its first frame.
    return n > beginFrame_ ? static_cast<double>(n - beginFrame_) / sampleRate_ : 0.0;
}

template <class Reached>
std::uint64_t StageProgression::firstFrame(double estimateSeconds, Reached reached) const {
    // Elapsed time never falls as n grows: start just below the estimate and step to the frame.
    const double estimate = std::floor(estimateSeconds * sampleRate_);
    std::uint64_t n = beginFrame_ + (estimate > 2.0 ? static_cast<std::uint64_t>(estimate) - 2 : 0);
    while (!reached(n)) ++n;
    while (n > beginFrame_ && reached(n - 1)) --n;
    return n;
}

void StageProgression::findStageFrames() {
    endFrame_ = firstFrame(duration_, [this](std::uint64_t n) { return elapsedSeconds(n) >= duration_; });
    const double glideSeconds = duration_ * rampShare();
    glideEnd_ = firstFrame(glideSeconds, [&](std::uint64_t n) { return elapsedSeconds(n) / glideSeconds >= 1.0; });
    glideEndKnown_ = false;
}

bool StageProgression::advance(std::uint64_t n) {
    if (isLastStage() || n < endFrame_) return false;
    ++index_;
    beginFrame_ = n;
    previousBeat_ = currentBeat_;
    currentBeat_ = stages_[index_].beat;
    phaseFactorAtStart_ = phaseFactor_;
    duration_ = static_cast<std::int32_t>(stages_[index_].duration);
    previousCarrier_ = currentCarrier_;
    currentCarrier_ = carriers_[index_];
    findStageFrames();
    return true;
}

double StageProgression::rampShare() const {
    if (index_ == 0) return 0.25;
    if (index_ == 1) return 0.625;
    if (isLastStage()) return 0.5;
    return longRamps_ ? 0.75 : 0.7;
}

double StageProgression::nextStageBeat() const {
    return isLastStage() ? currentBeat_ : stages_[index_ + 1].beat;
}

double StageProgression::curveBeat(double ramp) const {
    const double a = previousBeat_;
    const double b = currentBeat_;
    if (curve_ == BeatCurve::Cubic) {
        const double p0 = index_ == 0 ? a : stages_[index_ - 1].beat;
        const double p3 = nextStageBeat();
        const double c = p3 - b - p0 + a;
        return c * ramp * ramp * ramp + (p0 - a - c) * ramp * ramp + (b - p0) * ramp + a;
    }
    const double eased = ramp >= 1.0 ? 1.0 : 0.5 - 0.5 * cosineOfPhase(std::numbers::pi * ramp);
    return a + (b - a) * eased;
}

StagePoint StageProgression::evaluate(std::uint64_t n) {
    StagePoint point;
    point.elapsed = elapsedSeconds(n);
    point.progress = std::min(1.0, point.elapsed / duration_);
    if (index_ == 0 && n == beginFrame_) {
        previousBeat_ = openingBeat(stages_.front().beat);
        glideEndKnown_ = false;
    }

    if (index_ == 0) {
        phaseFactor_ = 1.0 - point.progress;
    } else {
        const double next = nextStageBeat();
        const double start = phaseFactorAtStart_;
        const double target = next > currentBeat_ ? 1.0 : (next < currentBeat_ ? 0.0 : start);
        phaseFactor_ = std::clamp(start + 2.0 * point.progress * (target - start), 0.0, 0.3);
    }
    point.phaseFactor = phaseFactor_;
    if (n >= glideEnd_) {
        if (!glideEndKnown_) {
            glideEndBeat_ = curveBeat(1.0);
            glideEndCarrier_ = previousCarrier_ + (currentCarrier_ - previousCarrier_) * 1.0;
            glideEndKnown_ = true;
        }
        point.ramp = 1.0;
        point.beat = glideEndBeat_;
        point.carrier = glideEndCarrier_;
        return point;
    }
    point.ramp = point.elapsed / (duration_ * rampShare());
    point.beat = curveBeat(point.ramp);
    point.carrier = previousCarrier_ + (currentCarrier_ - previousCarrier_) * point.ramp;
    return point;
}

}  // namespace quellwave
