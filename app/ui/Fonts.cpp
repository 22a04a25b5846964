#include "app/ui/Fonts.hpp"

#include <array>
#include <utility>

namespace quellwave::ui {

std::optional<std::string> Fonts::load(const std::filesystem::path& folder) {
    const std::array<std::pair<const char*, sf::Font*>, 3> faces{{
        {"arial", &arial},
        {"orbitron", &orbitron},
        {"roboto", &roboto},
    }};
    for (const auto& [name, font] : faces) {
        const std::filesystem::path file = folder / "fonts" / (std::string(name) + ".ttf");
        if (!font->loadFromFile(file.string())) {
            return "Missing font (" + std::string(name) + ").";
        }
    }
    return std::nullopt;
}

}  // namespace quellwave::ui
