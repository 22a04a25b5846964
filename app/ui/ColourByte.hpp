#pragma once

#include <SFML/Graphics/Color.hpp>

#include <cmath>

namespace quellwave::ui {

// One colour channel from a computed value: its integer part taken modulo 256. Values below
// zero give 0 instead of wrapping round to a bright colour.
inline sf::Uint8 colourByte(double value) {
    if (!(value > 0.0) || !std::isfinite(value)) {
        return 0;
    }
    return static_cast<sf::Uint8>(std::fmod(std::trunc(value), 256.0));
}

// One colour channel that must stay in 0..255: the integer part, clamped.
inline sf::Uint8 clampedChannel(double value) {
    if (!(value > 0.0)) {
        return 0;
    }
    return value >= 255.0 ? 255 : static_cast<sf::Uint8>(value);
}

}  // namespace quellwave::ui
