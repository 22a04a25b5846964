#include "app/engine/ExperiencePrograms.hpp"

#include <algorithm>
#include <cmath>
#include <stdexcept>
#include <string>

namespace quellwave {
namespace {

// One row of a program: a stage with its carrier and overlay profile.
struct StageRow {
    double beat;
    std::uint16_t affirmationStart;
    std::uint16_t affirmationEnd;
    double share;
    double carrier;
    std::vector<double> overlayProfile;
};

void setStages(ExperienceProgram& program, const std::vector<StageRow>& rows) {
    for (const auto& row : rows) {
        program.stages.push_back({row.beat, row.affirmationStart, row.affirmationEnd, row.share, 0.0});
        program.carriers.push_back(row.carrier);
        program.overlayProfiles.push_back(row.overlayProfile);
    }
}

// The deep experiences with spoken affirmations (synthesis mode 16).
ExperienceProgram deepProgram() {
    ExperienceProgram program;
    program.synthesisMode = 16;
    program.modulation = {0.1, 1.0, 0.05, 0.5, 0.0159};
    program.harmonicLevel = 0.25;
    program.jitterLevel = 0.03;
    program.pulseDuty = 0.7;
    program.beatCurve = BeatCurve::Cubic;
    program.toneLevel = 0.7;
    program.noiseLevel = 0.3;
    program.overlayShaping = true;
    program.companionToneFrequency = 6.0;
    program.sweeps = {{1, 1.61803, 1.61803, 30.0}};
    return program;
}

ExperienceProgram outOfPhysicalRealm() {
    ExperienceProgram program = deepProgram();
    program.rampLength = true;
    program.carrySweep = true;
    setStages(program, {{6.0, 75, 30, 7.0, 120, {6, 4}},
                        {4.0, 30, 10, 15.0, 110, {4, 26, 36}},
                        {5.61803, 10, 5, 15.0, 110, {36, 26}},
                        {5.81803, 10, 10, 10.0, 110, {26, 20}},
                        {5.16803, 10, 10, 8.0, 110, {20, 10}},
                        {4.61803, 10, 10, 10.0, 100, {10, 7.83}},
                        {4.16803, 10, 10, 5.0, 110, {7.83, 10}},
                        {7.0, 10, 10, 20.0, 110, {10, 6}},
                        {8.0, 10, 95, 10.0, 120, {6, 40}}});
    return program;
}

ExperienceProgram lucidDream() {
    ExperienceProgram program = deepProgram();
    setStages(program, {{6.0, 75, 30, 10.0, 120, {6, 4}},
                        {4.0, 30, 10, 25.0, 110, {26, 36}},
                        {5.61803, 10, 5, 25.0, 110, {36, 26}},
                        {6.3, 10, 10, 30.0, 110, {26, 10}},
                        {8.0, 10, 95, 10.0, 130, {40}}});
    return program;
}

ExperienceProgram artAndCreativity() {
    ExperienceProgram program;
    program.synthesisMode = 6;
    program.modulation = {0.1, 0.9, 0.5, 0.8, 0.15};
    program.harmonicLevel = 0.3;
    program.jitterLevel = 0.03;
    program.pulseDuty = 0.6;
    program.toneLevel = 0.75;
    program.noiseLevel = 0.25;
    program.overlayShaping = true;
    program.overlayTone = {true, 0.1, 1.0};
    setStages(program, {{12.0, 75, 60, 25.0, 150, {9}}, {9.0, 60, 50, 50.0, 140, {9}}, {10.0, 50, 75, 25.0, 150, {9}}});
    return program;
}

// The light experiences (synthesis mode 4) whose main stage plays the experience code as beat.
ExperienceProgram lightProgram() {
    ExperienceProgram program;
    program.synthesisMode = 4;
    program.modulation = {0.15, 1.0, 0.0, 0.0, 0.1};
    program.harmonicLevel = 0.25;
    program.jitterLevel = 0.03;
    program.pulseDuty = 0.6;
    return program;
}

ExperienceProgram lightRelaxation(double mainBeat) {
    ExperienceProgram program = lightProgram();
    program.toneLevel = 0.7;
    program.noiseLevel = 0.3;
    program.sweeps = {{1, 0.0, 0.2, 8.0}};
    setStages(program, {{14.0, 75, 60, 20.0, 150, {10}},
                        {10.0, 60, 50, 20.0, 130, {8}},
                        {mainBeat, 50, 40, 50.0, 120, {8}},
                        {14.0, 40, 75, 10.0, 130, {10}}});
    return program;
}

ExperienceProgram positiveEmotions(double mainBeat) {
    ExperienceProgram program = lightProgram();
    program.harmonicLevel = 0.2;
    program.toneLevel = 0.8;
    program.noiseLevel = 0.2;
    setStages(program, {{18.0, 75, 60, 20.0, 150, {10}},
                        {22.0, 60, 50, 20.0, 140, {12}},
                        {mainBeat, 50, 40, 50.0, 130, {14}},
                        {15.0, 40, 75, 10.0, 135, {15}}});
    return program;
}

}  // namespace

ExperienceProgram experienceProgram(double code) {
    if (code == 4.0) return outOfPhysicalRealm();
    if (code == 4.1) return lucidDream();
    if (code == 9.0) return artAndCreativity();
    if (code == 12.0) return lightRelaxation(code);
    if (code == 20.0) return positiveEmotions(code);
    throw std::invalid_argument("Unknown experience code " + std::to_string(code));
}

void rescaleStages(std::vector<ExperienceStage>& stages, std::int32_t totalSeconds) {
    if (totalSeconds <= 0) throw std::invalid_argument("A session must last at least one second");
    const bool shortSession = totalSeconds <= 1800;
    const double k = shortSession ? 10.0 : 12.0;
    const std::int32_t minimum = shortSession ? 60 : 120;

    std::vector<double> weights;
    weights.reserve(stages.size());
    double sum = 0.0;
    for (const auto& stage : stages) {
        const double x = std::clamp(stage.beat, 0.1, 100.0);
        weights.push_back((k / std::log10(x + 2.0)) * (stage.share / 100.0));
        sum += weights.back();
    }
    if (!(sum > 0.0)) throw std::invalid_argument("The stage shares must add up to more than 0");

    for (std::size_t i = 0; i < stages.size(); ++i)
        stages[i].duration = std::max(static_cast<std::int32_t>(totalSeconds * (weights[i] / sum)), minimum);

    std::int32_t total = 0;
    for (const auto& stage : stages) total = static_cast<std::int32_t>(total + stage.duration);
    if (total == totalSeconds) return;
    const double factor = static_cast<double>(totalSeconds) / total;
    for (auto& stage : stages) stage.duration = static_cast<std::int32_t>(factor * stage.duration);
}

void configureExperience(ExperienceEngine& engine, double code, std::int32_t minutes) {
    ExperienceProgram program = experienceProgram(code);
    rescaleStages(program.stages, sessionLengthSeconds(minutes));
    engine.loadProgram(program, minutes);
}

}  // namespace quellwave
