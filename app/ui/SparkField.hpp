#pragma once

#include "app/ui/RandomSource.hpp"
#include "app/ui/VisualFrame.hpp"

#include <SFML/Graphics/CircleShape.hpp>
#include <SFML/Graphics/RenderTarget.hpp>

#include <vector>

namespace quellwave::ui {

// Sparks thrown out of the centre, bent by a slowly turning wind, fading as they go. They stay
// between frames and sessions.
class SparkField {
public:
    struct Spark {
        sf::CircleShape shape;
        sf::Vector2f velocity;
    };

    explicit SparkField(const RandomSource& random) : random_(random) {}

    void update(const VisualFrame& frame);
    void draw(sf::RenderTarget& target) const;
    const std::vector<Spark>& sparks() const { return sparks_; }

private:
    void spawn(const VisualFrame& frame);

    const RandomSource& random_;
    std::vector<Spark> sparks_;
    float spawnTimer_ = 0.0f;
};

}  // namespace quellwave::ui
