#include "app/ui/GainEnvelope.hpp"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace quellwave::ui {
namespace {

constexpr int kRiseSteps = 20;
constexpr int kWobbleSteps = 100;
constexpr int kDipSteps = 20;
constexpr int kSwellSteps = 100;
constexpr int kFadeOutFirstStep = 100;

// Half a cosine from 0 to 1 over x in [0, 1].
double easeInOut(double x) { return (1.0 - std::cos(x * std::numbers::pi)) / 2.0; }

}  // namespace

void GainEnvelope::start() { enter(State::Rise, 0); }

void GainEnvelope::reset() { enter(State::Idle, 0); }

void GainEnvelope::enter(State state, int step) {
    state_ = state;
    step_ = step;
}

double GainEnvelope::intervalOfState() const {
    return state_ == State::FadeOut ? timing_.fadeOutSeconds : timing_.stepSeconds;
}

double GainEnvelope::gainOfStep(const Frame& frame) const {
    const double target = frame.targetGain;
    const double g = frame.currentGain;
    const double step = step_;
    switch (state_) {
    case State::Rise: return target * 0.2 * step / (kRiseSteps - 1);
    case State::Wobble:
        return std::max(0.0,
                        target * 0.04 * std::sin(step / kWobbleSteps * 5.0 * 2.0 * std::numbers::pi) + target * 0.2);
    case State::Dip: return g + (0.16 * target - g) * easeInOut(step / (kDipSteps - 1));
    case State::Swell: return g + (target - g) * easeInOut(step / (kSwellSteps - 1));
    case State::FadeOut: return target * step / kFadeOutFirstStep;
    case State::Idle:
    case State::Hold: break;
    }
    return target;
}

GainEnvelope::Outcome GainEnvelope::advance(const Frame& frame) {
    Outcome outcome;
    if (state_ == State::Idle) {
        return outcome;
    }
    if (state_ == State::Hold) {
        outcome.gain = frame.targetGain;
        if (frame.sessionSeconds <= frame.sessionElapsed) {
            enter(State::FadeOut, kFadeOutFirstStep);
        }
        return outcome;
    }
    if (frame.sinceLastStep < intervalOfState()) {
        return outcome;
    }
    outcome.gain = gainOfStep(frame);
    outcome.restartClock = true;
    switch (state_) {
    case State::Rise:
        if (++step_ == kRiseSteps) enter(State::Wobble, 0);
        break;
    case State::Wobble:
        if (++step_ == kWobbleSteps) enter(State::Dip, 0);
        break;
    case State::Dip:
        if (++step_ == kDipSteps) enter(State::Swell, 0);
        break;
    case State::Swell:
        if (++step_ == kSwellSteps) {
            enter(State::Hold, 0);
            outcome.gain = frame.targetGain;
        }
        break;
    case State::FadeOut:
        if (--step_ < 0) {
            outcome.sessionOver = true;
            enter(State::Idle, 0);
        }
        break;
    case State::Idle:
    case State::Hold: break;
    }
    return outcome;
}

}  // namespace quellwave::ui
