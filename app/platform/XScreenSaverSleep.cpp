#include "app/platform/XScreenSaverSleep.hpp"

#include <X11/Xlib.h>
#include <X11/extensions/scrnsaver.h>

namespace quellwave::platform {

XScreenSaverSleep::~XScreenSaverSleep() { allowSleep(); }

void XScreenSaverSleep::keepAwake() {
    std::lock_guard lock(mutex_);
    if (display_ != nullptr) {
        return;
    }
    Display* display = XOpenDisplay(nullptr);
    if (display == nullptr) {
        return;
    }
    int eventBase = 0;
    int errorBase = 0;
    if (!XScreenSaverQueryExtension(display, &eventBase, &errorBase)) {
        XCloseDisplay(display);
        return;
    }
    XScreenSaverSuspend(display, True);
    XFlush(display);
    display_ = display;
}

void XScreenSaverSleep::allowSleep() {
    std::lock_guard lock(mutex_);
    if (display_ == nullptr) {
        return;
    }
    XScreenSaverSuspend(display_, False);
    XCloseDisplay(display_);  // flushes the request
    display_ = nullptr;
}

bool XScreenSaverSleep::suspended() const {
    std::lock_guard lock(mutex_);
    return display_ != nullptr;
}

}  // namespace quellwave::platform
