// Four- and eight-lane vectors in functions built for machines without them are split into halves;
// no such vector crosses a function boundary (every helper is inlined), so the ABI note does not
// apply.
#pragma GCC diagnostic ignored "-Wpsabi"

#include "app/engine/FrameMixing.hpp"

#include <numbers>

#include "app/engine/LaneVectors.hpp"
#include "app/engine/PhaseSine.hpp"
#include "app/engine/WideLanes.hpp"

namespace quellwave {
namespace {

constexpr double kPi = std::numbers::pi;

// sineArgument and cosineArgument lane by lane, for phases already in [0, 2 pi).
template <class Lanes>
[[gnu::always_inline]] inline Lanes sineOfWrapped(const Lanes& phase) {
    const Lanes x = kPi - phase;
    const Lanes magnitude = x < 0.0 ? -x : x;
    const Lanes pi = Lanes{} + kPi;
    const Lanes folded = (x < 0.0 ? -pi : pi) - x;  // copysign(pi, x) - x
    return sineNearZero(magnitude > kPi / 2 ? folded : x);
}

template <class Lanes>
[[gnu::always_inline]] inline Lanes cosineOfWrapped(const Lanes& phase) {
    const Lanes x = kPi / 2 - phase;
    return sineNearZero(x < -kPi / 2 ? -kPi - x : x);
}

template <class Lanes>
[[gnu::always_inline]] inline Lanes gateOf(const Lanes& phase, double threshold) {
    const Lanes s = sineOfWrapped(phase);
    const Lanes open = Lanes{} + 1.0;
    return s < threshold ? (s + 1.0) / 2.0 : open;
}

template <class Lanes>
[[gnu::always_inline]] inline void mixLanes(const RunLanes& lanes, const double* pink, const MixSettings& run,
                                            std::size_t begin, std::size_t end, double* out) {
    constexpr std::size_t kLanes = sizeof(Lanes) / sizeof(double);
    // A copy that no store to out can change, so that the loop keeps it in registers.
    const MixSettings settings = run;
    for (std::size_t i = begin; i < end; i += kLanes) {
        const Lanes phase = loadLanes<Lanes>(&lanes.tonePhase[i]);
        const Lanes s = sineOfWrapped(phase);
        const Lanes c = cosineOfWrapped(phase);
        // sin(2x) = 2 sin(x) cos(x)
        const Lanes harmonics = settings.harmonicWeight * s * c;
        const Lanes tones = (s + harmonics) * loadLanes<Lanes>(&lanes.swell[i]);
        const Lanes noise = loadLanes<Lanes>(pink + i);
        Lanes mixed;
        if (settings.mode == 16) {
            const Lanes gate = gateOf(loadLanes<Lanes>(&lanes.gatePhase[i]), settings.gateThreshold);
            const Lanes overlay = sineOfWrapped(loadLanes<Lanes>(&lanes.overlayPhase[i]));
            mixed = gate * (tones * settings.toneLevel + noise * settings.noiseLevel) +
                    loadLanes<Lanes>(&lanes.companion[i]) + 0.6 * overlay;
            mixed *= loadLanes<Lanes>(&lanes.flutter[i]);
        } else {
            mixed = tones * settings.toneLevel + noise * settings.noiseLevel;
            if (settings.mode == 6) mixed *= gateOf(loadLanes<Lanes>(&lanes.gatePhase[i]), settings.gateThreshold);
        }
        if (settings.overlayTone) mixed += 0.3 * sineOfWrapped(loadLanes<Lanes>(&lanes.overlayTonePhase[i]));
        if (settings.tremolo) mixed *= loadLanes<Lanes>(&lanes.tremolo[i]);
        if (settings.pan) mixed *= loadLanes<Lanes>(&lanes.pan[i]);
        mixed += loadLanes<Lanes>(&lanes.texture[i]);
        if (settings.volume) mixed *= settings.volumeScale;
        storeLanes(out + i, mixed);
    }
}

// Whole groups of frames as many at a time as Lanes holds doubles, the frames left over on the
// narrower lanes that follow, down to an odd last frame two at a time.
template <class Lanes, class... Narrower>
[[gnu::always_inline]] inline void mixFrames(const RunLanes& lanes, const double* pink, const MixSettings& settings,
                                             std::size_t from, std::size_t to, double* out) {
    constexpr std::size_t kFrames = sizeof(Lanes) / sizeof(double) / 2;
    const std::size_t groupsEnd = from + (to - from) / kFrames * kFrames;
    mixLanes<Lanes>(lanes, pink, settings, 2 * from, 2 * groupsEnd, out);
    if constexpr (sizeof...(Narrower) > 0) mixFrames<Narrower...>(lanes, pink, settings, groupsEnd, to, out);
}

[[gnu::target("avx2")]] void mixRunWide(const RunLanes& lanes, const double* pink, const MixSettings& settings,
                                        std::size_t from, std::size_t to, double* out) {
    mixFrames<DoubleQuad, DoublePair>(lanes, pink, settings, from, to, out);
}

[[gnu::target("avx2,avx512f")]] void mixRunWidest(const RunLanes& lanes, const double* pink,
                                                  const MixSettings& settings, std::size_t from, std::size_t to,
                                                  double* out) {
    mixFrames<DoubleOctet, DoubleQuad, DoublePair>(lanes, pink, settings, from, to, out);
}

}  // namespace

void mixRun(const RunLanes& lanes, const double* pink, const MixSettings& settings, std::size_t from, std::size_t to,
            double* out) {
    if (widestLanes())
        mixRunWidest(lanes, pink, settings, from, to, out);
    else if (wideLanes())
        mixRunWide(lanes, pink, settings, from, to, out);
    else
        mixFrames<DoublePair>(lanes, pink, settings, from, to, out);
}

}  // namespace quellwave
