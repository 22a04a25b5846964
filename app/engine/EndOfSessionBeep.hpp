#pragma once

#include <cstdint>

#include <SFML/Audio/Sound.hpp>
#include <SFML/Audio/SoundBuffer.hpp>

#include "app/engine/BeepRepeater.hpp"

namespace quellwave {

// The beep of the end screen: a 440 Hz tone of 0.2 s at the output rate, volume 30, repeated
// every 1.1 s until the listener answers. One object lives for the program's whole run and
// serves every session.
class EndOfSessionBeep {
public:
    static constexpr double kFrequency = 440.0;
    static constexpr double kSeconds = 0.2;
    static constexpr float kVolume = 30.0f;

    explicit EndOfSessionBeep(BeepTiming timing = {});

    // First frame of the end screen: builds the tone at the output rate and starts repeating it.
    // Does nothing while the beep already repeats.
    void start(std::uint32_t sampleRate);
    // The listener answered: stops at once and joins the beep thread.
    void stop();
    bool beeping() const { return repeater_.running(); }

private:
    sf::SoundBuffer buffer_;
    sf::Sound sound_;
    BeepRepeater repeater_;  // declared last: joined before the sound and buffer are released
};

}  // namespace quellwave
