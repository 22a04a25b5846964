#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <random>
#include <span>

#include "app/engine/ClipPlayer.hpp"
#include "app/engine/ExperienceStage.hpp"

namespace quellwave {

// Where the session stands, read in one piece under the global audio mutex.
struct StageProgress {
    std::int32_t stageIndex = 0;
    std::uint64_t frameCounter = 0;     // absolute frame of the next block
    std::uint64_t stageBeginFrame = 0;  // absolute frame at which the current stage began
};

// The experience synthesiser, free of any audio back end: it turns the stage table of an
// experience program into blocks of interleaved 16-bit stereo frames.
//
// Every public operation except applyAmbiencePreset locks the global audio mutex for its whole
// length; generateBlock holds it for a whole block, so a setter called meanwhile takes effect
// from the next block.
class ExperienceEngine {
public:
    static constexpr std::size_t kBlockFrames = 4096;
    static constexpr std::size_t kChannels = 2;
    static constexpr std::size_t kBlockSamples = kBlockFrames * kChannels;

    // clips may be null: the engine then plays no affirmations. The seed feeds the one random
    // engine that every noise generator and the frequency jitter draw from.
    ExperienceEngine(std::uint32_t sampleRate, std::unique_ptr<ClipPlayer> clips,
                     std::uint32_t seed = std::random_device{}());
    virtual ~ExperienceEngine();

    ExperienceEngine(const ExperienceEngine&) = delete;
    ExperienceEngine& operator=(const ExperienceEngine&) = delete;

    void startSynthesis();
    void setVolume(double volume);        // master volume, clamped to [0, 100]
    void setHarmonicLevel(double level);  // clamped to [0, 1]
    void requestStop();                   // the next block is the last one

    // Values of the last generated frame, Hz.
    double getBeatFrequency() const;
    double getLeftFrequency() const;
    double getRightFrequency() const;
    double getCarrierFrequency() const;
    double getOverlayFrequency() const;

    double getStageBeat(std::int32_t index) const;      // 0.0 out of range
    double getStageDuration(std::int32_t index) const;  // seconds; 0.0 out of range
    std::int32_t getStageCount() const;
    StageProgress getStageProgress() const;

    // Replaces the ambience event list. The caller holds the global audio mutex.
    void applyAmbiencePreset(std::uint32_t preset);

    // Puts a new session in place: the program's mode, levels, stage table (durations already
    // fitted), carriers, overlay profiles and sweeps, a session of the given minutes, stage 0
    // starting at the current frame, and every affirmation unplayed. Throws std::invalid_argument
    // for a program it cannot play (fewer than three stages, a stage without its carrier or
    // overlay profile or shorter than a second, a mode other than 4, 6 and 16) or a bad length.
    void loadProgram(const ExperienceProgram& program, std::int32_t minutes);

    // Synthesises the next block of kBlockFrames stereo frames into out and returns false once a
    // stop has been requested. Without a started synthesis and a loaded program it writes silence.
    bool generateBlock(std::span<std::int16_t, kBlockSamples> out);

    // Moves the absolute frame counter to the given offset; the stage is not recomputed.
    void seek(float offsetSeconds);

    std::uint32_t sampleRate() const { return sampleRate_; }

private:
    struct Synthesis;

    const std::uint32_t sampleRate_;
    std::unique_ptr<Synthesis> synthesis_;
    std::atomic<double> masterVolume_{0.0};
    std::atomic<bool> running_{true};
    std::atomic<double> publishedBeat_{0.0};
    std::atomic<double> publishedLeft_{0.0};
    std::atomic<double> publishedRight_{0.0};
    std::atomic<double> publishedCarrier_{0.0};
    std::atomic<double> publishedOverlay_{0.0};
};

}  // namespace quellwave
