#include "app/platform/DisplayConnection.hpp"

#include <X11/Xlib.h>

namespace quellwave::platform {

std::optional<std::string> displayProblem() {
    if (Display* display = XOpenDisplay(nullptr)) {
        XCloseDisplay(display);
        return std::nullopt;
    }
    const std::string name = XDisplayName(nullptr);
    if (name.empty()) {
        return "Failed to open a display: DISPLAY is not set.";
    }
    return "Failed to open the display \"" + name + "\".";
}

}  // namespace quellwave::platform
