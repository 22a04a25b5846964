#include "app/ui/ColourByte.hpp"
#include "app/ui/Orbiters.hpp"
#include "app/ui/SessionVisual.hpp"
#include "app/ui/SparkField.hpp"
#include "app/ui/StarField.hpp"

#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <deque>

namespace quellwave::ui {
namespace {

// Hands out scripted draws, then repeats the last one.
class ScriptedRandom {
public:
    ScriptedRandom(std::deque<int> draws, int max) : draws_(std::move(draws)) {
        source.max = max;
        source.draw = [this] {
            const int value = draws_.front();
            if (draws_.size() > 1) draws_.pop_front();
            return value;
        };
    }
    RandomSource source;

private:
    std::deque<int> draws_;
};

VisualFrame quietFrame() {
    VisualFrame frame;
    frame.v = 8.0;
    frame.beat = 6.0;
    frame.left = 200.0;
    frame.right = 206.0;
    frame.carrier = 200.0;
    frame.overlay = 210.0;
    return frame;
}

TEST(ColourByte, WrapsLargeValuesAndClampsNegativeOnes) {
    EXPECT_EQ(colourByte(255.9), 255);
    EXPECT_EQ(colourByte(360.0), 104);
    EXPECT_EQ(colourByte(-19.3), 0);
    EXPECT_EQ(colourByte(std::nan("")), 0);
    EXPECT_EQ(clampedChannel(300.0), 255);
    EXPECT_EQ(clampedChannel(-5.0), 0);
    EXPECT_EQ(clampedChannel(149.7), 149);
}

TEST(StarField, StarsComeFromFourDrawsEachAndTwinkleWithTheirPhase) {
    ScriptedRandom random({1234, 987, 5, 9}, RAND_MAX);
    StarField field(random.source);
    ASSERT_EQ(field.stars().size(), 100u);
    const auto& star = field.stars().front();
    EXPECT_EQ(star.shape.getPosition(), sf::Vector2f(434.0f, 387.0f));
    EXPECT_FLOAT_EQ(star.shape.getRadius(), 3.0f);  // 5 mod 3 + 1
    EXPECT_FLOAT_EQ(star.speed, 5.0f);              // 9 mod 5 + 1
    EXPECT_EQ(star.shape.getPointCount(), 30u);

    field.update(0.1f);  // phase 0 -> alpha 128
    EXPECT_EQ(field.stars()[0].shape.getFillColor().a, 128);
    field.update(0.1f);  // phase 0.1, speed 5 -> sin(0.5) * 127 + 128
    EXPECT_EQ(field.stars()[0].shape.getFillColor().a, static_cast<int>(std::sin(0.5f) * 127.0f + 128.0f));
}

TEST(Orbiters, AngleUsesTheFullRangeOfTheGenerator) {
    // A generator whose range is far wider than 15 bits: half its range is half a turn.
    ScriptedRandom random({0, INT_MAX / 2}, INT_MAX);
    Orbiters orbiters(random.source);
    VisualFrame frame = quietFrame();
    frame.dt = 0.0f;
    ASSERT_GT(frame.avg(), 15.0);
    orbiters.update(frame);
    ASSERT_EQ(orbiters.orbiters().size(), 1u);
    const sf::Vector2f position = orbiters.orbiters()[0].shape.getPosition();
    EXPECT_NEAR(position.x, 150.0f, 0.01f);
    EXPECT_NEAR(position.y, 300.0f, 0.01f);
    EXPECT_EQ(orbiters.orbiters()[0].shape.getFillColor(), sf::Color(255, 100, colourByte(640.0), 220));
}

TEST(Orbiters, SpawnOnlyWhileTheSoundIsBusyAndFadeAway) {
    ScriptedRandom random({0}, RAND_MAX);
    Orbiters orbiters(random.source);
    VisualFrame calm;  // all frequencies 0: avg 0
    calm.dt = 0.0f;
    orbiters.update(calm);
    EXPECT_TRUE(orbiters.orbiters().empty());

    VisualFrame busy = quietFrame();
    busy.dt = 0.0f;
    orbiters.update(busy);
    ASSERT_EQ(orbiters.orbiters().size(), 1u);
    // 150 dt alpha per frame: 220 -> 10 takes 0.7 s at dt 0.1 (15 each)
    calm.dt = 0.1f;
    for (int i = 0; i < 13; ++i) orbiters.update(calm);
    ASSERT_EQ(orbiters.orbiters().size(), 1u);
    EXPECT_EQ(orbiters.orbiters()[0].shape.getFillColor().a, 220 - 13 * 15);
    orbiters.update(calm);
    EXPECT_TRUE(orbiters.orbiters().empty());
}

TEST(SparkField, SparksSpawnOnTheTimerAndLeaveWhenFadedOrOutside) {
    ScriptedRandom random({0}, RAND_MAX);
    SparkField sparks(random.source);
    VisualFrame frame = quietFrame();
    frame.v = 0.0;
    frame.dt = 1.0f / 128.0f;  // below the 0.015 s spawn interval at volume 0
    sparks.update(frame);
    EXPECT_TRUE(sparks.sparks().empty());
    sparks.update(frame);
    ASSERT_EQ(sparks.sparks().size(), 1u);
    const auto& spark = sparks.sparks()[0];
    EXPECT_EQ(spark.shape.getFillColor(), sf::Color(255, 255, 250, 255 - 3));  // faded by int(500 dt)
    EXPECT_EQ(spark.shape.getPointCount(), 5u);
    EXPECT_NEAR(spark.shape.getPosition().x, 400.0f + 200.0f / 128.0f, 1e-3f);  // angle 0 at t 0

    // At this pace sparks do not fade (500 dt rounds down to 0): they leave only by crossing
    // the window's edge, which the first one does within two seconds.
    frame.dt = 0.001f;
    for (int i = 0; i < 2500; ++i) {
        frame.t += frame.dt;
        sparks.update(frame);
        for (const auto& live : sparks.sparks()) {
            const sf::Vector2f p = live.shape.getPosition();
            ASSERT_TRUE(p.x >= 0.0f && p.x <= 800.0f && p.y >= 0.0f && p.y <= 600.0f);
            ASSERT_GE(live.shape.getFillColor().a, 252);
        }
    }
    EXPECT_LT(sparks.sparks().size(), 2500u / 16u) << "sparks that left the window are gone";
}

TEST(VisualShapes, FlowerAndSpiralAreFansAroundTheCentre) {
    VisualFrame frame = quietFrame();
    frame.v = 0.0;
    const sf::VertexArray flower = visual::flower(frame);
    ASSERT_EQ(flower.getVertexCount(), 72u);
    EXPECT_EQ(flower.getPrimitiveType(), sf::TriangleFan);
    EXPECT_EQ(flower[0].position, kVisualCentre);
    EXPECT_EQ(flower[0].color, sf::Color(255, 200, 255, 80));

    const sf::VertexArray spiral = visual::spiral(frame);
    ASSERT_EQ(spiral.getVertexCount(), 300u);
    EXPECT_EQ(spiral[0].color, sf::Color::White);
    // 180 - i / 1.5 goes below zero for the outer vertices at low volume: they are invisible,
    // not wrapped round to opaque.
    EXPECT_EQ(spiral[299].color.a, 0);
    EXPECT_EQ(spiral[270].color.a, 0);
    EXPECT_EQ(spiral[1].color.a, static_cast<int>(180.0 - 1.0 / 1.5));
}

TEST(VisualShapes, StageStarHasMorePointsInLaterStagesAndClosesOnItself) {
    VisualFrame frame = quietFrame();
    for (int stage : {0, 1, 5, 6}) {
        const sf::VertexArray star = visual::stageStar(frame, stage, 6.0);
        const std::size_t n = static_cast<std::size_t>(12 + 2 * (stage % 6));
        ASSERT_EQ(star.getVertexCount(), n + 1);
        EXPECT_EQ(star[n].position, star[0].position);
        EXPECT_EQ(star[n].color, star[0].color);
    }
    const sf::VertexArray slow = visual::stageStar(frame, 0, 6.0);
    EXPECT_EQ(slow[0].color.r, 0);
    EXPECT_EQ(slow[0].color.b, 255);
    const sf::VertexArray fast = visual::stageStar(frame, 0, 1000.0);
    EXPECT_EQ(fast[0].color.r, 255);
    EXPECT_EQ(fast[0].color.b, 0);
    // even vertices at the full radius, odd ones at 0.4 of it
    const auto distance = [](sf::Vector2f p) { return std::hypot(p.x - 400.0f, p.y - 300.0f); };
    EXPECT_NEAR(distance(slow[1].position), 0.4f * distance(slow[0].position), 1e-3f);
}

}  // namespace
}  // namespace quellwave::ui
