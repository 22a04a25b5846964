#include "tests/e2e/quellwave/WindowPictures.hpp"

#include "tests/platform/TestProcess.hpp"

namespace quellwave::e2e {

std::optional<Picture> pictureOfWindow(const std::string& window, const std::filesystem::path& file) {
    if (testing::runProcess({"import", "-window", window, "-depth", "8", "ppm:" + file.string()}).exitCode != 0) {
        return std::nullopt;
    }
    return Picture::readPpm(file);
}

}  // namespace quellwave::e2e
