// Four-lane vectors in functions built for machines without AVX are split into two-lane halves;
// no such vector crosses a function boundary (every helper is inlined), so the ABI note does not
// apply.
#pragma GCC diagnostic ignored "-Wpsabi"

#include "app/engine/SessionFade.hpp"

#include <cmath>

#include "app/engine/LaneVectors.hpp"
#include "app/engine/WideLanes.hpp"

namespace quellwave {

void SessionFade::enterStage(std::int32_t index, std::int32_t count) {
    index_ = index;
    count_ = count;
    lastStage_ = index + 1 >= count;
    if (!lastStage_) return;
    const double u = std::exp(-(count - 1.0) / count_);
    fallenTremolo_ = u * u * u;
    fallenTexture_ = u * u;
}

template <class Lanes>
[[gnu::always_inline]] inline void SessionFade::writeLanesOf(std::size_t frames, const FadeSettings& run,
                                                             const FadeFrames& runFrames, RunLanes& lanes) {
    constexpr std::size_t kLanes = sizeof(Lanes) / sizeof(double);
    // Copies that no store to the lanes can change, so that the loop keeps them in registers.
    const FadeSettings settings = run;
    const FadeFrames inputs = runFrames;
    const Lanes one = broadcast<Lanes>(1.0);
    for (std::size_t slot = 0; slot < frames; slot += kLanes) {
        const Lanes u = loadLanes<Lanes>(&falls_[slot]);
        Lanes tremolo = u * u * u;
        Lanes texture = u * u;
        if (lastStage_) {
            const Lanes progress = loadLanes<Lanes>(&inputs.progress[slot]);
            const Lanes rise = 2.0 * (progress - 0.5);
            const auto falling = progress <= 0.5;
            tremolo = falling ? tremolo : fallenTremolo_ + (1.0 - fallenTremolo_) * rise;
            texture = falling ? texture : fallenTexture_ + (1.0 - fallenTexture_) * rise;
        }
        if (settings.tremolo) {
            const Lanes weight = settings.shaped ? tremolo : one;
            const Lanes factor = 1.0 + settings.tremoloDepth * weight * loadLanes<Lanes>(&inputs.tremoloSine[slot]);
            storeFramePairs(&lanes.tremolo[2 * slot], factor, factor);
        }
        const Lanes layer = loadLanes<Lanes>(&inputs.texture[slot]) * 0.1 * 0.5 * texture;
        storeFramePairs(&lanes.texture[2 * slot], layer, layer);
    }
}

void SessionFade::writeLanesWide(std::size_t frames, const FadeSettings& settings, const FadeFrames& inputs,
                                 RunLanes& lanes) {
    writeLanesOf<DoubleQuad>(frames, settings, inputs, lanes);
}

void SessionFade::writeLanes(std::size_t frames, const FadeSettings& settings, const FadeFrames& inputs,
                             RunLanes& lanes) {
    // No two frames share an exponential's argument, and the library's exponential takes one at a
    // time. The last stage's second half rises instead and needs none.
    for (std::size_t slot = 0; slot < frames; ++slot) {
        const double progress = inputs.progress[slot];
        if (!lastStage_ || progress <= 0.5) falls_[slot] = std::exp(-(index_ + progress) / count_);
    }
    if (wideLanes())
        writeLanesWide(frames, settings, inputs, lanes);
    else
        writeLanesOf<DoublePair>(frames, settings, inputs, lanes);
}

}  // namespace quellwave
