#pragma once

#include <cstdint>
#include <memory>

#include <SFML/Audio/Sound.hpp>
#include <SFML/Audio/SoundBuffer.hpp>

#include "app/engine/BeepRepeater.hpp"

namespace quellwave {

// The beep of the end screen: a 440 Hz tone of 0.2 s at the output rate, volume 30, repeated
// every 1.1 s until the listener answers. One object lives for the program's whole run and
// serves every session; its sound objects exist only while it beeps, so that between sessions
// nothing holds the sound library's output device (a device lost with its sound server is then
// closed, and the next session opens one afresh).
class EndOfSessionBeep {
public:
    static constexpr double kFrequency = 440.0;
    static constexpr double kSeconds = 0.2;
    static constexpr float kVolume = 30.0f;

    explicit EndOfSessionBeep(BeepTiming timing = {});

    // First frame of the end screen: builds the tone at the output rate and starts repeating it.
    // Does nothing while the beep already repeats.
    void start(std::uint32_t sampleRate);
    // The listener answered: stops at once, joins the beep thread and releases the tone.
    void stop();
    bool beeping() const { return repeater_.running(); }

private:
    struct Tone {
        sf::SoundBuffer buffer;
        sf::Sound sound;  // declared after its buffer, so released before it
    };

    std::unique_ptr<Tone> tone_;  // only while beeping
    BeepRepeater repeater_;       // declared last: joined before the tone is released
};

}  // namespace quellwave
