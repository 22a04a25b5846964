#pragma once

#include "app/ui/Orbiters.hpp"
#include "app/ui/RandomSource.hpp"
#include "app/ui/SparkField.hpp"
#include "app/ui/VisualFrame.hpp"

#include <SFML/Graphics/CircleShape.hpp>
#include <SFML/Graphics/RenderTarget.hpp>
#include <SFML/Graphics/VertexArray.hpp>

namespace quellwave::ui {

// The shapes of the session visual, rebuilt from each frame's values.
namespace visual {

constexpr int kRingCount = 12;
constexpr std::size_t kFlowerVertices = 72;
constexpr std::size_t kSpiralVertices = 300;

sf::CircleShape ring(int i, const VisualFrame& frame);
sf::VertexArray flower(const VisualFrame& frame);
sf::VertexArray spiral(const VisualFrame& frame);
sf::CircleShape core(const VisualFrame& frame);
// The star that marks the current stage: more points in later stages, red for fast beats,
// blue for slow ones.
sf::VertexArray stageStar(const VisualFrame& frame, int currentStage, double stageBeat);

}  // namespace visual

// Draws the whole visual in its order, keeping the sparks and orbiters between frames.
class SessionVisual {
public:
    explicit SessionVisual(const RandomSource& random) : sparks_(random), orbiters_(random) {}

    void draw(sf::RenderTarget& target, const VisualFrame& frame, int currentStage, double stageBeat);

private:
    SparkField sparks_;
    Orbiters orbiters_;
};

}  // namespace quellwave::ui
