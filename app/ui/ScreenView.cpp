#include "app/ui/ScreenView.hpp"

namespace quellwave::ui {

std::optional<sf::Vector2f> leftPress(const sf::Event& event) {
    if (event.type != sf::Event::MouseButtonPressed || event.mouseButton.button != sf::Mouse::Left) {
        return std::nullopt;
    }
    return sf::Vector2f(static_cast<float>(event.mouseButton.x), static_cast<float>(event.mouseButton.y));
}

}  // namespace quellwave::ui
