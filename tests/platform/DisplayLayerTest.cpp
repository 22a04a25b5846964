// Message boxes and the screen-saver suspension on a private virtual display.
#include "app/platform/SfmlDialogs.hpp"
#include "app/platform/XScreenSaverSleep.hpp"
#include "tests/platform/CapturedErrors.hpp"
#include "tests/platform/ScopedEnvironment.hpp"
#include "tests/platform/TestProcess.hpp"
#include "tests/platform/VirtualDisplayFixture.hpp"
#include "tests/platform/XvfbTestDisplay.hpp"

#include <gtest/gtest.h>

#include <unistd.h>

namespace quellwave::platform {
namespace {

using testing::CapturedErrors;
using testing::ScopedEnvironment;
using testing::XvfbTestDisplay;

constexpr auto kWindowTimeout = std::chrono::seconds(20);
constexpr auto kAnswerTimeout = std::chrono::seconds(20);

const DialogRequest kWarning{DialogKind::Warning, "Warning",
                             "The system's audio output is mono. Please configure it to Stereo in "
                             "your sound settings.\n\nContinue anyway?"};
const DialogRequest kError{DialogKind::Error, "Error", "Failed to check or set sample rate."};

TEST(DialogsWithoutDisplayTest, TextGoesToStandardErrorAndTheAnswerIsPositive) {
    ScopedEnvironment noDisplay("DISPLAY", std::nullopt);
    CapturedErrors errors;
    SfmlDialogs dialogs;

    EXPECT_EQ(dialogs.show(kWarning), DialogAnswer::Yes);
    EXPECT_EQ(dialogs.show(kError), DialogAnswer::Ok);
    EXPECT_EQ(errors.text(), "Warning: " + kWarning.text + "\nError: " + kError.text + "\n");
}

TEST(KeepAwakeWithoutDisplayTest, DoesNothing) {
    ScopedEnvironment noDisplay("DISPLAY", std::nullopt);
    XScreenSaverSleep display;
    display.keepAwake();
    EXPECT_FALSE(display.suspended());
    display.allowSleep();
    EXPECT_FALSE(display.suspended());
}

class VirtualDisplayTest : public testing::VirtualDisplayFixture {
protected:
    // Shows `request` in a child process, lets `act` work on its window and returns the answer.
    // The child keeps the window system's connections of the process to itself, so the display
    // can go away with the test.
    template <typename Act>
    std::optional<DialogAnswer> answer(const DialogRequest& request, Act act) {
        const pid_t child = fork();
        if (child == 0) {
            _exit(static_cast<int>(dialogs_.show(request)));
        }
        const auto window = display_->waitForWindow(request.caption, kWindowTimeout);
        EXPECT_TRUE(window.has_value()) << "no window titled " << request.caption;
        if (window) {
            act(*window);
        }
        const std::optional<int> exitCode = testing::waitForExit(child, kAnswerTimeout);
        if (!exitCode) {
            ADD_FAILURE() << "the dialog did not close";
            return std::nullopt;
        }
        if (*exitCode < 0) {
            ADD_FAILURE() << "the dialog process crashed";
            return std::nullopt;
        }
        return static_cast<DialogAnswer>(*exitCode);
    }

    CapturedErrors errors_;
    SfmlDialogs dialogs_;
};

TEST_F(VirtualDisplayTest, EscapeDeclinesAWarning) {
    EXPECT_EQ(answer(kWarning, [&](const std::string& w) { display_->pressKey(w, "Escape"); }), DialogAnswer::No);
}

TEST_F(VirtualDisplayTest, EnterAcceptsAWarning) {
    EXPECT_EQ(answer(kWarning, [&](const std::string& w) { display_->pressKey(w, "Return"); }), DialogAnswer::Yes);
}

TEST_F(VirtualDisplayTest, ClosingTheWindowDeclinesAWarningAndConfirmsAnError) {
    const auto closeBox = [&](const std::string& w) { EXPECT_TRUE(display_->requestClose(w)); };
    EXPECT_EQ(answer(kWarning, closeBox), DialogAnswer::No);
    EXPECT_EQ(answer(kError, closeBox), DialogAnswer::Ok);
}

TEST_F(VirtualDisplayTest, TheNoButtonDeclinesAndTheOkButtonConfirms) {
    // The buttons sit in the bottom-right corner, 18 pixels in; No is the right one. The box is
    // moved to the middle of the desktop after it shows: a click aimed before the move misses.
    const auto clickBottomRight = [&](const std::string& w) {
        ASSERT_TRUE(display_->waitUntilCentred(w, kWindowTimeout));
        const auto placement = display_->windowPlacement(w);
        ASSERT_TRUE(placement.has_value());
        EXPECT_TRUE(display_->click(w, placement->width - 18 - 44, placement->height - 18 - 14));
    };
    EXPECT_EQ(answer(kWarning, clickBottomRight), DialogAnswer::No);
    EXPECT_EQ(answer(kError, clickBottomRight), DialogAnswer::Ok);
}

TEST_F(VirtualDisplayTest, WithoutAFontOnlyStandardErrorCarriesTheText) {
    SfmlDialogs noFonts(std::vector<std::filesystem::path>{"/nonexistent/font.ttf"});
    EXPECT_EQ(noFonts.show(kWarning), DialogAnswer::Yes);
    EXPECT_EQ(errors_.text(), "Warning: " + kWarning.text + "\n");
}

TEST_F(VirtualDisplayTest, TheScreenSaverIsSuspendedUntilSleepIsAllowed) {
    XScreenSaverSleep display;
    display.keepAwake();
    EXPECT_TRUE(display.suspended());
    display.keepAwake();  // a second call keeps the one suspension
    EXPECT_TRUE(display.suspended());
    display.allowSleep();
    EXPECT_FALSE(display.suspended());
    display.allowSleep();
    EXPECT_FALSE(display.suspended());
}

}  // namespace
}  // namespace quellwave::platform
