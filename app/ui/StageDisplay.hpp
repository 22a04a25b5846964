#pragma once

#include "app/engine/ExperienceEngine.hpp"

#include <cstdint>
#include <string>
#include <vector>

namespace quellwave::ui {

// Where a running session stands, as its screen shows it.
struct SessionSnapshot {
    StageProgress progress;
    std::vector<double> stageDurations;  // seconds
    std::uint32_t sampleRate = 0;
};

// The texts and the progress bar of the session screen.
namespace stage_display {

// "Stage 2: 37/180 s [Active]" for each stage.
std::vector<std::string> stageLines(const SessionSnapshot& snapshot);
std::string volumeLine(double volumePercent);
std::string timeRemainingLine(double sessionSeconds, double elapsed);
// Share of the bar to fill: elapsed / session length, kept within the bar's frame.
float progressShare(double elapsed, double sessionSeconds);

}  // namespace stage_display
}  // namespace quellwave::ui
