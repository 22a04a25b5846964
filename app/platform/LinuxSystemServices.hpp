#pragma once

#include "app/platform/SystemServices.hpp"

namespace quellwave::platform {

class LinuxSystemServices : public SystemServices {
public:
    // From /proc/self/exe; empty when that cannot be read.
    std::filesystem::path executablePath() override;
    // $XDG_CONFIG_HOME, else $HOME/.config; empty when neither names an absolute folder.
    std::filesystem::path userSettingsFolder() override;
    bool setEnvironment(const std::string& name, const std::string& value) override;
    void waitForCharacter() override;
};

}  // namespace quellwave::platform
