#include "app/ui/Orbiters.hpp"

#include "app/ui/ColourByte.hpp"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace quellwave::ui {
namespace {

sf::Vector2f onOrbit(double angle) {
    return kVisualCentre +
           sf::Vector2f(static_cast<float>(std::cos(angle)), static_cast<float>(std::sin(angle))) * Orbiters::kDistance;
}

}  // namespace

void Orbiters::maybeSpawn(const VisualFrame& f) {
    const int k = random_.next() % 80;
    if (!(10.0 * f.v + 3.0 > k)) {
        return;
    }
    Orbiter orbiter{sf::CircleShape(6.0f, 8), 2.0 * std::numbers::pi * random_.unit()};
    orbiter.shape.setPosition(onOrbit(orbiter.angle));
    orbiter.shape.setFillColor(sf::Color(255, 100, colourByte(55.0 * f.v + 200.0), 220));
    orbiters_.push_back(std::move(orbiter));
}

void Orbiters::update(const VisualFrame& f) {
    if (f.avg() > 15.0) {
        maybeSpawn(f);
    }
    const double turn = (0.08 * f.avg() + 1.5 + 0.5 * f.v) * f.dt;
    const float scale = static_cast<float>(0.7 * std::sin(8.0 * f.t + f.beat + 3.0 * f.v) + 1.0);
    const float spin = static_cast<float>(30.0 * f.dt * (2.0 * f.v + 1.0));
    const int fade = static_cast<int>(150.0 * f.dt);
    for (Orbiter& orbiter : orbiters_) {
        orbiter.angle += turn;
        orbiter.shape.setPosition(onOrbit(orbiter.angle));
        orbiter.shape.setScale(scale, scale);
        orbiter.shape.rotate(spin);
        sf::Color colour = orbiter.shape.getFillColor();
        colour.a = static_cast<sf::Uint8>(std::max(0, colour.a - fade));
        orbiter.shape.setFillColor(colour);
    }
    std::erase_if(orbiters_, [](const Orbiter& orbiter) { return orbiter.shape.getFillColor().a <= 10; });
}

void Orbiters::draw(sf::RenderTarget& target) const {
    for (const Orbiter& orbiter : orbiters_) {
        target.draw(orbiter.shape);
    }
}

}  // namespace quellwave::ui
