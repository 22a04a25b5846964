#pragma once

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <vector>

#include "app/engine/ClipPlayer.hpp"
#include "app/engine/ExperienceEngine.hpp"
#include "app/engine/ExperienceStage.hpp"

namespace quellwave::testing {

// Records what the engine asks of the affirmation player; answers as scripted.
class FakeClipPlayer final : public ClipPlayer {
public:
    struct Log {
        int resets = 0;
        int playingQueries = 0;
        std::vector<AffirmationCue> cues;
        bool playing = false;
        bool startOnTrigger = false;
    };

    explicit FakeClipPlayer(std::shared_ptr<Log> log) : log_(std::move(log)) {}

    void resetSession() override { ++log_->resets; }
    bool trigger(const AffirmationCue& cue) override {
        log_->cues.push_back(cue);
        return log_->startOnTrigger;
    }
    bool isPlaying() override {
        ++log_->playingQueries;
        return log_->playing;
    }

private:
    std::shared_ptr<Log> log_;
};

using Block = std::vector<std::int16_t>;

inline Block nextBlock(ExperienceEngine& engine, bool* running = nullptr) {
    Block block(ExperienceEngine::kBlockSamples);
    const bool result = engine.generateBlock(std::span<std::int16_t, ExperienceEngine::kBlockSamples>(block));
    if (running != nullptr) *running = result;
    return block;
}

// Appends the next blocks' left and right channels as doubles.
inline void collect(ExperienceEngine& engine, int blocks, std::vector<double>& left, std::vector<double>& right) {
    for (int b = 0; b < blocks; ++b) {
        const Block block = nextBlock(engine);
        for (std::size_t i = 0; i < block.size(); i += 2) {
            left.push_back(block[i]);
            right.push_back(block[i + 1]);
        }
    }
}

inline int peakOf(const Block& block) {
    int peak = 0;
    for (const std::int16_t s : block) peak = std::max(peak, std::abs(static_cast<int>(s)));
    return peak;
}

// A plain steady program: pure tones at the given carrier and beat, no noise or modulation.
inline ExperienceProgram steadyProgram(double carrier, double beat, bool shaped = false) {
    ExperienceProgram program;
    program.synthesisMode = 4;
    program.harmonicLevel = 0.0;
    program.jitterLevel = 0.0;
    program.toneLevel = 1.0;
    program.noiseLevel = 0.0;
    program.overlayShaping = shaped;
    program.stages = {{beat, 0, 0, 10.0, 4.0}, {beat, 0, 0, 45.0, 40.0}, {beat + 2.0, 0, 0, 45.0, 40.0}};
    program.carriers = {carrier, carrier, carrier};
    program.overlayProfiles = {{5}, {5}, {5}};
    return program;
}

}  // namespace quellwave::testing
