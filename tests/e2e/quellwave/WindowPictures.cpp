#include "tests/e2e/quellwave/WindowPictures.hpp"

#include "tests/platform/TestProcess.hpp"

#include <X11/Xlib.h>

#include <cstring>

namespace quellwave::e2e {

std::optional<Picture> pictureOfWindow(const std::string& window, const std::filesystem::path& file) {
    if (testing::runProcess({"import", "-window", window, "-depth", "8", "ppm:" + file.string()}).exitCode != 0) {
        return std::nullopt;
    }
    return Picture::readPpm(file);
}

bool requestWindowClose(const std::string& window) {
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

}  // namespace quellwave::e2e
