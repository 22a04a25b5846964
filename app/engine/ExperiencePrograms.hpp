#pragma once

#include <cstdint>
#include <vector>

#include "app/engine/ExperienceEngine.hpp"
#include "app/engine/ExperienceStage.hpp"

namespace quellwave {

// Loads the program of an experience code (4.0, 4.1, 9.0, 12.0 or 20.0) for a session of the
// given minutes and puts the engine at the start of stage 0. Call it after startSynthesis and
// before playback. Throws std::invalid_argument for an unknown code or a non-positive duration.
void configureExperience(ExperienceEngine& engine, double code, std::int32_t minutes);

// Fits the stage durations to a session of totalSeconds (whole seconds per stage; low beats get
// more time than their share alone gives).
void rescaleStages(std::vector<ExperienceStage>& stages, std::int32_t totalSeconds);

// The program of an experience code, before its stages are fitted to a duration. Throws
// std::invalid_argument for a code that is not in the catalogue.
ExperienceProgram experienceProgram(double code);

}  // namespace quellwave
