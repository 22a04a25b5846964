#pragma once

#include "app/ui/RandomSource.hpp"
#include "app/ui/VisualFrame.hpp"

#include <SFML/Graphics/CircleShape.hpp>
#include <SFML/Graphics/RenderTarget.hpp>

#include <vector>

namespace quellwave::ui {

// Small octagons circling the centre at a fixed distance while the sound is busy enough;
// they fade out on their own.
class Orbiters {
public:
    static constexpr float kDistance = 250.0f;

    struct Orbiter {
        sf::CircleShape shape;
        double angle;
    };

    explicit Orbiters(const RandomSource& random) : random_(random) {}

    void update(const VisualFrame& frame);
    void draw(sf::RenderTarget& target) const;
    const std::vector<Orbiter>& orbiters() const { return orbiters_; }

private:
    void maybeSpawn(const VisualFrame& frame);

    const RandomSource& random_;
    std::vector<Orbiter> orbiters_;
};

}  // namespace quellwave::ui
