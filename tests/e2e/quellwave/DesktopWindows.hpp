#pragma once

#include "tests/platform/TempFolder.hpp"

#include <chrono>
#include <optional>
#include <string>
#include <vector>

#include <sys/types.h>

namespace quellwave::e2e {

// The window manager of a desktop (openbox) on the display that DISPLAY names, for one test.
class TestWindowManager {
public:
    static bool binaryAvailable();

    TestWindowManager();
    ~TestWindowManager();
    TestWindowManager(const TestWindowManager&) = delete;
    TestWindowManager& operator=(const TestWindowManager&) = delete;

    // True once the manager has announced itself on the display.
    bool running() const { return running_; }

private:
    testing::TempFolder home_{"qw-wm-"};
    pid_t pid_ = -1;
    bool running_ = false;
};

// Where a top-level window sits on the desktop, as the X server and its window manager tell.
struct WindowPlacement {
    int screenWidth = 0;
    int screenHeight = 0;
    // The window's own area, in desktop coordinates.
    int left = 0;
    int top = 0;
    int width = 0;
    int height = 0;
    // What the manager's frame adds on each side (0 without a manager).
    int frameLeft = 0;
    int frameRight = 0;
    int frameTop = 0;
    int frameBottom = 0;

    int outerLeft() const { return left - frameLeft; }
    int outerTop() const { return top - frameTop; }
    int outerRight() const { return left + width + frameRight; }
    int outerBottom() const { return top + height + frameBottom; }
    // The frame lies wholly on the desktop.
    bool onScreen() const;
    // How far the frame's centre lies from the desktop's, in pixels (the larger of both axes).
    double offCentre() const;
};

std::optional<WindowPlacement> placementOf(const std::string& window);

// The actions the window manager offers for the window ("CLOSE", "MINIMIZE", ...), from the
// names _NET_WM_ACTION_<name> it lists.
std::vector<std::string> allowedActions(const std::string& window);

// What the window asks of the window manager through the common (motif) hints.
struct FrameRequest {
    bool functionsGiven = false;
    unsigned long functions = 0;  // bits: 1 all, 2 resize, 4 move, 8 minimise, 16 maximise, 32 close
    bool decorationsGiven = false;
    unsigned long decorations = 0;  // bits: 1 all, 2 border, 4 resize handle, 8 title, 16 menu,
                                    // 32 minimise, 64 maximise
};
std::optional<FrameRequest> frameRequestOf(const std::string& window);

}  // namespace quellwave::e2e
