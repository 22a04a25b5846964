#include "tests/e2e/quellwave/DesktopWindows.hpp"

#include <X11/Xatom.h>
#include <X11/Xlib.h>

#include <algorithm>
#include <cmath>
#include <memory>
#include <thread>

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

namespace quellwave::e2e {
namespace {

constexpr const char* kBinary = "/usr/bin/openbox";
constexpr auto kStartTimeout = std::chrono::seconds(15);
constexpr auto kPollPause = std::chrono::milliseconds(20);

struct DisplayCloser {
    void operator()(Display* display) const { XCloseDisplay(display); }
};
using DisplayConnection = std::unique_ptr<Display, DisplayCloser>;

// The items of a 32-bit property (CARDINAL, ATOM or WINDOW), empty when it is not set.
std::vector<long> propertyItems(Display* display, Window window, const char* name, Atom type) {
    const Atom property = XInternAtom(display, name, True);
    std::vector<long> items;
    if (property == None) {
        return items;
    }
    Atom actualType = None;
    int format = 0;
    unsigned long count = 0;
    unsigned long remaining = 0;
    unsigned char* data = nullptr;
    if (XGetWindowProperty(display, window, property, 0, 1024, False, type, &actualType, &format, &count, &remaining,
                           &data) == Success &&
        data != nullptr && format == 32) {
        const long* values = reinterpret_cast<const long*>(data);
        items.assign(values, values + count);
    }
    if (data != nullptr) {
        XFree(data);
    }
    return items;
}

Window windowFrom(const std::string& id) { return static_cast<Window>(std::stoul(id)); }

}  // namespace

bool TestWindowManager::binaryAvailable() { return access(kBinary, X_OK) == 0; }

TestWindowManager::TestWindowManager() {
    const DisplayConnection display(XOpenDisplay(nullptr));
    if (!display) {
        return;
    }
    const auto log = home_.path() / "openbox.log";
    pid_ = fork();
    if (pid_ == 0) {
        const int logFile = open(log.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        dup2(logFile, STDOUT_FILENO);
        dup2(logFile, STDERR_FILENO);
        // Its settings and caches go to a home of its own.
        setenv("HOME", home_.path().c_str(), 1);
        unsetenv("XDG_CONFIG_HOME");
        unsetenv("XDG_CACHE_HOME");
        execl(kBinary, kBinary, "--sm-disable", static_cast<char*>(nullptr));
        _exit(127);
    }
    if (pid_ < 0) {
        return;
    }
    // A manager announces itself with a check window on the root window.
    const Window root = DefaultRootWindow(display.get());
    const auto deadline = std::chrono::steady_clock::now() + kStartTimeout;
    while (std::chrono::steady_clock::now() < deadline) {
        if (!propertyItems(display.get(), root, "_NET_SUPPORTING_WM_CHECK", XA_WINDOW).empty()) {
            running_ = true;
            return;
        }
        if (waitpid(pid_, nullptr, WNOHANG) == pid_) {
            pid_ = -1;
            return;
        }
        std::this_thread::sleep_for(kPollPause);
    }
}

TestWindowManager::~TestWindowManager() {
    if (pid_ > 0) {
        kill(pid_, SIGTERM);
        waitpid(pid_, nullptr, 0);
    }
}

bool WindowPlacement::onScreen() const {
    return outerLeft() >= 0 && outerTop() >= 0 && outerRight() <= screenWidth && outerBottom() <= screenHeight;
}

double WindowPlacement::offCentre() const {
    const double dx = (outerLeft() + outerRight()) / 2.0 - screenWidth / 2.0;
    const double dy = (outerTop() + outerBottom()) / 2.0 - screenHeight / 2.0;
    return std::max(std::abs(dx), std::abs(dy));
}

std::optional<WindowPlacement> placementOf(const std::string& window) {
    const DisplayConnection display(XOpenDisplay(nullptr));
    if (!display) {
        return std::nullopt;
    }
    const Window handle = windowFrom(window);
    XWindowAttributes attributes;
    if (XGetWindowAttributes(display.get(), handle, &attributes) == 0) {
        return std::nullopt;
    }
    const Window root = DefaultRootWindow(display.get());
    int left = 0;
    int top = 0;
    Window child = None;
    XTranslateCoordinates(display.get(), handle, root, 0, 0, &left, &top, &child);
    WindowPlacement placement;
    placement.screenWidth = DisplayWidth(display.get(), DefaultScreen(display.get()));
    placement.screenHeight = DisplayHeight(display.get(), DefaultScreen(display.get()));
    placement.left = left;
    placement.top = top;
    placement.width = attributes.width;
    placement.height = attributes.height;
    const auto frame = propertyItems(display.get(), handle, "_NET_FRAME_EXTENTS", XA_CARDINAL);
    if (frame.size() == 4) {
        placement.frameLeft = static_cast<int>(frame[0]);
        placement.frameRight = static_cast<int>(frame[1]);
        placement.frameTop = static_cast<int>(frame[2]);
        placement.frameBottom = static_cast<int>(frame[3]);
    }
    return placement;
}

std::vector<std::string> allowedActions(const std::string& window) {
    const DisplayConnection display(XOpenDisplay(nullptr));
    std::vector<std::string> names;
    if (!display) {
        return names;
    }
    const std::string prefix = "_NET_WM_ACTION_";
    for (const long atom : propertyItems(display.get(), windowFrom(window), "_NET_WM_ALLOWED_ACTIONS", XA_ATOM)) {
        char* name = XGetAtomName(display.get(), static_cast<Atom>(atom));
        if (name == nullptr) {
            continue;
        }
        const std::string text = name;
        XFree(name);
        if (text.rfind(prefix, 0) == 0) {
            names.push_back(text.substr(prefix.size()));
        }
    }
    return names;
}

std::optional<FrameRequest> frameRequestOf(const std::string& window) {
    const DisplayConnection display(XOpenDisplay(nullptr));
    if (!display) {
        return std::nullopt;
    }
    const Atom hints = XInternAtom(display.get(), "_MOTIF_WM_HINTS", True);
    if (hints == None) {
        return std::nullopt;
    }
    const auto items = propertyItems(display.get(), windowFrom(window), "_MOTIF_WM_HINTS", hints);
    if (items.size() < 3) {
        return std::nullopt;
    }
    const auto flags = static_cast<unsigned long>(items[0]);
    return FrameRequest{(flags & 1) != 0, static_cast<unsigned long>(items[1]), (flags & 2) != 0,
                        static_cast<unsigned long>(items[2])};
}

}  // namespace quellwave::e2e
