#pragma once

#include <SFML/Graphics/Font.hpp>

#include <filesystem>
#include <optional>
#include <string>

namespace quellwave::ui {

// The three faces of the program: arial for button labels, orbitron for titles, roboto for
// every other text. Loaded from fonts/ under the given folder.
struct Fonts {
    sf::Font arial;
    sf::Font orbitron;
    sf::Font roboto;

    // Loads arial, orbitron and roboto in this order; at the first that fails, returns the
    // message to show ("Missing font (orbitron).").
    std::optional<std::string> load(const std::filesystem::path& folder = ".");
};

}  // namespace quellwave::ui
