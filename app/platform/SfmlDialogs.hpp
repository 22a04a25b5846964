#pragma once

#include "app/platform/Dialogs.hpp"

#include <filesystem>
#include <vector>

namespace quellwave::platform {

// Message boxes as small modal windows of their own. Every text also goes to standard error;
// without a display, or without a usable font, standard error alone carries it and the answer
// is Yes (warnings) or OK (errors).
class SfmlDialogs : public Dialogs {
public:
    // Fonts tried in order; the program's own fonts folder is not among them.
    explicit SfmlDialogs(std::vector<std::filesystem::path> fontCandidates = systemFonts());

    DialogAnswer show(const DialogRequest& request) override;

    static std::vector<std::filesystem::path> systemFonts();

private:
    std::vector<std::filesystem::path> fontCandidates_;
};

}  // namespace quellwave::platform
