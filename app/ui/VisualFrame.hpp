#pragma once

#include <SFML/System/Vector2.hpp>

#include <cmath>

namespace quellwave::ui {

// What one frame of the session visual is drawn from: the clocks, the listener's volume and
// the frequencies the stream published for its last frame.
struct VisualFrame {
    float t = 0.0f;   // seconds since the session started
    float dt = 0.0f;  // seconds since the previous frame
    double v = 0.0;   // volume in tenths (0..10)
    double beat = 0.0;
    double left = 0.0;
    double right = 0.0;
    double carrier = 0.0;
    double overlay = 0.0;

    double d1() const { return std::abs(left - right) * 1.5; }
    double d2() const { return std::abs(carrier - overlay) * 1.5; }
    double avg() const { return (beat + left + right + carrier + overlay) / 5.0 * (0.5 * v + 1.0); }
};

inline const sf::Vector2f kVisualCentre{400.0f, 300.0f};

}  // namespace quellwave::ui
