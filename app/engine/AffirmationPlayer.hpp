#pragma once

#include <cstddef>
#include <filesystem>
#include <memory>
#include <vector>

#include <SFML/Audio/Sound.hpp>
#include <SFML/Audio/SoundBuffer.hpp>

#include "app/engine/Affirmations.hpp"
#include "app/engine/ClipPlayer.hpp"
#include "app/engine/DataFile.hpp"

namespace quellwave {

// The one sound that speaks the affirmation clips.
class ClipVoice {
public:
    virtual ~ClipVoice() = default;
    virtual std::size_t clipCount() const = 0;
    // Starts the clip from its beginning with the given volume (0..100) and pitch.
    virtual void play(const ClipStart& start) = 0;
    virtual bool isPlaying() const = 0;
};

// Speaks the clips through one sf::Sound.
class SoundClipVoice final : public ClipVoice {
public:
    explicit SoundClipVoice(std::vector<sf::SoundBuffer> clips);

    SoundClipVoice(const SoundClipVoice&) = delete;
    SoundClipVoice& operator=(const SoundClipVoice&) = delete;

    std::size_t clipCount() const override { return clips_.size(); }
    void play(const ClipStart& start) override;
    bool isPlaying() const override;

private:
    std::vector<sf::SoundBuffer> clips_;
    sf::Sound sound_;  // declared after the buffers, so released before them
};

// The engine's clip player: starts the clip the schedule finds due on the voice.
class AffirmationPlayer final : public ClipPlayer {
public:
    explicit AffirmationPlayer(std::unique_ptr<ClipVoice> voice);

    void resetSession() override;
    bool trigger(const AffirmationCue& cue) override;
    bool isPlaying() override;

private:
    std::unique_ptr<ClipVoice> voice_;
    AffirmationSchedule schedule_;
};

// Reads the data file into a player, or tells why it cannot be used.
DataFileResult<std::unique_ptr<ClipPlayer>> loadAffirmationPlayer(const std::filesystem::path& path = kDataFileName);

}  // namespace quellwave
