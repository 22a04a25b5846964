#pragma once

#include "app/ui/GainEnvelope.hpp"
#include "app/ui/ListenerVolume.hpp"
#include "app/ui/RandomSource.hpp"
#include "app/ui/ScreenView.hpp"
#include "app/ui/SessionAudio.hpp"
#include "app/ui/SessionVisual.hpp"

namespace quellwave::ui {

// A running session: starts the stream from its first frame on (the data file is read on a
// worker thread while the screen that led here goes on being drawn), fades the gain in and out around
// the session, shows the visual, the time left and each stage's progress, and takes volume
// changes from the buttons and the Up and Down keys. When the sound output is lost, or cannot be
// opened for a new session, says so and returns to the selection.
class SessionScreen final : public ScreenView {
public:
    // Shown when the output is lost during a session; the session ends and the selection follows.
    static constexpr const char* kOutputLostText =
        "The sound output was lost: the sound server (PulseAudio or PipeWire) no longer answers. "
        "The session was stopped.";
    // Shown when a session finds no sound output to start on; the selection follows.
    static constexpr const char* kNoOutputText =
        "The sound output could not be opened: the sound server (PulseAudio or PipeWire) does not answer. "
        "The session was not started.";

    // `waiting` is drawn while the session's sound is being prepared.
    SessionScreen(const UiContext& ui, const Choice& choice, SessionAudio& audio, const RandomSource& random,
                  ScreenView& waiting, GainEnvelope::Timing envelopeTiming = {});

    std::optional<Screen> handle(const sf::Event& event) override;
    std::optional<Screen> draw(const FrameTime& time) override;

private:
    // Begins the session's sound, frame after frame until it plays (nothing is drawn in that
    // frame but the background); the screen that led here is drawn while the data file is read.
    std::optional<Screen> start(const FrameTime& time);
    // Stops and releases the session's sound; the selection follows.
    Screen leave();
    void changeVolume(bool up);
    // Takes this frame's envelope step; returns true when the session has run out.
    bool advanceEnvelope(float t);
    void drawTexts(float t, const SessionSnapshot& snapshot);
    void drawProgressBar(float y, float t);

    const UiContext& ui_;
    const Choice& choice_;
    SessionAudio& audio_;
    ScreenView& waiting_;
    SessionVisual visual_;
    GainEnvelope envelope_;
    ListenerVolume volume_;
    sf::Clock fadeClock_;
    bool started_ = false;
};

}  // namespace quellwave::ui
