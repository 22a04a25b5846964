#pragma once

#include "tests/e2e/quellwave/Picture.hpp"

#include <filesystem>
#include <optional>
#include <string>

namespace quellwave::e2e {

// A picture of a window on the display that DISPLAY names, taken through a file.
std::optional<Picture> pictureOfWindow(const std::string& window, const std::filesystem::path& file);

}  // namespace quellwave::e2e
