#include "app/platform/DialogText.hpp"

#include <gtest/gtest.h>

namespace quellwave::platform {
namespace {

// Ten pixels a character.
float tenPerCharacter(std::string_view text) { return 10.0f * static_cast<float>(text.size()); }

using Lines = std::vector<std::string>;

TEST(DialogTextTest, WrapsAtTheLastSpaceThatFits) {
    EXPECT_EQ(wrapText("aaa bbb ccc", 75.0f, tenPerCharacter), (Lines{"aaa bbb", "ccc"}));
    EXPECT_EQ(wrapText("aaa bbb ccc", 110.0f, tenPerCharacter), (Lines{"aaa bbb ccc"}));
    EXPECT_EQ(wrapText("aaa bbb ccc", 30.0f, tenPerCharacter), (Lines{"aaa", "bbb", "ccc"}));
}

TEST(DialogTextTest, LineFeedsBreakAndEmptyLinesStay) {
    const std::string text = "Audio enhancements are enabled.\n\nContinue anyway?";
    EXPECT_EQ(wrapText(text, 1000.0f, tenPerCharacter),
              (Lines{"Audio enhancements are enabled.", "", "Continue anyway?"}));
}

TEST(DialogTextTest, AWordWiderThanTheLineGetsItsOwnLine) {
    EXPECT_EQ(wrapText("a abcdefghij b", 50.0f, tenPerCharacter), (Lines{"a", "abcdefghij", "b"}));
}

TEST(DialogTextTest, KeysAndDismissal) {
    EXPECT_EQ(answerForKey(DialogKind::Warning, DialogKey::Enter), DialogAnswer::Yes);
    EXPECT_EQ(answerForKey(DialogKind::Warning, DialogKey::Escape), DialogAnswer::No);
    EXPECT_EQ(answerForKey(DialogKind::Error, DialogKey::Enter), DialogAnswer::Ok);
    EXPECT_EQ(answerForKey(DialogKind::Error, DialogKey::Escape), DialogAnswer::Ok);
    EXPECT_EQ(answerWhenClosed(DialogKind::Warning), DialogAnswer::No);
    EXPECT_EQ(answerWhenClosed(DialogKind::Error), DialogAnswer::Ok);
    EXPECT_EQ(answerWhenNotShown(DialogKind::Warning), DialogAnswer::Yes);
    EXPECT_EQ(answerWhenNotShown(DialogKind::Error), DialogAnswer::Ok);
}

}  // namespace
}  // namespace quellwave::platform
