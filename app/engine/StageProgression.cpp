// Four-lane vectors in functions built for machines without AVX are split into two-lane halves;
// no such vector crosses a function boundary (every helper is inlined), so the ABI note does not
// apply.
#pragma GCC diagnostic ignored "-Wpsabi"

#include "app/engine/StageProgression.hpp"

#include <algorithm>
#include <cmath>
#include <limits>
#include <numbers>
#include <utility>

#include "app/engine/LaneVectors.hpp"
#include "app/engine/PhaseSine.hpp"
#include "app/engine/WideLanes.hpp"

namespace quellwave {
namespace {

// The session opens above its first beat by a factor that depends on the beat's range.
double openingBeat(double firstBeat) {
    if (firstBeat < 8.0) return firstBeat * 1.61803;
    if (firstBeat <= 30.0) return firstBeat * 1.25;
    return firstBeat * 1.1;
}

}  // namespace

StageProgression::StageProgression(std::vector<ExperienceStage> stages, std::vector<double> carriers, BeatCurve curve,
                                   bool longRamps, std::uint64_t beginFrame, std::uint32_t sampleRate)
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

double StageProgression::nextStageBeat() const { return isLastStage() ? currentBeat_ : stages_[index_ + 1].beat; }

[[gnu::always_inline]] inline double StageRun::curveBeat(double ramp) const {
    if (curve == BeatCurve::Cubic)
        return cubic * ramp * ramp * ramp + cubicSquare * ramp * ramp + cubicLinear * ramp + beatFrom;
    const double eased = ramp >= 1.0 ? 1.0 : 0.5 - 0.5 * cosineOfPhase(std::numbers::pi * ramp);
    return beatFrom + beatSpan * eased;
}

// The points of as many frames as Lanes holds doubles at once, from slot on, lane by lane the
// operations of pointAt for frames not before the stage's start; since holds each frame's count
// of frames since the stage began.
template <class Lanes>
[[gnu::always_inline]] inline void StageRun::fillLanes(const Lanes& since, std::size_t slot,
                                                       StageFrames& frames) const {
    const Lanes elapsed = since / sampleRate;
    const Lanes ratio = elapsed / duration;
    const Lanes one = Lanes{} + 1.0;
    const Lanes progress = ratio < 1.0 ? ratio : one;  // std::min(1.0, ratio)
    Lanes phaseFactor;
    if (firstStage) {
        phaseFactor = 1.0 - progress;
    } else {
        const Lanes factor = phaseFactorAtStart + 2.0 * progress * phaseFactorSpan;
        const Lanes low = Lanes{};
        const Lanes high = Lanes{} + 0.3;
        phaseFactor = factor < 0.0 ? low : (0.3 < factor ? high : factor);  // std::clamp(factor, 0.0, 0.3)
    }
    Lanes ramp = one;
    Lanes beat = Lanes{} + glideEndBeat;
    Lanes carrier = Lanes{} + glideEndCarrier;
    if (!glideDone) {
        ramp = elapsed / glideSeconds;
        beat = curveBeats(ramp);
        carrier = carrierFrom + carrierSpan * ramp;
    }
    storeLanes(&frames.elapsed[slot], elapsed);
    storeLanes(&frames.progress[slot], progress);
    storeLanes(&frames.ramp[slot], ramp);
    storeLanes(&frames.phaseFactor[slot], phaseFactor);
    storeLanes(&frames.beat[slot], beat);
    storeLanes(&frames.carrier[slot], carrier);
}

// Inlined into fill(), where each point is written in place.
[[gnu::always_inline]] inline StagePoint StageRun::pointAt(std::uint64_t n) const {
    StagePoint point;
    // A seek back before the stage's start counts as its first frame.
    point.elapsed = n > beginFrame ? static_cast<double>(n - beginFrame) / sampleRate : 0.0;
    point.progress = std::min(1.0, point.elapsed / duration);
    point.phaseFactor = firstStage ? 1.0 - point.progress
                                   : std::clamp(phaseFactorAtStart + 2.0 * point.progress * phaseFactorSpan, 0.0, 0.3);
    if (glideDone) {
        point.ramp = 1.0;
        point.beat = glideEndBeat;
        point.carrier = glideEndCarrier;
        return point;
    }
    point.ramp = point.elapsed / glideSeconds;
    point.beat = curveBeat(point.ramp);
    point.carrier = carrierFrom + carrierSpan * point.ramp;
    return point;
}

// curveBeat of ramps below 1 or at it, lane by lane. Below 1 the phase pi r lies in [0, pi), where
// cosineOfPhase needs no wrap.
template <class Lanes>
[[gnu::always_inline]] inline Lanes StageRun::curveBeats(const Lanes& ramp) const {
    if (curve == BeatCurve::Cubic)
        return cubic * ramp * ramp * ramp + cubicSquare * ramp * ramp + cubicLinear * ramp + beatFrom;
    constexpr double kPi = std::numbers::pi;
    const Lanes x = kPi / 2 - kPi * ramp;
    const Lanes cosine = sineNearZero(x < -kPi / 2 ? -kPi - x : x);
    const Lanes eased = ramp >= 1.0 ? Lanes{} + 1.0 : 0.5 - 0.5 * cosine;
    return beatFrom + beatSpan * eased;
}

StagePoint StageRun::at(std::uint64_t n) const { return pointAt(n); }

// The frames from slot on, as many at a time as Lanes holds doubles, while that many are left;
// returns the first slot not filled. since is the first frame's count of frames since the stage
// began, as a double: whole numbers far below 2^53, so the sums are the conversions' own values.
template <class Lanes>
[[gnu::always_inline]] inline std::size_t StageRun::fillFrames(double since, std::size_t slot, std::size_t count,
                                                               StageFrames& frames) const {
    constexpr std::size_t kLanes = sizeof(Lanes) / sizeof(double);
    Lanes slots;  // slot, slot + 1, ... as doubles
    for (std::size_t k = 0; k < kLanes; ++k) slots[k] = static_cast<double>(slot + k);
    for (; slot + kLanes <= count; slot += kLanes) {
        fillLanes(since + slots, slot, frames);
        slots += static_cast<double>(kLanes);
    }
    return slot;
}

std::size_t StageRun::fillWide(double since, std::size_t count, StageFrames& frames) const {
    return fillFrames<DoublePair>(since, fillFrames<DoubleQuad>(since, 0, count, frames), count, frames);
}

void StageRun::fill(std::uint64_t first, std::size_t count, StageFrames& frames) const {
    std::size_t slot = 0;
    if (first >= beginFrame) {
        const double since = static_cast<double>(first - beginFrame);
        slot = wideLanes() ? fillWide(since, count, frames) : fillFrames<DoublePair>(since, 0, count, frames);
    }
    for (; slot < count; ++slot) frames.set(slot, pointAt(first + slot));
}

void StageProgression::fillGlide(StageRun& run) const {
    const double a = previousBeat_;
    const double b = currentBeat_;
    run.curve = curve_;
    run.beatFrom = a;
    run.beatSpan = b - a;
    if (curve_ == BeatCurve::Cubic) {
        const double p0 = index_ == 0 ? a : stages_[index_ - 1].beat;
        const double p3 = nextStageBeat();
        run.cubic = p3 - b - p0 + a;
        run.cubicSquare = p0 - a - run.cubic;
        run.cubicLinear = b - p0;
    }
    run.carrierFrom = previousCarrier_;
    run.carrierSpan = currentCarrier_ - previousCarrier_;
    run.glideEndBeat = run.curveBeat(1.0);
    run.glideEndCarrier = previousCarrier_ + run.carrierSpan * 1.0;
}

StageRun StageProgression::beginRun(std::uint64_t n) {
    if (index_ == 0 && n == beginFrame_) previousBeat_ = openingBeat(stages_.front().beat);
    StageRun run;
    run.beginFrame = beginFrame_;
    run.sampleRate = sampleRate_;
    run.duration = duration_;
    run.firstStage = index_ == 0;
    if (!run.firstStage) {
        const double next = nextStageBeat();
        const double start = phaseFactorAtStart_;
        const double target = next > currentBeat_ ? 1.0 : (next < currentBeat_ ? 0.0 : start);
        run.phaseFactorAtStart = start;
        run.phaseFactorSpan = target - start;
    }
    run.glideDone = n >= glideEnd_;
    run.glideSeconds = duration_ * rampShare();
    fillGlide(run);
    return run;
}

std::uint64_t StageProgression::runEnd(std::uint64_t n) const {
    std::uint64_t end = std::numeric_limits<std::uint64_t>::max();
    if (!isLastStage()) end = n < endFrame_ ? endFrame_ : n + 1;
    if (n < glideEnd_) end = std::min(end, glideEnd_);
    if (index_ == 0 && n < beginFrame_) end = std::min(end, beginFrame_);
    return end;
}

StagePoint StageProgression::evaluate(std::uint64_t n) {
    const StagePoint point = beginRun(n).at(n);
    endRun(point);
    return point;
}

}  // namespace quellwave
