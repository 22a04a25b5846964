#pragma once

#include <atomic>
#include <cstdint>
#include <memory>

namespace sf {
class RenderWindow;
}

namespace quellwave {

class AudioExperienceStream;

// The values the whole program shares. Start-up creates the window and sets the sample rate;
// the main loop owns the session's stream and publishes the session's gain and length.

// The one 800 x 600 window. Built on first use (building it needs a display), so start-up
// creates it before anything draws into it.
sf::RenderWindow& window();

// The output sample rate assumed until start-up has probed the output.
inline constexpr std::uint32_t kInitialSampleRate = 96000;

// Output sample rate in Hz: kInitialSampleRate until start-up stores the probed rate.
extern std::uint32_t sampleRate;

// The current session's stream; null outside a session.
extern std::unique_ptr<AudioExperienceStream> stream;

// The last gain handed to the stream.
extern std::atomic<double> masterGain;

// Length of the running session in seconds (chosen minutes x 60).
extern std::atomic<double> sessionSeconds;

// Number of stages of the running session.
extern std::atomic<int> stageCount;

}  // namespace quellwave
