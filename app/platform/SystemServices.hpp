#pragma once

#include <filesystem>
#include <string>

namespace quellwave::platform {

// Folders, environment and console of the running process.
class SystemServices {
public:
    virtual ~SystemServices() = default;

    // Full path of the running program file.
    virtual std::filesystem::path executablePath() = 0;

    // The per-user folder that programs keep their settings in (never empty).
    virtual std::filesystem::path userSettingsFolder() = 0;

    // Sets a variable of this process's environment; false when that failed.
    virtual bool setEnvironment(const std::string& name, const std::string& value) = 0;

    // When standard input is a terminal, waits until one character arrives there (or input
    // ends); otherwise (a pipe, a file, nothing) returns at once.
    virtual void waitForCharacter() = 0;
};

}  // namespace quellwave::platform
