#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "app/engine/ExperienceStage.hpp"

namespace quellwave {

// Offsets the beat in 0.1 Hz steps while a stage named by a sweep record plays: a staircase up
// from 0 to the record's upper bound, then down and up between its bounds. Outside such a stage
// the offset falls back to 0 before the next sweep may start.
class BeatSweeper {
public:
    static constexpr double kStepHz = 0.1;

    // Without records or a positive step count source nothing ever sweeps.
    BeatSweeper() = default;
    BeatSweeper(std::vector<BeatSweep> records, std::int32_t stepCountSource, bool carryAcrossStages,
                std::uint32_t sampleRate);

    // The offset for one frame of stage index, elapsed seconds into it, whose unswept beat is
    // beat while the stage's own beat is stageBeat.
    double offset(std::int32_t index, double elapsed, double beat, double stageBeat);

    // True when every frame of stage index would get an offset of 0 and leave the sweeper as it
    // is, until the stage changes: nothing sweeps there and nothing is left to fall back or carry.
    bool restsIn(std::int32_t index) const;

    // Hands over the offset at a stage change (the carry-across-stages form) and restarts at 0.
    double takeOffset();

    double stepSeconds() const { return stepSeconds_; }

private:
    const BeatSweep* recordFor(std::int32_t index) const;
    double sweepOffset(const BeatSweep& record, double sinceStart) const;
    void fallBack(std::int32_t index, double beat, double stageBeat);

    std::vector<BeatSweep> records_;
    // The last lookup: the stage index and the position of its record (-1 when it has none).
    mutable std::int32_t foundIndex_ = -1;
    mutable std::ptrdiff_t foundAt_ = -1;
    double stepSeconds_ = 0.0;
    bool carry_ = false;
    double fallPerFrame_ = 0.0;
    double offset_ = 0.0;
    std::int32_t stage_ = -1;
    bool armed_ = false;
    double startSeconds_ = 0.0;
};

}  // namespace quellwave
