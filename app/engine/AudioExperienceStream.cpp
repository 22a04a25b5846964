#include "app/engine/AudioExperienceStream.hpp"

#include <utility>

namespace quellwave {

AudioExperienceStream::AudioExperienceStream(std::uint32_t sampleRate, std::unique_ptr<ClipPlayer> clips)
    : ExperienceEngine(sampleRate, std::move(clips)) {
    initialize(static_cast<unsigned int>(kChannels), sampleRate);
}

AudioExperienceStream::~AudioExperienceStream() {
    // Join the audio thread while the synthesiser it calls is still whole.
    stop();
}

bool AudioExperienceStream::onGetData(Chunk& data) {
    const bool running = generateBlock(block_);
    data.samples = block_.data();
    data.sampleCount = block_.size();
    return running;
}

void AudioExperienceStream::onSeek(sf::Time timeOffset) { seek(timeOffset.asSeconds()); }

}  // namespace quellwave
