#pragma once

namespace sf {
class Window;
}

namespace quellwave::platform {

// Asks the window manager for a title bar with a close box alone (no minimise or maximise), where
// it honours the common hints, then centres the window, frame included, on the desktop. Called on
// a window just created; without a display connection of its own it does nothing.
void settleOnDesktop(sf::Window& window);

}  // namespace quellwave::platform
