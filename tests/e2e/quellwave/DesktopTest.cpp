// The whole program on desktops of three sizes with a window manager (openbox): its window and
// its message boxes open centred and wholly on screen, their title bars offer a close box alone,
// and a click on a message-box button's outline answers it.
#include "tests/e2e/quellwave/ChildProcess.hpp"
#include "tests/e2e/quellwave/DesktopWindows.hpp"
#include "tests/e2e/quellwave/WindowPictures.hpp"
#include "tests/platform/PulseTestServer.hpp"
#include "tests/platform/TempFolder.hpp"
#include "tests/platform/XvfbTestDisplay.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <functional>
#include <thread>

namespace quellwave::e2e {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

const fs::path kProgramFolder = QW_APP_DIR;
// The frame may be placed before the manager has told its size; half a title bar off is centred.
constexpr double kCentred = 12.0;

bool eventually(const std::function<bool()>& holds, std::chrono::milliseconds timeout = 15s) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (!holds()) {
        if (std::chrono::steady_clock::now() > deadline) return false;
        std::this_thread::sleep_for(20ms);
    }
    return true;
}

bool offers(const std::vector<std::string>& actions, const std::string& action) {
    return std::find(actions.begin(), actions.end(), action) != actions.end();
}

// The window asks for moving and a close box alone, with a title bar that shows neither minimise
// nor maximise; the manager offers the close box and no maximise. (openbox keeps minimise
// whatever a window asks; other managers drop it.)
bool onlyCloseOffered(const std::string& window) {
    const auto request = frameRequestOf(window);
    const auto actions = allowedActions(window);
    return request && request->functionsGiven && request->functions == (4 | 32) && request->decorationsGiven &&
           (request->decorations & (1 | 4 | 32 | 64)) == 0 && (request->decorations & 8) != 0 &&
           offers(actions, "CLOSE") && !offers(actions, "MAXIMIZE_HORZ") && !offers(actions, "MAXIMIZE_VERT");
}

bool centredOnScreen(const std::string& window) {
    const auto placement = placementOf(window);
    return placement && placement->frameTop > 0 && placement->onScreen() && placement->offCentre() <= kCentred;
}

std::string describe(const std::string& window) {
    std::string text = "asks";
    if (const auto request = frameRequestOf(window)) {
        text += " functions " + std::to_string(request->functions) + ", decorations " +
                std::to_string(request->decorations);
    }
    text += "; actions:";
    for (const auto& action : allowedActions(window)) text += " " + action;
    if (const auto p = placementOf(window)) {
        text += "; frame " + std::to_string(p->outerLeft()) + "," + std::to_string(p->outerTop()) + " to " +
                std::to_string(p->outerRight()) + "," + std::to_string(p->outerBottom()) + " on " +
                std::to_string(p->screenWidth) + "x" + std::to_string(p->screenHeight);
    }
    return text;
}

struct Box {
    int left = 0;
    int top = 0;
    int right = 0;  // inclusive
    int bottom = 0;
};

// The smallest box around every pixel of exactly this colour from row `firstRow` down.
std::optional<Box> boxOfColour(const Picture& picture, int firstRow, std::uint8_t r, std::uint8_t g, std::uint8_t b) {
    std::optional<Box> box;
    for (int y = std::max(0, firstRow); y < picture.height; ++y) {
        for (int x = 0; x < picture.width; ++x) {
            const std::size_t at = (static_cast<std::size_t>(y) * picture.width + x) * 3;
            if (picture.rgb[at] != r || picture.rgb[at + 1] != g || picture.rgb[at + 2] != b) continue;
            if (!box) box = Box{x, y, x, y};
            box->left = std::min(box->left, x);
            box->top = std::min(box->top, y);
            box->right = std::max(box->right, x);
            box->bottom = std::max(box->bottom, y);
        }
    }
    return box;
}

class DesktopTest : public ::testing::TestWithParam<const char*> {
protected:
    void SetUp() override {
        if (!TestWindowManager::binaryAvailable()) GTEST_SKIP() << "openbox is not installed: run scripts/deps.sh";
        display_.emplace(GetParam());
        ASSERT_TRUE(display_->running()) << "Xvfb did not start";
        manager_.emplace();
        ASSERT_TRUE(manager_->running()) << "openbox did not start";
    }

    std::unique_ptr<ChildProcess> startProgram() {
        const char* asan = std::getenv("ASAN_OPTIONS");
        return std::make_unique<ChildProcess>(ChildProcess::Options{
            {(kProgramFolder / "Quellwave").string()},
            {{"ALSOFT_DRIVERS", "pulse"},
             {"XDG_CONFIG_HOME", (folder_.path() / "config").string()},
             {"ASAN_OPTIONS", std::string(asan ? asan : "") + ":verify_asan_link_order=0:detect_leaks=0"}},
            kProgramFolder,
            folder_.path() / "program.log",
            {}});
    }
    std::string programLog() const { return testing::readFile(folder_.path() / "program.log"); }

    // Waits for the window titled `title` and checks its place and its title bar.
    std::optional<std::string> settledWindow(const std::string& title) {
        const auto window = display_->waitForWindow(title, 30s);
        EXPECT_TRUE(window.has_value()) << "no window titled " << title << "\n" << programLog();
        if (!window) return std::nullopt;
        EXPECT_TRUE(eventually([&] { return centredOnScreen(*window); }))
            << title << " is not centred on the desktop: " << describe(*window);
        EXPECT_TRUE(eventually([&] { return onlyCloseOffered(*window); }))
            << title << " offers more than a close box: " << describe(*window);
        return window;
    }

    // Clicks the point of the message box that `pick` chooses on the box around the colour in the
    // row of buttons (the bottom 55 pixels, below the text), once it is drawn.
    void clickOnOutline(const std::string& box, std::uint8_t r, std::uint8_t g, std::uint8_t b,
                        const std::function<std::pair<int, int>(const Box&)>& pick) {
        std::optional<Box> outline;
        eventually([&] {
            const auto picture = pictureOfWindow(box, folder_.path() / "box.ppm");
            if (picture) outline = boxOfColour(*picture, picture->height - 55, r, g, b);
            return outline.has_value();
        });
        ASSERT_TRUE(outline.has_value()) << "no button outline in the message box";
        const auto [x, y] = pick(*outline);
        ASSERT_TRUE(display_->click(box, x, y));
    }

    std::optional<testing::XvfbTestDisplay> display_;
    std::optional<TestWindowManager> manager_;
    testing::TempFolder folder_{"qw-desktop-"};
};

TEST_P(DesktopTest, TheWindowAndAWarningOpenCentredAndAClickOnNoOutlineDeclines) {
    // Speakers only: the headphone warning asks.
    testing::PulseTestServer sound({{"speakers", "device.form_factor=speaker", 2, 48000}}, "speakers");
    ASSERT_TRUE(sound.running()) << sound.log();
    auto program = startProgram();

    ASSERT_TRUE(settledWindow("Quellwave").has_value());
    const auto warning = settledWindow("Warning");
    ASSERT_TRUE(warning.has_value());
    // The No button's 1-pixel grey outline: its left column, half way down.
    clickOnOutline(*warning, 140, 140, 140, [](const Box& o) { return std::pair{o.left, (o.top + o.bottom) / 2}; });

    const auto exitCode = program->waitExit(20s);
    ASSERT_TRUE(exitCode.has_value()) << "a click on the No button's outline did not answer\n" << programLog();
    EXPECT_EQ(*exitCode, 0) << programLog();
    EXPECT_NE(programLog().find("Warning: Headphones were not detected."), std::string::npos) << programLog();
}

TEST_P(DesktopTest, AnErrorBoxOpensCentredAndAClickOnTheOkOutlineAnswersIt) {
    testing::NoSoundServer none;
    auto program = startProgram();

    const auto box = settledWindow("Error");
    ASSERT_TRUE(box.has_value());
    // The OK button's 2-pixel blue outline: its bottom right corner.
    clickOnOutline(*box, 0, 120, 215, [](const Box& o) { return std::pair{o.right, o.bottom}; });

    const auto exitCode = program->waitExit(20s);
    ASSERT_TRUE(exitCode.has_value()) << "a click on the OK button's outline did not answer\n" << programLog();
    EXPECT_EQ(*exitCode, 1) << programLog();
}

INSTANTIATE_TEST_SUITE_P(DesktopSizes, DesktopTest, ::testing::Values("1024x768x24", "1366x768x24", "1920x1080x24"),
                         [](const auto& info) {
                             std::string name = info.param;
                             return name.substr(0, name.rfind('x'));
                         });

}  // namespace
}  // namespace quellwave::e2e
