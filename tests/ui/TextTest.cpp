#include "app/ui/DescriptionLayout.hpp"
#include "app/ui/StageDisplay.hpp"

#include <gtest/gtest.h>

namespace quellwave::ui {
namespace {

// Every character is 10 pixels wide except a line feed, which starts a new measured line.
float monospaceWidth(const std::string& text) {
    float widest = 0.0f;
    float width = 0.0f;
    for (const char c : text) {
        width = c == '\n' ? 0.0f : width + 10.0f;
        widest = std::max(widest, width);
    }
    return widest;
}

std::string joined(const DescriptionLayout::Result& result) {
    std::string text;
    for (const auto& line : result.lines) text += (text.empty() ? "" : " ") + line.text;
    return text;
}

TEST(DescriptionLayout, ShortTextIsOneLine) {
    const auto result = DescriptionLayout::layout("A gentle frequency.", 230.0f, monospaceWidth);
    ASSERT_EQ(result.lines.size(), 1u);
    EXPECT_EQ(result.lines[0].text, "A gentle frequency.");
    EXPECT_FLOAT_EQ(result.lines[0].y, 230.0f);
    EXPECT_FLOAT_EQ(result.nextY, 255.0f);
}

TEST(DescriptionLayout, LongTextBreaksAtTheLastSpaceAndLosesNoWord) {
    std::string text;
    for (int i = 0; i < 40; ++i) text += "word" + std::to_string(i % 10) + " ";
    text += "end";
    const auto result = DescriptionLayout::layout(text, 230.0f, monospaceWidth);
    ASSERT_GT(result.lines.size(), 1u);
    for (std::size_t i = 0; i < result.lines.size(); ++i) {
        EXPECT_LE(monospaceWidth(result.lines[i].text), DescriptionLayout::kMaxWidth);
        EXPECT_FLOAT_EQ(result.lines[i].y, 230.0f + 25.0f * static_cast<float>(i));
        EXPECT_NE(result.lines[i].text.back(), ' ');
    }
    EXPECT_EQ(joined(result), text);
    // 78 characters fit: "word0 " x 13 = 78, so the first line holds 13 words less the space
    EXPECT_EQ(result.lines[0].text.size(), 77u);
}

TEST(DescriptionLayout, LineFeedsStayInTheTextAndDoNotCountTowardsTheWidth) {
    const std::string text =
        "May induce out-of-body experiences. Use protective affirmations.\nSuggested duration: 30-60 minutes.";
    const auto result = DescriptionLayout::layout(text, 230.0f, monospaceWidth);
    ASSERT_EQ(result.lines.size(), 1u);
    EXPECT_EQ(result.lines[0].text, text);
}

TEST(DescriptionLayout, AWordWiderThanTheLineIsNotCutAndNothingIsDrawnBelowTheWindow) {
    const std::string longWord(100, 'x');
    auto result = DescriptionLayout::layout(longWord, 230.0f, monospaceWidth);
    ASSERT_EQ(result.lines.size(), 1u);
    EXPECT_EQ(result.lines[0].text, longWord);

    std::string many;
    for (int i = 0; i < 60; ++i) many += std::string(70, 'y') + " ";
    result = DescriptionLayout::layout(many, 500.0f, monospaceWidth);
    ASSERT_FALSE(result.lines.empty());
    EXPECT_LT(result.lines.back().y, 600.0f);
    EXPECT_EQ(result.lines.size(), 4u);  // 500, 525, 550, 575
    EXPECT_FLOAT_EQ(result.nextY, 600.0f);
}

SessionSnapshot threeMinuteStages(std::int32_t current, std::uint64_t intoStageFrames) {
    SessionSnapshot snapshot;
    snapshot.sampleRate = 48000;
    snapshot.stageDurations = {120.0, 180.0, 240.7};
    snapshot.progress.stageIndex = current;
    snapshot.progress.stageBeginFrame = 1'000'000;
    snapshot.progress.frameCounter = 1'000'000 + intoStageFrames;
    return snapshot;
}

TEST(StageDisplay, StageLinesShowFinishedActiveAndComingStages) {
    const auto lines = stage_display::stageLines(threeMinuteStages(1, 37 * 48000 + 47999));
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(lines[0], "Stage 1: 120/120 s");
    EXPECT_EQ(lines[1], "Stage 2: 37/180 s [Active]");
    EXPECT_EQ(lines[2], "Stage 3: 0/240 s");
}

TEST(StageDisplay, ActiveStageNeverShowsMoreThanItsLength) {
    const auto lines = stage_display::stageLines(threeMinuteStages(2, 300 * 48000));
    EXPECT_EQ(lines[2], "Stage 3: 240/240 s [Active]");
}

TEST(StageDisplay, ACounterMovedBackBeforeTheStageStartShowsZero) {
    auto snapshot = threeMinuteStages(1, 0);
    snapshot.progress.frameCounter = 0;
    EXPECT_EQ(stage_display::stageLines(snapshot)[1], "Stage 2: 0/180 s [Active]");
}

TEST(StageDisplay, StatusLines) {
    EXPECT_EQ(stage_display::volumeLine(80.0), "Volume: 80%");
    EXPECT_EQ(stage_display::timeRemainingLine(1800.0, 0.016), "Time remaining: 1799 seconds");
    EXPECT_EQ(stage_display::timeRemainingLine(1800.0, 0.0), "Time remaining: 1800 seconds");
    EXPECT_EQ(stage_display::timeRemainingLine(1800.0, 1805.0), "Time remaining: 0 seconds");
}

TEST(StageDisplay, ProgressBarStaysInsideItsFrameDuringTheFadeOut) {
    EXPECT_FLOAT_EQ(stage_display::progressShare(900.0, 1800.0), 0.5f);
    EXPECT_FLOAT_EQ(stage_display::progressShare(1810.0, 1800.0), 1.0f);
    EXPECT_FLOAT_EQ(stage_display::progressShare(-1.0, 1800.0), 0.0f);
    EXPECT_FLOAT_EQ(stage_display::progressShare(5.0, 0.0), 1.0f);
}

}  // namespace
}  // namespace quellwave::ui
