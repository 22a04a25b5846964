#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "app/engine/ExperienceStage.hpp"
#include "app/engine/PhaseSine.hpp"

namespace quellwave {

// Where a frame stands in the stage table and the beat and carrier it plays.
struct StagePoint {
    double elapsed = 0.0;      // seconds since the stage began (e)
    double progress = 0.0;     // elapsed fraction of the stage, at most 1 (P)
    double ramp = 0.0;         // fraction of the stage's glide done, at most 1 (r)
    double phaseFactor = 0.0;  // extra tone-phase advance of shaped experiences (k)
    double beat = 0.0;         // Hz, before any sweep offset
    double carrier = 0.0;      // Hz
};

// The stage points of a run's frames, one array per quantity, slot 0 first: the walk reads each
// quantity for several frames at once.
struct StageFrames {
    static constexpr std::size_t kMaxFrames = 256;

    alignas(64) std::array<double, kMaxFrames> elapsed{};
    alignas(64) std::array<double, kMaxFrames> progress{};
    alignas(64) std::array<double, kMaxFrames> ramp{};
    alignas(64) std::array<double, kMaxFrames> phaseFactor{};
    alignas(64) std::array<double, kMaxFrames> beat{};
    alignas(64) std::array<double, kMaxFrames> carrier{};

    StagePoint at(std::size_t slot) const {
        return {elapsed[slot], progress[slot], ramp[slot], phaseFactor[slot], beat[slot], carrier[slot]};
    }
    void set(std::size_t slot, const StagePoint& point) {
        elapsed[slot] = point.elapsed;
        progress[slot] = point.progress;
        ramp[slot] = point.ramp;
        phaseFactor[slot] = point.phaseFactor;
        beat[slot] = point.beat;
        carrier[slot] = point.carrier;
    }
};

// What a frame's stage point needs that stays the same over a run of frames of one stage, all on
// one side of the end of its glide: the values that evaluating frame by frame computes afresh for
// every frame, computed once with the same operations.
class StageRun {
public:
    StagePoint at(std::uint64_t n) const;
    // The points of frames first, first + 1, ..., first + count - 1 (count at most
    // StageFrames::kMaxFrames) into frames from slot 0, as at() gives them one by one.
    void fill(std::uint64_t first, std::size_t count, StageFrames& frames) const;

private:
    friend class StageProgression;

    double curveBeat(double ramp) const;
    template <class Lanes>
    Lanes curveBeats(const Lanes& ramp) const;
    StagePoint pointAt(std::uint64_t n) const;
    template <class Lanes>
    void fillLanes(const Lanes& since, std::size_t slot, StageFrames& frames) const;
    template <class Lanes>
    std::size_t fillFrames(double since, std::size_t slot, std::size_t count, StageFrames& frames) const;
    [[gnu::target("avx2")]] std::size_t fillWide(double since, std::size_t count, StageFrames& frames) const;

    std::uint64_t beginFrame = 0;
    double sampleRate = 1.0;
    double duration = 1.0;  // seconds
    bool firstStage = false;
    double phaseFactorAtStart = 0.0;
    double phaseFactorSpan = 0.0;  // target minus start
    bool glideDone = false;
    double glideSeconds = 1.0;
    BeatCurve curve = BeatCurve::Cosine;
    // Cubic: c r^3 + cubicSquare r^2 + cubicLinear r + from; cosine: from + span eased(r).
    double cubic = 0.0;
    double cubicSquare = 0.0;
    double cubicLinear = 0.0;
    double beatFrom = 0.0;
    double beatSpan = 0.0;
    double carrierFrom = 0.0;
    double carrierSpan = 0.0;
    double glideEndBeat = 0.0;
    double glideEndCarrier = 0.0;
};

// Walks the stage table frame by frame: moves to the next stage when the current one has run its
// length, and glides the beat and the carrier from the previous stage's values to the current
// ones. The session opens above its first beat and falls to it.
class StageProgression {
public:
    StageProgression() = default;
    // stages and carriers have the same size; the caller has checked the table.
    StageProgression(std::vector<ExperienceStage> stages, std::vector<double> carriers, BeatCurve curve, bool longRamps,
                     std::uint64_t beginFrame, std::uint32_t sampleRate);

    // Moves on to the next stage when frame n ends the current one; true when it did.
    bool advance(std::uint64_t n);

    // Folds a carried sweep offset into the beat the new stage glides from.
    void addToPreviousBeat(double offset) { previousBeat_ += offset; }

    // The point of frame n alone, as a run of one frame.
    StagePoint evaluate(std::uint64_t n);

    // A run of frames from n on (n already past advance), which ends before runEnd(n); frame n
    // opens the session's glide if it is the first frame of stage 0.
    StageRun beginRun(std::uint64_t n);
    // The first frame after n that needs a run of its own: a stage change, the end of the glide or
    // the session's first frame.
    std::uint64_t runEnd(std::uint64_t n) const;
    // Keeps what the run's last frame leaves for the next stage.
    void endRun(const StagePoint& last) { phaseFactor_ = last.phaseFactor; }

    const std::vector<ExperienceStage>& stages() const { return stages_; }
    std::int32_t stageCount() const { return static_cast<std::int32_t>(stages_.size()); }
    std::int32_t index() const { return index_; }
    std::uint64_t beginFrame() const { return beginFrame_; }
    std::int32_t durationSeconds() const { return duration_; }
    double currentBeat() const { return currentBeat_; }
    bool isLastStage() const { return index_ + 1 >= stageCount(); }

private:
    double elapsedSeconds(std::uint64_t n) const;
    // The first frame of the current stage for which `reached` holds; `reached` must hold for
    // every later frame once it holds for one.
    template <class Reached>
    std::uint64_t firstFrame(double estimateSeconds, Reached reached) const;
    // Frames at which the stage ends and its glide is complete, found at each stage start so
    // that a frame needs no more than comparisons to know.
    void findStageFrames();
    double rampShare() const;
    double nextStageBeat() const;
    void fillGlide(StageRun& run) const;

    std::vector<ExperienceStage> stages_;
    std::vector<double> carriers_;
    BeatCurve curve_ = BeatCurve::Cosine;
    bool longRamps_ = false;
    double sampleRate_ = 1.0;
    std::int32_t index_ = 0;
    std::uint64_t beginFrame_ = 0;
    std::int32_t duration_ = 0;
    double previousBeat_ = 0.0;
    double currentBeat_ = 0.0;
    double previousCarrier_ = 0.0;
    double currentCarrier_ = 0.0;
    double phaseFactor_ = 0.0;
    double phaseFactorAtStart_ = 0.0;
    std::uint64_t endFrame_ = 0;  // the first frame whose elapsed time reaches the duration
    std::uint64_t glideEnd_ = 0;  // the first frame whose ramp is complete
};

}  // namespace quellwave
