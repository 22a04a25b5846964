#pragma once

#include <array>
#include <cstdint>
#include <memory>

#include <SFML/Audio/SoundStream.hpp>

#include "app/engine/ExperienceEngine.hpp"

namespace quellwave {

// The program's audio engine: an SFML sound stream whose audio thread pulls blocks of 4096
// stereo frames from the experience synthesiser.
//
// One stream per session: build it, startSynthesis(), configureExperience(), play(); at the
// end requestStop(), stop() and delete it. Destroying a playing stream stops it first.
class AudioExperienceStream : public sf::SoundStream, public ExperienceEngine {
public:
    // clips plays the affirmations (may be null for a session without them).
    AudioExperienceStream(std::uint32_t sampleRate, std::unique_ptr<ClipPlayer> clips);
    ~AudioExperienceStream() override;

    // The engine's master volume (0..100), not the sound source's.
    using ExperienceEngine::setVolume;

protected:
    bool onGetData(Chunk& data) override;
    void onSeek(sf::Time timeOffset) override;

private:
    std::array<std::int16_t, kBlockSamples> block_{};
};

}  // namespace quellwave
