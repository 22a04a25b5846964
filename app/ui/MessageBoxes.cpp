#include "app/ui/MessageBoxes.hpp"

#include "app/platform/Platform.hpp"

namespace quellwave::ui {

using platform::DialogAnswer;
using platform::DialogKind;

void showError(const std::string& text) {
    platform::currentPlatform().dialogs.show({DialogKind::Error, "Error", text});
}

bool askToContinue(const std::string& text) {
    return platform::currentPlatform().dialogs.show({DialogKind::Warning, "Warning", text}) != DialogAnswer::No;
}

}  // namespace quellwave::ui
