#pragma once

#include <cstdint>
#include <limits>
#include <stdexcept>
#include <vector>

namespace quellwave {

// One stage of an experience, in playing order.
struct ExperienceStage {
    double beat = 0.0;                   // Hz: right-ear tone minus left-ear tone
    std::uint16_t affirmationStart = 0;  // percent of the master volume at the stage's start
    std::uint16_t affirmationEnd = 0;    // percent of the master volume at the stage's end
    double share = 0.0;                  // percent of the session (read only by rescaleStages)
    double duration = 0.0;               // seconds, whole numbers after rescaleStages
};

// A staircase sweep of the beat while the named stage plays.
struct BeatSweep {
    std::int32_t stage = 0;
    double lower = 0.0;  // Hz
    double upper = 0.0;  // Hz
    double further = 0.0;
};

// Slow modulations of one synthesis mode.
struct ModeModulation {
    double vibratoRate = 0.0;   // Hz
    double vibratoDepth = 0.0;  // Hz
    double tremoloRate = 0.0;   // Hz
    double tremoloDepth = 0.0;
    double panRate = 0.0;  // Hz
};

// A second tone pair at the carrier and the overlay frequency.
struct OverlayTone {
    bool enabled = false;
    double vibratoRate = 0.0;   // Hz
    double vibratoDepth = 0.0;  // Hz
};

// Beat-curve kinds: how the beat glides from one stage's value to the next.
enum class BeatCurve : std::int32_t { Cosine = 2, Cubic = 4 };

// The length of a session of the given minutes in seconds; throws std::invalid_argument unless
// it is positive and fits the 32-bit second counts of the stage table.
inline std::int32_t sessionLengthSeconds(std::int32_t minutes) {
    if (minutes <= 0 || minutes > std::numeric_limits<std::int32_t>::max() / 60)
        throw std::invalid_argument("A session lasts a positive number of minutes, at most 35791394");
    return minutes * 60;
}

// Everything one experience program gives the engine for a session.
struct ExperienceProgram {
    std::uint32_t synthesisMode = 4;  // 4, 6 or 16; also the ambience preset
    ModeModulation modulation;
    double harmonicLevel = 0.25;
    double jitterLevel = 0.03;
    double pulseDuty = 0.6;
    double toneLevel = 0.0;
    double noiseLevel = 0.0;
    BeatCurve beatCurve = BeatCurve::Cosine;
    bool rampLength = false;  // middle stages ramp over 0.75 of their length
    bool overlayShaping = false;
    bool carrySweep = false;  // a stage change folds the sweep offset into the beat
    OverlayTone overlayTone;
    double companionToneFrequency = 0.0;  // Hz, mode 16 only
    std::vector<ExperienceStage> stages;
    std::vector<double> carriers;                      // Hz, one per stage
    std::vector<std::vector<double>> overlayProfiles;  // Hz, one non-empty profile per stage
    std::vector<BeatSweep> sweeps;
};

}  // namespace quellwave
