#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

#include "app/engine/FrameMixing.hpp"

namespace quellwave {

// What the fade of a run needs that stays the same over it.
struct FadeSettings {
    bool tremolo = false;  // the tremolo lanes are written only where it is on
    double tremoloDepth = 0.0;
    bool shaped = false;  // shaped experiences fade the tremolo too
};

// Where each frame's own values are, slot 0 first.
struct FadeFrames {
    const double* progress = nullptr;
    const double* tremoloSine = nullptr;  // read only where the tremolo is on
    const double* texture = nullptr;      // the texture layer's noise
};

// Weights that fall along the session as exp(-steepness (index + P) / N), steepness 3 for the
// tremolo and 2 for the texture layer, and rise back to 1 in the second half of the last stage,
// from the weights the fall ends at. The exponential goes one frame at a time; everything else
// several frames at once, each value the one that the same operations on one frame give.
class SessionFade {
public:
    static constexpr std::size_t kMaxFrames = RunLanes::kMaxFrames;

    // The fade over stage index of count.
    void enterStage(std::int32_t index, std::int32_t count);

    // Writes the tremolo factor (where the tremolo is on) and the texture layer of frames
    // [0, frames) of a run (at most kMaxFrames) to its lanes. Lanes past the run's frames, up to
    // the next four frames, may be written too.
    void writeLanes(std::size_t frames, const FadeSettings& settings, const FadeFrames& inputs, RunLanes& lanes);

private:
    template <class Lanes>
    void writeLanesOf(std::size_t frames, const FadeSettings& settings, const FadeFrames& inputs, RunLanes& lanes);
    [[gnu::target("avx2")]] void writeLanesWide(std::size_t frames, const FadeSettings& settings,
                                                const FadeFrames& inputs, RunLanes& lanes);

    std::int32_t index_ = 0;
    double count_ = 1.0;
    bool lastStage_ = false;
    double fallenTremolo_ = 1.0;  // the last stage's weights at its start
    double fallenTexture_ = 1.0;
    alignas(64) std::array<double, kMaxFrames> falls_{};  // exp(-(index + P) / N) of each falling frame
};

}  // namespace quellwave
