#include "app/ui/SparkField.hpp"

#include "app/ui/ColourByte.hpp"

#include <algorithm>
#include <cmath>

namespace quellwave::ui {
namespace {

bool insideWindow(sf::Vector2f p) { return p.x >= 0.0f && p.x <= 800.0f && p.y >= 0.0f && p.y <= 600.0f; }

}  // namespace

void SparkField::spawn(const VisualFrame& f) {
    Spark spark{sf::CircleShape(4.0f, 5), {}};
    spark.shape.setPosition(kVisualCentre);
    spark.shape.setFillColor(sf::Color(clampedChannel(std::min(8.0 * f.left, 105.0) + 150.0),
                                       clampedChannel(std::min(8.0 * f.right, 155.0) + 100.0),
                                       clampedChannel(std::min(5.0 * f.beat + 10.0 * f.v, 35.0) + 220.0), 255));
    const double a = 0.017 * (random_.next() % 360) + 0.15 * f.t * f.avg();
    const double speed = 200.0 * (f.v + 1.0);
    spark.velocity = {static_cast<float>(std::cos(a) * speed), static_cast<float>(std::sin(a) * speed)};
    sparks_.push_back(std::move(spark));
}

void SparkField::update(const VisualFrame& f) {
    spawnTimer_ += f.dt;
    if (spawnTimer_ > 0.015 / (2.0 * f.v + 1.0)) {
        spawnTimer_ = 0.0f;
        spawn(f);
    }
    const float windScale = static_cast<float>(150.0 * f.dt * (f.v + 1.0));
    const sf::Vector2f wind{std::sin(2.0f * f.t) * windScale, std::cos(2.0f * f.t) * windScale};
    const float scale = static_cast<float>(0.3 * std::sin(20.0 * f.t + 5.0 * f.v) + 1.0);
    const int fade = static_cast<int>(500.0 * f.dt * (f.v + 1.0));
    for (Spark& spark : sparks_) {
        spark.shape.move(spark.velocity * f.dt);
        spark.velocity += wind;
        spark.shape.setScale(scale, scale);
        sf::Color colour = spark.shape.getFillColor();
        colour.a = static_cast<sf::Uint8>(std::max(0, colour.a - fade));
        spark.shape.setFillColor(colour);
    }
    std::erase_if(sparks_, [](const Spark& spark) {
        return spark.shape.getFillColor().a <= 10 || !insideWindow(spark.shape.getPosition());
    });
}

void SparkField::draw(sf::RenderTarget& target) const {
    for (const Spark& spark : sparks_) {
        target.draw(spark.shape);
    }
}

}  // namespace quellwave::ui
