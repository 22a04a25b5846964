#include "app/ui/Globals.hpp"

#include "app/engine/AudioExperienceStream.hpp"

#include <SFML/Graphics/RenderWindow.hpp>

namespace quellwave {

sf::RenderWindow& window() {
    static sf::RenderWindow theWindow;
    return theWindow;
}

std::uint32_t sampleRate = kInitialSampleRate;
std::unique_ptr<AudioExperienceStream> stream;
std::atomic<double> masterGain{0.0};
std::atomic<double> sessionSeconds{0.0};
std::atomic<int> stageCount{0};

}  // namespace quellwave
