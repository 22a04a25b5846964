#include "app/ui/StarField.hpp"

#include <cmath>

namespace quellwave::ui {

StarField::StarField(const RandomSource& random) {
    stars_.reserve(kCount);
    for (int i = 0; i < kCount; ++i) {
        const int x = random.next() % 800;
        const int y = random.next() % 600;
        const float radius = static_cast<float>(random.next() % 3 + 1);
        const float speed = static_cast<float>(random.next() % 5 + 1);
        Star star{sf::CircleShape(radius, 30), speed};
        star.shape.setFillColor(sf::Color(255, 255, 255, 255));
        star.shape.setPosition(static_cast<float>(x), static_cast<float>(y));
        stars_.push_back(std::move(star));
    }
}

void StarField::update(float dt) {
    for (Star& star : stars_) {
        star.alpha = std::sin(star.speed * star.phase) * 127.0f + 128.0f;
        star.shape.setFillColor(sf::Color(255, 255, 255, static_cast<sf::Uint8>(star.alpha)));
        star.phase += dt;
    }
}

void StarField::draw(sf::RenderTarget& target) const {
    for (const Star& star : stars_) {
        target.draw(star.shape);
    }
}

}  // namespace quellwave::ui
