#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <stdexcept>
#include <vector>

#include "app/engine/Ambience.hpp"

namespace quellwave {
namespace {

TEST(AmbiencePresets, HoldTheirEventsInFiringOrder) {
    const auto four = ambiencePreset(4);
    ASSERT_EQ(four.size(), 2u);
    EXPECT_EQ(four[0].position, 0.5);
    EXPECT_EQ(four[0].kind, AmbienceKind::Phase);
    EXPECT_EQ(four[1].position, 0.85);
    EXPECT_EQ(four[1].kind, AmbienceKind::NoiseBurst);
    EXPECT_EQ(four[1].amount, 0.3);

    const auto six = ambiencePreset(6);
    EXPECT_EQ(six[1].position, 0.65);
    EXPECT_EQ(six[1].kind, AmbienceKind::NoiseBurst);

    for (const auto& event : ambiencePreset(16)) EXPECT_EQ(event.kind, AmbienceKind::Phase);
    EXPECT_THROW(ambiencePreset(5), std::invalid_argument);
}

TEST(AmbienceSequencer, FiresEachPassedEventOnItsOwnFrame) {
    AmbienceSequencer sequencer;
    EXPECT_EQ(sequencer.run(1.0), nullptr);  // no preset yet

    sequencer.applyPreset(6);
    EXPECT_EQ(sequencer.run(0.29), nullptr);
    // Both positions already passed: one event per frame.
    const AmbienceEvent* first = sequencer.run(0.9);
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(first->position, 0.3);
    const AmbienceEvent* second = sequencer.run(0.9);
    ASSERT_NE(second, nullptr);
    EXPECT_EQ(second->position, 0.65);
    EXPECT_EQ(sequencer.run(1.0), nullptr);

    // A new preset starts over at its first event.
    sequencer.applyPreset(6);
    EXPECT_NE(sequencer.run(0.3), nullptr);
}

TEST(NoiseBurst, ShapesThirtyTwoFramesWithAHalfSine) {
    NoiseBurst burst;
    burst.fire(0.12, -0.06);
    std::vector<double> left;
    for (int frame = 0; frame < 40; ++frame) {
        double l = 0.0;
        double r = 0.0;
        burst.addTo(l, r);
        left.push_back(l);
        EXPECT_DOUBLE_EQ(r, -0.5 * l);
    }
    EXPECT_NEAR(left[0], 0.0, 1e-15);                                    // sin(pi), the firing frame
    EXPECT_DOUBLE_EQ(left[16], 0.12);                                    // 17th frame: sin(pi / 2)
    EXPECT_DOUBLE_EQ(left[31], 0.12 * std::sin(std::numbers::pi / 32));  // 32nd frame
    for (int frame = 32; frame < 40; ++frame) EXPECT_EQ(left[frame], 0.0);
}

}  // namespace
}  // namespace quellwave
