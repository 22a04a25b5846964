#pragma once

#include "app/ui/RandomSource.hpp"
#include "app/ui/StarField.hpp"

#include <SFML/Graphics/RenderTarget.hpp>
#include <SFML/Graphics/VertexArray.hpp>

namespace quellwave::ui {

// What every screen stands on: a night-blue gradient and the twinkling stars.
class Background {
public:
    explicit Background(const RandomSource& random);

    void update(float dt) { stars_.update(dt); }
    void draw(sf::RenderTarget& target) const;

private:
    sf::VertexArray gradient_;
    StarField stars_;
};

}  // namespace quellwave::ui
