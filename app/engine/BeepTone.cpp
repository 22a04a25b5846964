#include "app/engine/BeepTone.hpp"

#include <cmath>
#include <iostream>
#include <numbers>

namespace quellwave {

std::vector<std::int16_t> makeBeepSamples(double frequency, double seconds, std::uint32_t sampleRate) {
    const auto count = static_cast<std::uint64_t>(sampleRate * seconds);
    std::vector<std::int16_t> samples(count);
    for (std::uint64_t i = 0; i < count; ++i) {
        const double phase = 2.0 * std::numbers::pi * frequency * static_cast<double>(i) / sampleRate;
        samples[i] = static_cast<std::int16_t>(std::sin(phase) * 32767.0);
    }
    return samples;
}

sf::SoundBuffer makeBeepBuffer(double frequency, double seconds, std::uint32_t sampleRate) {
    const std::vector<std::int16_t> samples = makeBeepSamples(frequency, seconds, sampleRate);
    sf::SoundBuffer buffer;
    if (!buffer.loadFromSamples(samples.data(), samples.size(), 1, sampleRate)) {
        std::cerr << "ERROR: Failed to load beep buffer." << std::endl;
    }
    return buffer;
}

}  // namespace quellwave
