#include "app/engine/Affirmations.hpp"

#include <algorithm>
#include <cmath>

namespace quellwave {

namespace {

constexpr std::array<double, kAffirmationPhaseCount> kPhasePitchFactors{0.85, 0.75, 0.92};

// Stages 0 and 1 speak phases 0 and 1, the last stage phase 2, the stages between are silent.
std::optional<std::size_t> phaseOfStage(std::int32_t stage, std::int32_t stageCount) {
    if (stage == 0) return 0;
    if (stage == 1) return 1;
    if (stage == stageCount - 1) return 2;
    return std::nullopt;
}

float clipVolume(const AffirmationCue& cue, double progress) {
    const double start = cue.volumeAtStart;
    const double end = cue.volumeAtEnd;
    const double volume = cue.masterVolume * (start + (end - start) * progress) / 100.0;
    return static_cast<float>(std::trunc(std::clamp(volume, 0.0, 100.0)));
}

}  // namespace

std::optional<ClipStart> AffirmationSchedule::next(const AffirmationCue& cue, bool soundPlaying) {
    if (cue.stageCount <= 0 || clipCount_ == 0) return std::nullopt;
    const std::optional<std::size_t> phase = phaseOfStage(cue.stageIndex, cue.stageCount);
    if (!phase) return std::nullopt;
    const double progress = std::min(cue.progress, 1.0);

    const std::size_t firstClip = *phase * kAffirmationsPerPhase;
    for (std::size_t i = 0; i < kAffirmationsPerPhase; ++i) {
        const std::size_t clip = firstClip + i;
        if (clip >= clipCount_) return std::nullopt;
        const bool due =
            !played_[clip] && progress >= kAffirmations[*phase][i].position && (!lastStarted_ || clip > *lastStarted_);
        if (!due) continue;
        if (soundPlaying) return std::nullopt;

        played_[clip] = true;
        lastStarted_ = clip;
        const float pitch = static_cast<float>((0.95 + 0.1 * progress) * kPhasePitchFactors[*phase]);
        return ClipStart{clip, clipVolume(cue, progress), pitch};
    }
    return std::nullopt;
}

void AffirmationSchedule::reset() {
    played_.fill(false);
    lastStarted_.reset();
}

}  // namespace quellwave
