#pragma once

#include "app/platform/Dialogs.hpp"

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quellwave::platform {

// Breaks `text` into lines no wider than `maxWidth` (as `measure` reports widths) at spaces;
// line feeds always break, and empty lines are kept. A word wider than the limit gets a line
// of its own.
std::vector<std::string> wrapText(const std::string& text, float maxWidth,
                                  const std::function<float(std::string_view)>& measure);

// A key that answers the dialog: Enter gives Yes (warnings) or OK (errors); Escape gives No
// (warnings) or OK (errors).
enum class DialogKey { Enter, Escape };
DialogAnswer answerForKey(DialogKind kind, DialogKey key);

// The answer when the dialog is closed without a button: never No.
DialogAnswer answerWhenDismissed(DialogKind kind);

struct DialogButton {
    std::string label;
    DialogAnswer answer;
};

// The buttons of a dialog, left to right; the first is the default.
std::vector<DialogButton> buttonsFor(DialogKind kind);

// The line written to standard error for every dialog.
std::string consoleLine(const DialogRequest& request);

}  // namespace quellwave::platform
