#pragma once

#include "app/ui/RandomSource.hpp"

#include <SFML/Graphics/CircleShape.hpp>
#include <SFML/Graphics/RenderTarget.hpp>

#include <vector>

namespace quellwave::ui {

// The twinkling stars of the background.
class StarField {
public:
    static constexpr int kCount = 100;

    struct Star {
        sf::CircleShape shape;
        float speed;
        float alpha = 255.0f;
        float phase = 0.0f;
    };

    explicit StarField(const RandomSource& random);

    void update(float dt);
    void draw(sf::RenderTarget& target) const;
    const std::vector<Star>& stars() const { return stars_; }

private:
    std::vector<Star> stars_;
};

}  // namespace quellwave::ui
