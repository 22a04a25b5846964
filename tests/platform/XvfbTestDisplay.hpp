#pragma once

#include "tests/platform/ScopedEnvironment.hpp"

#include <chrono>
#include <optional>
#include <string>

#include <sys/types.h>

namespace quellwave::testing {

// A private virtual X display for one test. While it runs, DISPLAY points this process (and
// the programs it starts) at it.
class XvfbTestDisplay {
public:
    static bool binaryAvailable();

    // `screen` is the desktop's width x height x depth.
    explicit XvfbTestDisplay(const std::string& screen = "1024x768x24",
                             std::chrono::milliseconds startTimeout = std::chrono::seconds(15));
    ~XvfbTestDisplay();
    XvfbTestDisplay(const XvfbTestDisplay&) = delete;
    XvfbTestDisplay& operator=(const XvfbTestDisplay&) = delete;

    bool running() const { return !name_.empty(); }

    // The id of a shown top-level window titled exactly `title`, once there is one (looked for
    // at least once, also with a zero time-out).
    std::optional<std::string> waitForWindow(const std::string& title, std::chrono::milliseconds timeout) const;

    // Focuses the window and types one key (an X key name such as "Return" or "Escape").
    bool pressKey(const std::string& window, const std::string& key) const;

    // Clicks the left button at (x, y) of the window.
    bool click(const std::string& window, int x, int y) const;

    // Asks the window to close, as its close box does (the window manager's delete request).
    bool requestClose(const std::string& window) const;

    struct Placement {
        int x = 0;
        int y = 0;
        int width = 0;
        int height = 0;
    };
    // Where the window's top left corner is on the desktop, and its size.
    std::optional<Placement> windowPlacement(const std::string& window) const;

    // Waits until the window sits centred on the desktop, where the program moves its windows
    // once they are shown (without a window manager, no frame is around them).
    bool waitUntilCentred(const std::string& window, std::chrono::milliseconds timeout) const;

private:
    int screenWidth_ = 0;
    int screenHeight_ = 0;
    pid_t pid_ = -1;
    std::string name_;
    std::optional<ScopedEnvironment> displayVariable_;
};

}  // namespace quellwave::testing
