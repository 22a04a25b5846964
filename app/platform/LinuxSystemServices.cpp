#include "app/platform/LinuxSystemServices.hpp"

#include <cstdio>
#include <cstdlib>
#include <system_error>

#include <unistd.h>

namespace quellwave::platform {
namespace {

// An environment variable that names an absolute folder, else empty.
std::filesystem::path absoluteFolderFrom(const char* variable) {
    const char* value = std::getenv(variable);
    if (value == nullptr) {
        return {};
    }
    std::filesystem::path folder(value);
    return folder.is_absolute() ? folder : std::filesystem::path();
}

}  // namespace

std::filesystem::path LinuxSystemServices::executablePath() {
    std::error_code error;
    auto path = std::filesystem::read_symlink("/proc/self/exe", error);
    return error ? std::filesystem::path() : path;
}

std::filesystem::path LinuxSystemServices::userSettingsFolder() {
    if (auto configHome = absoluteFolderFrom("XDG_CONFIG_HOME"); !configHome.empty()) {
        return configHome;
    }
    if (auto home = absoluteFolderFrom("HOME"); !home.empty()) {
        return home / ".config";
    }
    return {};
}

bool LinuxSystemServices::setEnvironment(const std::string& name, const std::string& value) {
    return ::setenv(name.c_str(), value.c_str(), 1) == 0;
}

void LinuxSystemServices::waitForCharacter() {
    if (isatty(STDIN_FILENO) == 1) {
        std::getchar();
    }
}

}  // namespace quellwave::platform
