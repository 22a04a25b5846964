#pragma once

#include <cstdint>

namespace quellwave::platform {

// The program's window icon: 32 x 32 pixels, 8-bit red, green, blue, alpha, rows top down.
struct WindowIcon {
    unsigned width;
    unsigned height;
    const std::uint8_t* pixels;
};

WindowIcon windowIcon();

}  // namespace quellwave::platform
