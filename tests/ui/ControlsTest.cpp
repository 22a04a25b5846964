#include "app/ui/Button.hpp"
#include "app/ui/DurationSlider.hpp"
#include "app/ui/ListenerVolume.hpp"
#include "app/ui/MainLoop.hpp"

#include <gtest/gtest.h>

namespace quellwave::ui {
namespace {

TEST(ListenerVolume, StepsByFiveWithinZeroToHundredAndMapsToAStreamGainOfAtMostSixty) {
    ListenerVolume volume;
    EXPECT_DOUBLE_EQ(volume.percent(), 80.0);
    EXPECT_DOUBLE_EQ(volume.gain(), 48.0);
    for (int i = 0; i < 5; ++i) volume.up();
    EXPECT_DOUBLE_EQ(volume.percent(), 100.0);
    EXPECT_DOUBLE_EQ(volume.gain(), 60.0);
    for (int i = 0; i < 25; ++i) volume.down();
    EXPECT_DOUBLE_EQ(volume.percent(), 0.0);
    EXPECT_DOUBLE_EQ(volume.gain(), 0.0);
    volume.up();
    EXPECT_DOUBLE_EQ(volume.tenths(), 0.5);
}

class DurationSliderTest : public ::testing::Test {
protected:
    void SetUp() override { slider.placeAt(kSliderY); }
    static constexpr float kSliderY = 400.0f;
    DurationSlider slider;
};

TEST_F(DurationSliderTest, PressOnTheTrackPicksTheNearestStopByThresholds) {
    slider.press(250.0f, kSliderY);
    EXPECT_EQ(slider.minutes(), 40);
    slider.press(650.0f, kSliderY);
    EXPECT_EQ(slider.minutes(), 60);
    slider.press(599.0f, kSliderY);
    EXPECT_EQ(slider.minutes(), 50);
    slider.press(199.0f, kSliderY);
    EXPECT_EQ(slider.minutes(), 30);
    slider.press(700.0f, kSliderY + 25.0f);
    EXPECT_EQ(slider.index(), 3);
}

TEST_F(DurationSliderTest, PressOffTheTrackBandChangesNothing) {
    slider.press(650.0f, kSliderY - 16.0f);
    slider.press(650.0f, kSliderY + 26.0f);
    slider.press(99.0f, kSliderY);
    slider.press(701.0f, kSliderY);
    EXPECT_EQ(slider.index(), 0);
    EXPECT_FALSE(slider.dragging());
}

TEST_F(DurationSliderTest, DraggingStartsOnlyNearTheKnobAndFollowsTheMouseWithinTheTrack) {
    slider.press(250.0f, kSliderY);  // jumps to 40 min, 50 px from its knob
    EXPECT_FALSE(slider.dragging());
    slider.move(650.0f);
    EXPECT_EQ(slider.index(), 1);

    slider.press(310.0f, kSliderY);  // within 15 px of the 40-minute knob at 300
    ASSERT_TRUE(slider.dragging());
    slider.move(650.0f);
    EXPECT_EQ(slider.minutes(), 60);
    slider.move(20.0f);  // below the track: clamped to its start
    EXPECT_EQ(slider.minutes(), 30);
    slider.release();
    slider.move(650.0f);
    EXPECT_EQ(slider.minutes(), 30);
}

TEST_F(DurationSliderTest, ResetReturnsToThirtyMinutes) {
    slider.press(300.0f, kSliderY);
    slider.reset();
    EXPECT_EQ(slider.minutes(), 30);
    EXPECT_FALSE(slider.dragging());
    EXPECT_FLOAT_EQ(slider.knobX(), 100.0f);
}

TEST(Choice, BeforeAnyClickNoRowIsShownAndTheFirstExperienceIsHeld) {
    const Choice choice = initialChoice();
    EXPECT_EQ(choice.selectedRow, -1);
    ASSERT_FALSE(experienceCatalogue().empty());
    EXPECT_EQ(choice.selected.code, experienceCatalogue().front().code);
    EXPECT_EQ(choice.selected.name, experienceCatalogue().front().name);
    EXPECT_EQ(choice.chosenMinutes, 30);
}

TEST(Buttons, HitBoxesAreTheDrawnRectanglesOutlineIncluded) {
    const Buttons buttons = Buttons::make();
    // The warning screen's Continue: 200 x 50 at (300, 500) with a 2-pixel outline around it.
    EXPECT_EQ(buttons.warningContinue.bounds(), sf::FloatRect(298.0f, 498.0f, 204.0f, 54.0f));
    EXPECT_TRUE(buttons.warningContinue.contains({299.0f, 520.0f}));  // on the outline
    EXPECT_TRUE(buttons.warningContinue.contains({298.0f, 498.0f}));
    EXPECT_TRUE(buttons.warningContinue.contains({501.5f, 551.5f}));
    EXPECT_FALSE(buttons.warningContinue.contains({297.5f, 520.0f}));
    EXPECT_FALSE(buttons.warningContinue.contains({502.0f, 520.0f}));
    EXPECT_FALSE(buttons.warningContinue.contains({400.0f, 552.0f}));

    // Buttons without an outline take exactly their rectangle.
    EXPECT_EQ(buttons.proceed.bounds(), buttons.proceed.area());
    EXPECT_TRUE(buttons.proceed.contains({450.0f, 500.0f}));
    EXPECT_TRUE(buttons.proceed.contains({649.5f, 549.5f}));
    EXPECT_FALSE(buttons.proceed.contains({449.5f, 525.0f}));
    EXPECT_FALSE(buttons.proceed.contains({650.0f, 525.0f}));
    EXPECT_TRUE(buttons.back.contains({150.0f, 525.0f}));
    EXPECT_FALSE(buttons.back.contains({350.0f, 525.0f}));

    EXPECT_TRUE(buttons.exitSession.contains({300.0f, 490.0f}));
    EXPECT_TRUE(buttons.volumeUp.contains({535.0f, 515.0f}));
    EXPECT_FALSE(buttons.volumeUp.contains({565.0f, 515.0f}));  // the gap between + and -
    EXPECT_FALSE(buttons.volumeDown.contains({565.0f, 515.0f}));
    EXPECT_TRUE(buttons.volumeDown.contains({595.0f, 515.0f}));
    EXPECT_TRUE(buttons.yes.contains({400.0f, 515.0f}));
    EXPECT_FALSE(buttons.yes.contains({400.0f, 489.0f}));
}

}  // namespace
}  // namespace quellwave::ui
