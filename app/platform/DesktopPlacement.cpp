#include "app/platform/DesktopPlacement.hpp"

#include <SFML/Window/VideoMode.hpp>
#include <SFML/Window/Window.hpp>
#include <X11/Xatom.h>
#include <X11/Xlib.h>

#include <algorithm>

namespace quellwave::platform {
namespace {

// The property that tells window managers which functions a window offers and what its frame
// shows, laid out as they read it: five 32-bit items, each held in a long.
struct MotifHints {
    unsigned long flags;
    unsigned long functions;
    unsigned long decorations;
    long inputMode;
    unsigned long status;
};
constexpr unsigned long kHintsFunctions = 1UL << 0;
constexpr unsigned long kHintsDecorations = 1UL << 1;
constexpr unsigned long kFunctionMove = 1UL << 2;
constexpr unsigned long kFunctionClose = 1UL << 5;
constexpr unsigned long kDecorationBorder = 1UL << 1;
constexpr unsigned long kDecorationTitle = 1UL << 3;
constexpr unsigned long kDecorationMenu = 1UL << 4;

void offerOnlyClose(Display* display, Window window) {
    const Atom hintsAtom = XInternAtom(display, "_MOTIF_WM_HINTS", False);
    MotifHints hints{kHintsFunctions | kHintsDecorations, kFunctionMove | kFunctionClose,
                     kDecorationBorder | kDecorationTitle | kDecorationMenu, 0, 0};
    XChangeProperty(display, window, hintsAtom, hintsAtom, 32, PropModeReplace,
                    reinterpret_cast<unsigned char*>(&hints), 5);
}

// How far the window manager's frame reaches beyond the window on each side.
struct FrameExtents {
    long left = 0;
    long right = 0;
    long top = 0;
    long bottom = 0;
};

// The extents the window manager published; none (all 0) without a window manager or before
// it has framed the window.
FrameExtents frameExtents(Display* display, Window window) {
    const Atom extentsAtom = XInternAtom(display, "_NET_FRAME_EXTENTS", True);
    if (extentsAtom == None) {
        return {};
    }
    Atom type = None;
    int format = 0;
    unsigned long count = 0;
    unsigned long remaining = 0;
    unsigned char* data = nullptr;
    FrameExtents extents;
    if (XGetWindowProperty(display, window, extentsAtom, 0, 4, False, XA_CARDINAL, &type, &format, &count, &remaining,
                           &data) == Success &&
        data != nullptr && format == 32 && count == 4) {
        const long* values = reinterpret_cast<const long*>(data);
        extents = {values[0], values[1], values[2], values[3]};
    }
    if (data != nullptr) {
        XFree(data);
    }
    return extents;
}

// Where the outer edge of `outer` pixels starts when it is centred on `desktop` pixels; never
// before the desktop's edge, so that a title bar stays within reach on a small desktop.
int centredStart(unsigned desktop, long outer) {
    return static_cast<int>(std::max(0L, (static_cast<long>(desktop) - outer) / 2));
}

}  // namespace

void settleOnDesktop(sf::Window& window) {
    Display* display = XOpenDisplay(nullptr);
    if (display == nullptr) {
        return;
    }
    const Window handle = window.getSystemHandle();
    offerOnlyClose(display, handle);
    XFlush(display);

    // A move names where the frame's top left corner goes (the window's default gravity).
    const FrameExtents frame = frameExtents(display, handle);
    const sf::Vector2u size = window.getSize();
    const sf::VideoMode desktop = sf::VideoMode::getDesktopMode();
    window.setPosition({centredStart(desktop.width, size.x + frame.left + frame.right),
                        centredStart(desktop.height, size.y + frame.top + frame.bottom)});
    XCloseDisplay(display);
}

}  // namespace quellwave::platform
