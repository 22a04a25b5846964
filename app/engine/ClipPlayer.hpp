#pragma once

#include <cstdint>

namespace quellwave {

// What the engine knows at a trigger point of the affirmations.
struct AffirmationCue {
    std::int32_t stageIndex = 0;      // current stage
    std::int32_t stageCount = 0;      // stages in the table (at least one)
    double progress = 0.0;            // elapsed fraction of the current stage, 0..1
    std::uint16_t volumeAtStart = 0;  // the stage's affirmation volume at its start, percent
    std::uint16_t volumeAtEnd = 0;    // the stage's affirmation volume at its end, percent
    double masterVolume = 0.0;        // the engine's master volume, 0..100
};

// Plays the spoken affirmation clips for the engine.
//
// Every call comes with the global audio mutex held: trigger() and isPlaying() from the audio
// thread while a block is generated, resetSession() from the UI thread while a session is set up.
// The engine asks isPlaying() once at the start of each block (never per frame) and counts a
// clip started by trigger() as playing for the rest of that block.
class ClipPlayer {
public:
    virtual ~ClipPlayer() = default;

    // A new session starts: every clip is unplayed again and no clip counts as started.
    virtual void resetSession() = 0;

    // Called in synthesis mode 16 every quarter second of output. Starts the next due clip, with
    // its volume and pitch, when none is playing; returns true when it started one.
    virtual bool trigger(const AffirmationCue& cue) = 0;

    // True while a clip is sounding.
    virtual bool isPlaying() = 0;
};

}  // namespace quellwave
