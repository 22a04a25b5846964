#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <vector>

namespace quellwave::e2e {

// An RGB picture of a window.
struct Picture {
    int width = 0;
    int height = 0;
    std::vector<std::uint8_t> rgb;

    static std::optional<Picture> readPpm(const std::filesystem::path& file);

    // Standard deviation of the brightness: near 0 for a blank picture.
    double brightnessSpread() const;
    // Mean brightness (0..255) of a rectangle of the picture.
    double meanBrightness(int left, int top, int width, int height) const;
    // Share of pixels whose colour differs by more than a small tolerance (0..1); 1 when the
    // sizes differ.
    double differenceFrom(const Picture& other) const;
};

}  // namespace quellwave::e2e
