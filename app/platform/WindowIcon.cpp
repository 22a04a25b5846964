#include "app/platform/WindowIcon.hpp"

#include <array>

namespace quellwave::platform {
namespace {

constexpr unsigned kSize = 32;

struct Rgba {
    std::uint8_t r, g, b, a;
};

// Distances are measured in half pixels from the icon's centre, squared, so that everything
// stays in integers: a disc of radius r pixels holds the points with d2 <= (2r)^2.
constexpr int halfPixelDistanceSquared(unsigned x, unsigned y) {
    const int dx = 2 * static_cast<int>(x) + 1 - static_cast<int>(kSize);
    const int dy = 2 * static_cast<int>(y) + 1 - static_cast<int>(kSize);
    return dx * dx + dy * dy;
}

constexpr bool onRing(int d2, int radius) {
    const int inner = 2 * radius - 1;
    const int outer = 2 * radius + 1;
    return d2 >= inner * inner && d2 <= outer * outer;
}

// A night-blue disc with the background's gradient, three cyan sound rings and a white core.
constexpr Rgba pixelAt(unsigned x, unsigned y) {
    const int d2 = halfPixelDistanceSquared(x, y);
    if (d2 > 31 * 31) {
        return {0, 0, 0, 0};
    }
    if (d2 <= 5 * 5) {
        return {255, 255, 255, 255};
    }
    if (onRing(d2, 6) || onRing(d2, 10) || onRing(d2, 14)) {
        return {0, 212, 255, 255};
    }
    const unsigned share = y * 255 / (kSize - 1);
    return {static_cast<std::uint8_t>(10 + (26 - 10) * share / 255),
            static_cast<std::uint8_t>(15 + (42 - 15) * share / 255),
            static_cast<std::uint8_t>(43 + (91 - 43) * share / 255), 255};
}

constexpr std::array<std::uint8_t, kSize * kSize * 4> makePixels() {
    std::array<std::uint8_t, kSize * kSize * 4> pixels{};
    for (unsigned y = 0; y < kSize; ++y) {
        for (unsigned x = 0; x < kSize; ++x) {
            const Rgba colour = pixelAt(x, y);
            const unsigned at = (y * kSize + x) * 4;
            pixels[at] = colour.r;
            pixels[at + 1] = colour.g;
            pixels[at + 2] = colour.b;
            pixels[at + 3] = colour.a;
        }
    }
    return pixels;
}

constexpr auto kPixels = makePixels();

}  // namespace

WindowIcon windowIcon() { return {kSize, kSize, kPixels.data()}; }

}  // namespace quellwave::platform
