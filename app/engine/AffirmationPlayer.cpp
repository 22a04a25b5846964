#include "app/engine/AffirmationPlayer.hpp"

#include "app/engine/AffirmationData.hpp"

namespace quellwave {

SoundClipVoice::SoundClipVoice(std::vector<sf::SoundBuffer> clips) : clips_(std::move(clips)) {}

void SoundClipVoice::play(const ClipStart& start) {
    sound_.stop();
    sound_.setBuffer(clips_.at(start.clip));
    sound_.setVolume(start.volume);
    sound_.setPitch(start.pitch);
    sound_.play();
}

bool SoundClipVoice::isPlaying() const { return sound_.getStatus() == sf::Sound::Playing; }

AffirmationPlayer::AffirmationPlayer(std::unique_ptr<ClipVoice> voice)
    : voice_(std::move(voice)), schedule_(voice_->clipCount()) {}

void AffirmationPlayer::resetSession() { schedule_.reset(); }

bool AffirmationPlayer::trigger(const AffirmationCue& cue) {
    const std::optional<ClipStart> start = schedule_.next(cue, voice_->isPlaying());
    if (!start) return false;
    voice_->play(*start);
    return true;
}

bool AffirmationPlayer::isPlaying() { return voice_->isPlaying(); }

DataFileResult<std::unique_ptr<ClipPlayer>> loadAffirmationPlayer(const std::filesystem::path& path) {
    DataFileResult<std::vector<sf::SoundBuffer>> clips = loadAffirmationData(path);
    if (!clips.ok()) return DataFileError{clips.errorMessage()};
    return std::unique_ptr<ClipPlayer>(
        std::make_unique<AffirmationPlayer>(std::make_unique<SoundClipVoice>(std::move(clips.value()))));
}

}  // namespace quellwave
