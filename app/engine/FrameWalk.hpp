#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

#include "app/engine/FrameMixing.hpp"
#include "app/engine/StageProgression.hpp"

namespace quellwave {

// The oscillators' phases, which each frame takes from the one before.
struct WalkPhases {
    double left = 0.0;  // the tone pair
    double right = 0.0;
    double pulse = 0.0;     // the pulse, which mode 6 gates with
    double gate = 0.0;      // mode 16's gate
    double overlayA = 0.0;  // the overlay: carrier, then overlay frequency
    double overlayB = 0.0;
};

// What stays the same over a run of frames.
struct WalkSettings {
    std::uint32_t mode = 4;     // 4, 6 or 16
    double radiansPerHz = 0.0;  // phase advance per frame of 1 Hz
    double jitterLevel = 0.0;
    bool shaped = false;  // the tones run at (2 + k) times the frequencies
    double vibratoDepth = 0.0;
    bool overlayTone = false;
    double overlayVibratoDepth = 0.0;
    bool firstStage = false;  // mode 16: the gate's rate is held to gateCeiling
    double gateCeiling = 0.0;
    bool mayFlutter = false;  // mode 16: the stage may flutter
    bool pan = false;
};

// Where each frame's own values are, slot 0 first. The sines are those of the session time that
// the frames read; only those the settings use need to be there.
struct WalkInputs {
    const StageFrames* points = nullptr;
    const double* sweeps = nullptr;          // the beat's sweep offsets, or nullptr where the sweep rests
    const double* jitter = nullptr;          // white, in [-1, 1)
    const double* overlayOffsets = nullptr;  // modes with an overlay heard
    const double* vibrato = nullptr;
    const double* swell = nullptr;           // all modes but 6
    const double* flutter = nullptr;         // mode 16
    const double* overlayVibrato = nullptr;  // the overlay tone
    const double* pan = nullptr;
};

// The frame-by-frame part of a run: the phases move on frame after frame, and everything else is
// worked out for several frames at once, before and after. What a phase adds at each frame comes
// first, from the frame's stage point, sweep, jitter and sines; then the phases move, the only loop
// that must go frame after frame; then the lanes the mix reads are written from the phases and the
// frames' own values. Every value is the one that the same operations on one frame at a time give.
class FrameWalk {
public:
    static constexpr std::size_t kMaxFrames = RunLanes::kMaxFrames;

    // Frames [0, count) of a run (count at most kMaxFrames): moves phases on and writes the tone,
    // swell, gate, overlay, overlay tone, flutter and pan lanes that the settings use. Lanes past
    // count, up to the next four frames, may be written too.
    void walk(std::size_t count, const WalkSettings& settings, const WalkInputs& inputs, WalkPhases& phases,
              RunLanes& lanes);

private:
    template <class Lanes>
    void stepFrames(std::size_t count, const WalkSettings& settings, const WalkInputs& inputs);
    template <class Lanes>
    void writeLanes(std::size_t count, const WalkSettings& settings, const WalkInputs& inputs, RunLanes& lanes);
    template <bool Shaped, std::uint32_t Mode, bool OverlayTone>
    void movePhases(std::size_t count, WalkPhases& phases);
    template <bool Shaped, std::uint32_t Mode>
    void movePhases(std::size_t count, bool overlayTone, WalkPhases& phases);
    [[gnu::target("avx2")]] void stepFramesWide(std::size_t count, const WalkSettings& settings,
                                                const WalkInputs& inputs);
    [[gnu::target("avx2")]] void writeLanesWide(std::size_t count, const WalkSettings& settings,
                                                const WalkInputs& inputs, RunLanes& lanes);

    using Frames = std::array<double, kMaxFrames>;

    // What each phase adds at each frame. The tones take up to three steps a frame, each brought
    // back into range on its own: at their frequencies and at k times them (shaped experiences
    // only), then at their frequencies with the vibrato.
    struct Steps {
        alignas(64) Frames left;
        alignas(64) Frames right;
        alignas(64) Frames shapedLeft;
        alignas(64) Frames shapedRight;
        alignas(64) Frames vibratoLeft;
        alignas(64) Frames vibratoRight;
        alignas(64) Frames pulse;
        alignas(64) Frames gate;
        alignas(64) Frames overlayA;  // mode 16's overlay
        alignas(64) Frames overlayB;
        alignas(64) Frames overlayToneA;
        alignas(64) Frames overlayToneB;
    };

    // Each frame's phases as the walk leaves them, before they are brought into [0, 2 pi).
    struct Phases {
        alignas(64) Frames left;
        alignas(64) Frames right;
        alignas(64) Frames gate;  // the pulse in mode 6, the gate in mode 16
        alignas(64) Frames overlayA;
        alignas(64) Frames overlayB;
        alignas(64) Frames overlayToneA;
        alignas(64) Frames overlayToneB;
    };

    Steps steps_{};
    Phases phases_{};
};

}  // namespace quellwave
