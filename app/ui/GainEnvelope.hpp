#pragma once

#include <optional>

namespace quellwave::ui {

// The gain curve of one session: a short rise, a gentle wobble, a dip, a long swell up to the
// listener's volume, a hold for the session's length and a slow fade-out. The loop calls
// `advance` once per frame; at most one step is taken per frame.
class GainEnvelope {
public:
    enum class State { Idle = 0, Rise, Wobble, Dip, Swell, Hold, FadeOut };

    struct Timing {
        double stepSeconds = 0.05;    // interval of the rise, wobble, dip and swell steps
        double fadeOutSeconds = 0.1;  // interval of the fade-out steps
    };

    struct Frame {
        double sinceLastStep;   // seconds on the fade clock
        double currentGain;     // the gain last handed to the stream
        double targetGain;      // the listener's volume as a stream gain
        double sessionSeconds;  // length of the session
        double sessionElapsed;  // seconds on the screen clock
    };

    struct Outcome {
        std::optional<double> gain;  // a new gain to hand to the stream
        bool restartClock = false;   // a step was taken: restart the fade clock
        bool sessionOver = false;    // the fade-out has finished
    };

    GainEnvelope() = default;
    explicit GainEnvelope(Timing timing) : timing_(timing) {}

    void start();  // a session begins: the rise from its first step
    void reset();  // no session
    Outcome advance(const Frame& frame);

    State state() const { return state_; }
    int step() const { return step_; }
    // The listener's volume goes straight to the stream only while no envelope step would
    // overwrite it (no session, or the hold).
    bool followsVolumeDirectly() const { return state_ == State::Idle || state_ == State::Hold; }

private:
    double gainOfStep(const Frame& frame) const;
    double intervalOfState() const;
    void enter(State state, int step);

    Timing timing_;
    State state_ = State::Idle;
    int step_ = 0;
};

}  // namespace quellwave::ui
