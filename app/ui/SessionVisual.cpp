#include "app/ui/SessionVisual.hpp"

#include "app/ui/ColourByte.hpp"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace quellwave::ui {
namespace visual {
namespace {

constexpr double kTwoPi = 2.0 * std::numbers::pi;

sf::Vector2f aroundCentre(double angle, double radius) {
    return kVisualCentre +
           sf::Vector2f(static_cast<float>(std::cos(angle) * radius), static_cast<float>(std::sin(angle) * radius));
}

}  // namespace

sf::CircleShape ring(int i, const VisualFrame& f) {
    const double v = f.v;
    const float radius = static_cast<float>(60.0 * i + 30.0 * std::sin(1.5 * f.t + 0.15 * f.avg()) * (v + 1.0));
    sf::CircleShape shape(radius, 80);
    shape.setPosition(kVisualCentre - sf::Vector2f(radius, radius));
    shape.setFillColor(sf::Color::Transparent);
    shape.setOutlineColor(sf::Color(static_cast<sf::Uint8>((i + 8) * 10), 50, static_cast<sf::Uint8>(200 - 15 * i),
                                    colourByte(30.0 * v + 60.0)));
    shape.setOutlineThickness(static_cast<float>(std::cos(i + f.t) * 2.0 * (0.5 * v + 1.0) + 3.0));
    const double direction = i % 2 == 1 ? 1.0 : -1.0;
    shape.setRotation(static_cast<float>(direction * 10.0 * f.t * (v + 1.0)));
    return shape;
}

sf::VertexArray flower(const VisualFrame& f) {
    const double v = f.v;
    sf::VertexArray fan(sf::TriangleFan, kFlowerVertices);
    fan[0] = sf::Vertex(kVisualCentre, sf::Color(255, 200, 255, colourByte(40.0 * v + 80.0)));
    const double radius = 350.0 + 80.0 * std::sin(0.1 * f.d2() + 0.8 * f.t) * (0.8 * v + 1.0);
    const sf::Uint8 blue = clampedChannel(200.0 + 55.0 * std::sin(0.1 * f.beat + 2.0 * v));
    for (std::size_t k = 1; k < kFlowerVertices; ++k) {
        const double i = static_cast<double>(k);
        const double a = i * kTwoPi / 70.0 + 0.2 * f.t + 0.05 * f.d1();
        fan[k] = sf::Vertex(aroundCentre(a, radius), sf::Color(colourByte(std::sin(0.1 * i + f.t) * 80.0 + 120.0),
                                                               clampedChannel(std::cos(0.2 * i + f.t) * 70.0 + 80.0),
                                                               blue, colourByte(120.0 - 1.5 * i + 20.0 * v)));
    }
    return fan;
}

sf::VertexArray spiral(const VisualFrame& f) {
    const double v = f.v;
    sf::VertexArray fan(sf::TriangleFan, kSpiralVertices);
    fan[0] = sf::Vertex(kVisualCentre, sf::Color::White);
    const sf::Uint8 red = clampedChannel(std::min(15.0 * f.d1(), 105.0) + 150.0);
    const sf::Uint8 green = clampedChannel(std::min(12.0 * f.d2(), 155.0) + 100.0);
    const sf::Uint8 blue = clampedChannel(std::min(8.0 * f.beat + 10.0 * v, 55.0) + 200.0);
    const double turn = (0.3 * v + 1.0) * 0.05 * f.t * f.avg();
    const double sweep = 70.0 * std::sin(1.2 * f.t + 0.15 * f.d1());
    for (std::size_t k = 1; k < kSpiralVertices; ++k) {
        const double i = static_cast<double>(k);
        const double a = i * kTwoPi / 298.0 + turn;
        const double radius = (v + 1.0) * (30.0 * std::sin(8.0 * a + 3.0 * f.t) + 20.0 * std::cos(5.0 * a + v)) +
                              150.0 + i / 298.0 * sweep;
        fan[k] =
            sf::Vertex(aroundCentre(a, radius), sf::Color(red, green, blue, colourByte(180.0 - i / 1.5 + 15.0 * v)));
    }
    return fan;
}

sf::CircleShape core(const VisualFrame& f) {
    const double v = f.v;
    const float radius = static_cast<float>(30.0 + 15.0 * std::sin(15.0 * f.t + 0.5 * f.beat + 5.0 * v));
    sf::CircleShape shape(radius, 6);
    shape.setPosition(kVisualCentre - sf::Vector2f(radius, radius));
    shape.setFillColor(sf::Color::White);
    shape.setOutlineColor(sf::Color(200, 150, 255, colourByte(55.0 * v + 200.0)));
    shape.setOutlineThickness(static_cast<float>(3.0 * std::sin(10.0 * f.t + 2.0 * v) + 5.0));
    shape.setRotation(static_cast<float>(50.0 * f.t * (0.8 * v + 1.0)));
    return shape;
}

sf::VertexArray stageStar(const VisualFrame& f, int currentStage, double stageBeat) {
    const double v = f.v;
    const double p = std::clamp((stageBeat - 100.0) / 900.0, 0.0, 1.0);
    const sf::Uint8 red = clampedChannel(255.0 * p);
    const sf::Uint8 blue = clampedChannel(255.0 * (1.0 - p));
    const int n = 12 + 2 * (std::max(currentStage, 0) % 6);
    const double radius = 70.0 + 15.0 * std::sin(0.2 * f.beat + 3.0 * f.t + 2.0 * v);
    sf::VertexArray strip(sf::LineStrip, static_cast<std::size_t>(n) + 1);
    for (int i = 0; i < n; ++i) {
        const double a = i * kTwoPi / n + 0.8 * f.t * (v + 1.0);
        const double distance = i % 2 == 0 ? radius : 0.4 * radius;
        strip[static_cast<std::size_t>(i)] =
            sf::Vertex(aroundCentre(a, distance), sf::Color(red, 0, blue, colourByte(255.0 - 10.0 * i + 20.0 * v)));
    }
    strip[static_cast<std::size_t>(n)] = strip[0];
    return strip;
}

}  // namespace visual

void SessionVisual::draw(sf::RenderTarget& target, const VisualFrame& frame, int currentStage, double stageBeat) {
    for (int i = 1; i <= visual::kRingCount; ++i) {
        target.draw(visual::ring(i, frame));
    }
    target.draw(visual::flower(frame));
    target.draw(visual::spiral(frame));
    target.draw(visual::core(frame));
    sparks_.update(frame);
    sparks_.draw(target);
    orbiters_.update(frame);
    orbiters_.draw(target);
    target.draw(visual::stageStar(frame, currentStage, stageBeat));
}

}  // namespace quellwave::ui
