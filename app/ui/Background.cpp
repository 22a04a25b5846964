#include "app/ui/Background.hpp"

namespace quellwave::ui {

Background::Background(const RandomSource& random) : gradient_(sf::Quads, 4), stars_(random) {
    const sf::Color top(10, 15, 43);
    const sf::Color bottom(26, 42, 91);
    gradient_[0] = sf::Vertex({0.0f, 0.0f}, top);
    gradient_[1] = sf::Vertex({800.0f, 0.0f}, top);
    gradient_[2] = sf::Vertex({800.0f, 600.0f}, bottom);
    gradient_[3] = sf::Vertex({0.0f, 600.0f}, bottom);
}

void Background::draw(sf::RenderTarget& target) const {
    target.draw(gradient_);
    stars_.draw(target);
}

}  // namespace quellwave::ui
