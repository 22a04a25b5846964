#include "tests/e2e/quellwave/Picture.hpp"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <fstream>
#include <string>

namespace quellwave::e2e {

std::optional<Picture> Picture::readPpm(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    std::string magic;
    int maxValue = 0;
    Picture picture;
    in >> magic >> picture.width >> picture.height >> maxValue;
    if (!in || magic != "P6" || maxValue != 255 || picture.width <= 0 || picture.height <= 0) {
        return std::nullopt;
    }
    in.get();  // the single white space before the pixels
    picture.rgb.resize(static_cast<std::size_t>(picture.width) * picture.height * 3);
    in.read(reinterpret_cast<char*>(picture.rgb.data()), static_cast<std::streamsize>(picture.rgb.size()));
    if (in.gcount() != static_cast<std::streamsize>(picture.rgb.size())) {
        return std::nullopt;
    }
    return picture;
}

double Picture::brightnessSpread() const {
    const std::size_t pixels = rgb.size() / 3;
    if (pixels == 0) return 0.0;
    double sum = 0.0;
    double squares = 0.0;
    for (std::size_t i = 0; i < pixels; ++i) {
        const double brightness = (rgb[3 * i] + rgb[3 * i + 1] + rgb[3 * i + 2]) / 3.0;
        sum += brightness;
        squares += brightness * brightness;
    }
    const double mean = sum / pixels;
    return std::sqrt(std::max(0.0, squares / pixels - mean * mean));
}

double Picture::meanBrightness(int left, int top, int areaWidth, int areaHeight) const {
    double sum = 0.0;
    int count = 0;
    for (int y = std::max(0, top); y < std::min(height, top + areaHeight); ++y) {
        for (int x = std::max(0, left); x < std::min(width, left + areaWidth); ++x) {
            const std::size_t i = (static_cast<std::size_t>(y) * width + x) * 3;
            sum += (rgb[i] + rgb[i + 1] + rgb[i + 2]) / 3.0;
            ++count;
        }
    }
    return count > 0 ? sum / count : 0.0;
}

double Picture::differenceFrom(const Picture& other) const {
    if (width != other.width || height != other.height || rgb.empty()) return 1.0;
    const std::size_t pixels = rgb.size() / 3;
    std::size_t differing = 0;
    for (std::size_t i = 0; i < pixels; ++i) {
        int distance = 0;
        for (int c = 0; c < 3; ++c) distance += std::abs(rgb[3 * i + c] - other.rgb[3 * i + c]);
        if (distance > 60) ++differing;
    }
    return static_cast<double>(differing) / pixels;
}

}  // namespace quellwave::e2e
