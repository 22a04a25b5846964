#include "tests/platform/XvfbTestDisplay.hpp"

#include "tests/platform/TestProcess.hpp"

#include <cstring>
#include <sstream>
#include <thread>

#include <X11/Xlib.h>

#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

namespace quellwave::testing {
namespace {

constexpr const char* kBinary = "/usr/bin/Xvfb";
constexpr auto kPollPause = std::chrono::milliseconds(20);

}  // namespace

bool XvfbTestDisplay::binaryAvailable() { return access(kBinary, X_OK) == 0 && access("/usr/bin/xdotool", X_OK) == 0; }

XvfbTestDisplay::XvfbTestDisplay(const std::string& screen, std::chrono::milliseconds startTimeout) {
    char separator = 0;
    std::istringstream(screen) >> screenWidth_ >> separator >> screenHeight_;
    int ready[2];
    if (pipe(ready) != 0) {
        return;
    }
    pid_ = fork();
    if (pid_ == 0) {
        close(ready[0]);
        const std::string fd = std::to_string(ready[1]);
        // Without -noreset the server restarts whenever its last client leaves and refuses
        // connections meanwhile.
        execl(kBinary, kBinary, "-displayfd", fd.c_str(), "-screen", "0", screen.c_str(), "-nolisten", "tcp",
              "-noreset", static_cast<char*>(nullptr));
        _exit(127);
    }
    close(ready[1]);
    // Xvfb writes its display number to the pipe once it accepts clients.
    pollfd waiting{ready[0], POLLIN, 0};
    std::string number;
    const auto deadline = std::chrono::steady_clock::now() + startTimeout;
    while (pid_ > 0 && std::chrono::steady_clock::now() < deadline) {
        if (poll(&waiting, 1, static_cast<int>(kPollPause.count())) > 0) {
            char c = 0;
            if (read(ready[0], &c, 1) != 1 || c == '\n') {
                break;
            }
            number += c;
        }
    }
    close(ready[0]);
    if (!number.empty()) {
        name_ = ":" + number;
        displayVariable_.emplace("DISPLAY", name_);
    }
}

XvfbTestDisplay::~XvfbTestDisplay() {
    displayVariable_.reset();
    if (pid_ > 0) {
        kill(pid_, SIGTERM);
        waitpid(pid_, nullptr, 0);
    }
}

std::optional<std::string> XvfbTestDisplay::waitForWindow(const std::string& title,
                                                          std::chrono::milliseconds timeout) const {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    for (;;) {  // looks once even with no time to wait
        const auto found = runProcess({"xdotool", "search", "--onlyvisible", "--name", "^" + title + "$"});
        std::istringstream ids(found.output);
        std::string id;
        if (ids >> id) {
            return id;
        }
        if (std::chrono::steady_clock::now() >= deadline) {
            return std::nullopt;
        }
        std::this_thread::sleep_for(kPollPause);
    }
}

bool XvfbTestDisplay::pressKey(const std::string& window, const std::string& key) const {
    return runProcess({"xdotool", "windowfocus", window, "key", key}).exitCode == 0;
}

bool XvfbTestDisplay::click(const std::string& window, int x, int y) const {
    return runProcess({"xdotool", "mousemove", "--window", window, std::to_string(x), std::to_string(y), "click", "1"})
               .exitCode == 0;
}

bool XvfbTestDisplay::requestClose(const std::string& window) const {
    Display* display = XOpenDisplay(nullptr);
    if (display == nullptr) {
        return false;
    }
    XEvent event;
    std::memset(&event, 0, sizeof event);
    event.xclient.type = ClientMessage;
    event.xclient.window = static_cast<Window>(std::stoul(window));
    event.xclient.message_type = XInternAtom(display, "WM_PROTOCOLS", False);
    event.xclient.format = 32;
    event.xclient.data.l[0] = static_cast<long>(XInternAtom(display, "WM_DELETE_WINDOW", False));
    event.xclient.data.l[1] = CurrentTime;
    const bool sent = XSendEvent(display, event.xclient.window, False, NoEventMask, &event) != 0;
    XFlush(display);
    XCloseDisplay(display);
    return sent;
}

std::optional<XvfbTestDisplay::Placement> XvfbTestDisplay::windowPlacement(const std::string& window) const {
    const auto shell = runProcess({"xdotool", "getwindowgeometry", "--shell", window});
    std::istringstream lines(shell.output);
    std::string line;
    Placement placement;
    int found = 0;
    const std::pair<const char*, int*> fields[] = {
        {"X=", &placement.x}, {"Y=", &placement.y}, {"WIDTH=", &placement.width}, {"HEIGHT=", &placement.height}};
    while (std::getline(lines, line)) {
        for (const auto& [name, value] : fields) {
            if (line.rfind(name, 0) == 0) {
                *value = std::stoi(line.substr(std::strlen(name)));
                ++found;
            }
        }
    }
    if (found != 4) {
        return std::nullopt;
    }
    return placement;
}

bool XvfbTestDisplay::waitUntilCentred(const std::string& window, std::chrono::milliseconds timeout) const {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    for (;;) {
        const auto placement = windowPlacement(window);
        if (placement && placement->x == (screenWidth_ - placement->width) / 2 &&
            placement->y == (screenHeight_ - placement->height) / 2) {
            return true;
        }
        if (std::chrono::steady_clock::now() >= deadline) {
            return false;
        }
        std::this_thread::sleep_for(kPollPause);
    }
}

}  // namespace quellwave::testing
