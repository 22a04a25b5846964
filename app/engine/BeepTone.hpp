#pragma once

#include <cstdint>
#include <vector>

#include <SFML/Audio/SoundBuffer.hpp>

namespace quellwave {

// A sine tone of full scale: rate x seconds samples (truncated), sample i =
// sin(2 pi frequency i / rate) x 32767 truncated toward zero.
std::vector<std::int16_t> makeBeepSamples(double frequency, double seconds, std::uint32_t sampleRate);

// The tone as a mono sound buffer at the given rate. When the buffer cannot be loaded it writes
// "ERROR: Failed to load beep buffer." to standard error and returns the empty buffer.
sf::SoundBuffer makeBeepBuffer(double frequency, double seconds, std::uint32_t sampleRate);

}  // namespace quellwave
