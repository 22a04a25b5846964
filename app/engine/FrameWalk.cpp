// Four-lane vectors in functions built for machines without AVX are split into two-lane halves;
// no such vector crosses a function boundary (every helper is inlined), so the ABI note does not
// apply.
#pragma GCC diagnostic ignored "-Wpsabi"

#include "app/engine/FrameWalk.hpp"

#include <numbers>

#include "app/engine/LaneVectors.hpp"
#include "app/engine/PhaseSine.hpp"
#include "app/engine/WideLanes.hpp"

namespace quellwave {
namespace {

constexpr double kTwoPi = 2.0 * std::numbers::pi;

// std::fabs lane by lane: the sign bit cleared.
template <class Lanes>
[[gnu::always_inline]] inline Lanes magnitude(const Lanes& x) {
    using Bits = LaneBits<Lanes>;
    return reinterpret_cast<Lanes>(reinterpret_cast<Bits>(x) & (Bits{} + 0x7FFFFFFFFFFFFFFFLL));
}

// Whether any lane's mask is set. The four-lane form is only ever inlined into code built for AVX2.
[[gnu::always_inline]] inline bool anyLane(const LaneBits<DoublePair>& mask) {
    return __builtin_ia32_movmskpd(reinterpret_cast<DoublePair>(mask)) != 0;
}

[[gnu::always_inline]] inline bool anyLane(const LaneBits<DoubleQuad>& mask) {
    return __builtin_ia32_movmskpd256(reinterpret_cast<DoubleQuad>(mask)) != 0;
}

// wrapPhase lane by lane. A phase leaves [0, 2 pi) only with a step that does not keep it there,
// so the lanes are looked at one by one only then.
template <class Lanes>
[[gnu::always_inline]] inline Lanes wrapped(Lanes phase) {
    if (anyLane((phase < 0.0) | (phase >= kTwoPi))) {
        for (std::size_t k = 0; k < sizeof(Lanes) / sizeof(double); ++k) phase[k] = wrapPhase(phase[k]);
    }
    return phase;
}

// A phase moved on by one step and kept in [0, 2 pi) over an hour-long session.
[[gnu::always_inline]] inline void advancePhase(double& phase, double step) {
    phase += step;
    if (phase >= kTwoPi) phase -= kTwoPi;
}

}  // namespace

template <class Lanes>
[[gnu::always_inline]] inline void FrameWalk::stepFrames(std::size_t count, const WalkSettings& run,
                                                         const WalkInputs& frames) {
    constexpr std::size_t kLanes = sizeof(Lanes) / sizeof(double);
    // Copies that no store to the steps can change, so that the loop keeps them in registers.
    const WalkSettings settings = run;
    const WalkInputs inputs = frames;
    const double r = settings.radiansPerHz;
    const StageFrames& points = *inputs.points;
    for (std::size_t slot = 0; slot < count; slot += kLanes) {
        const Lanes carrier = loadLanes<Lanes>(&points.carrier[slot]);
        const Lanes sweep = inputs.sweeps != nullptr ? loadLanes<Lanes>(&inputs.sweeps[slot]) : Lanes{};
        const Lanes beat = loadLanes<Lanes>(&points.beat[slot]) + sweep;
        const Lanes left = carrier;
        const Lanes right = carrier + beat;
        const Lanes jitter = loadLanes<Lanes>(&inputs.jitter[slot]) * settings.jitterLevel;
        const Lanes frequencyLeft = left + jitter;
        const Lanes frequencyRight = right + jitter;
        if (settings.shaped) {
            const Lanes stepLeft = r * frequencyLeft;
            const Lanes stepRight = r * frequencyRight;
            const Lanes factor = loadLanes<Lanes>(&points.phaseFactor[slot]);
            storeLanes(&steps_.left[slot], stepLeft);
            storeLanes(&steps_.right[slot], stepRight);
            storeLanes(&steps_.shapedLeft[slot], stepLeft * factor);
            storeLanes(&steps_.shapedRight[slot], stepRight * factor);
        }
        const Lanes vibrato = settings.vibratoDepth * loadLanes<Lanes>(&inputs.vibrato[slot]);
        storeLanes(&steps_.vibratoLeft[slot], r * (frequencyLeft + vibrato));
        storeLanes(&steps_.vibratoRight[slot], r * (frequencyRight + vibrato));

        const Lanes difference = magnitude(right - left);
        storeLanes(&steps_.pulse[slot], r * (difference < 0.001 ? broadcast<Lanes>(1.0) : difference));
        if (settings.mode != 16 && !settings.overlayTone) continue;
        const Lanes overlayFrequency = carrier + loadLanes<Lanes>(&inputs.overlayOffsets[slot]);
        if (settings.mode == 16) {
            Lanes gateHz = difference < 0.001 ? broadcast<Lanes>(6.0) : difference;
            if (settings.firstStage)
                gateHz = settings.gateCeiling < gateHz ? broadcast<Lanes>(settings.gateCeiling) : gateHz;  // std::min
            storeLanes(&steps_.gate[slot], r * gateHz);
            storeLanes(&steps_.overlayA[slot], r * carrier);
            storeLanes(&steps_.overlayB[slot], r * overlayFrequency);
        }
        if (settings.overlayTone) {
            const Lanes overlayVibrato = settings.overlayVibratoDepth * loadLanes<Lanes>(&inputs.overlayVibrato[slot]);
            storeLanes(&steps_.overlayToneA[slot], r * carrier);
            storeLanes(&steps_.overlayToneB[slot], r * (overlayFrequency + overlayVibrato));
        }
    }
}

template <bool Shaped, std::uint32_t Mode, bool OverlayTone>
void FrameWalk::movePhases(std::size_t count, WalkPhases& phases) {
    WalkPhases p = phases;  // kept in registers
    for (std::size_t slot = 0; slot < count; ++slot) {
        if constexpr (Shaped) {
            advancePhase(p.left, steps_.left[slot]);
            advancePhase(p.right, steps_.right[slot]);
            advancePhase(p.left, steps_.shapedLeft[slot]);
            advancePhase(p.right, steps_.shapedRight[slot]);
        }
        advancePhase(p.left, steps_.vibratoLeft[slot]);
        advancePhase(p.right, steps_.vibratoRight[slot]);
        phases_.left[slot] = p.left;
        phases_.right[slot] = p.right;
        p.pulse += steps_.pulse[slot];
        if (p.pulse > kTwoPi) p.pulse -= kTwoPi;
        if constexpr (Mode == 6) phases_.gate[slot] = p.pulse;
        if constexpr (Mode == 16) {
            advancePhase(p.gate, steps_.gate[slot]);
            advancePhase(p.overlayA, steps_.overlayA[slot]);
            advancePhase(p.overlayB, steps_.overlayB[slot]);
            phases_.gate[slot] = p.gate;
            phases_.overlayA[slot] = p.overlayA;
            phases_.overlayB[slot] = p.overlayB;
        }
        if constexpr (OverlayTone) {
            advancePhase(p.overlayA, steps_.overlayToneA[slot]);
            advancePhase(p.overlayB, steps_.overlayToneB[slot]);
            phases_.overlayToneA[slot] = p.overlayA;
            phases_.overlayToneB[slot] = p.overlayB;
        }
    }
    phases = p;
}

template <bool Shaped, std::uint32_t Mode>
void FrameWalk::movePhases(std::size_t count, bool overlayTone, WalkPhases& phases) {
    if (overlayTone)
        movePhases<Shaped, Mode, true>(count, phases);
    else
        movePhases<Shaped, Mode, false>(count, phases);
}

template <class Lanes>
[[gnu::always_inline]] inline void FrameWalk::writeLanes(std::size_t count, const WalkSettings& run,
                                                         const WalkInputs& frames, RunLanes& lanes) {
    constexpr std::size_t kLanes = sizeof(Lanes) / sizeof(double);
    // Copies that no store to the lanes can change, so that the loop keeps them in registers.
    const WalkSettings settings = run;
    const WalkInputs inputs = frames;
    const Lanes one = broadcast<Lanes>(1.0);
    for (std::size_t slot = 0; slot < count; slot += kLanes) {
        const std::size_t at = 2 * slot;
        storeFramePairs(&lanes.tonePhase[at], wrapped(loadLanes<Lanes>(&phases_.left[slot])),
                        wrapped(loadLanes<Lanes>(&phases_.right[slot])));
        const Lanes swell = settings.mode == 6 ? one : 1.0 + 0.1 * loadLanes<Lanes>(&inputs.swell[slot]);
        storeFramePairs(&lanes.swell[at], swell, swell);
        if (settings.mode == 6 || settings.mode == 16) {
            const Lanes gate = wrapped(loadLanes<Lanes>(&phases_.gate[slot]));
            storeFramePairs(&lanes.gatePhase[at], gate, gate);
        }
        if (settings.mode == 16) {
            storeFramePairs(&lanes.overlayPhase[at], wrapped(loadLanes<Lanes>(&phases_.overlayA[slot])),
                            wrapped(loadLanes<Lanes>(&phases_.overlayB[slot])));
            Lanes flutter = one;
            if (settings.mayFlutter) {
                const Lanes progress = loadLanes<Lanes>(&inputs.points->progress[slot]);
                const Lanes fluttering = 1.0 + 0.1 * progress * loadLanes<Lanes>(&inputs.flutter[slot]);
                flutter = progress > 0.25 && progress < 0.3 ? fluttering : one;
            }
            storeFramePairs(&lanes.flutter[at], flutter, flutter);
        }
        if (settings.overlayTone) {
            storeFramePairs(&lanes.overlayTonePhase[at], wrapped(loadLanes<Lanes>(&phases_.overlayToneA[slot])),
                            wrapped(loadLanes<Lanes>(&phases_.overlayToneB[slot])));
        }
        if (settings.pan) {
            const Lanes pan = loadLanes<Lanes>(&inputs.pan[slot]);
            storeFramePairs(&lanes.pan[at], 1.0 + 0.1 * pan, 1.0 - 0.1 * pan);
        }
    }
}

void FrameWalk::stepFramesWide(std::size_t count, const WalkSettings& settings, const WalkInputs& inputs) {
    stepFrames<DoubleQuad>(count, settings, inputs);
}

void FrameWalk::writeLanesWide(std::size_t count, const WalkSettings& settings, const WalkInputs& inputs,
                               RunLanes& lanes) {
    writeLanes<DoubleQuad>(count, settings, inputs, lanes);
}

void FrameWalk::walk(std::size_t count, const WalkSettings& settings, const WalkInputs& inputs, WalkPhases& phases,
                     RunLanes& lanes) {
    const bool wide = wideLanes();
    if (wide)
        stepFramesWide(count, settings, inputs);
    else
        stepFrames<DoublePair>(count, settings, inputs);

    const auto move = [&]<bool Shaped>() {
        if (settings.mode == 16)
            movePhases<Shaped, 16>(count, settings.overlayTone, phases);
        else if (settings.mode == 6)
            movePhases<Shaped, 6>(count, settings.overlayTone, phases);
        else
            movePhases<Shaped, 4>(count, settings.overlayTone, phases);
    };
    if (settings.shaped)
        move.template operator()<true>();
    else
        move.template operator()<false>();

    if (wide)
        writeLanesWide(count, settings, inputs, lanes);
    else
        writeLanes<DoublePair>(count, settings, inputs, lanes);
}

}  // namespace quellwave
