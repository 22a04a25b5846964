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

// The answer when the dialog's window is closed without a button: No (warnings) or OK (errors).
// A question nobody answered is not taken as a Yes.
DialogAnswer answerWhenClosed(DialogKind kind);

// The answer when no dialog could be shown (no display, no font) and standard error alone
// carries the text: Yes (warnings) or OK (errors).
DialogAnswer answerWhenNotShown(DialogKind kind);

struct DialogButton {
    std::string label;
    DialogAnswer answer;
};

// The buttons of a dialog, left to right; the first is the default.
std::vector<DialogButton> buttonsFor(DialogKind kind);

// The line written to standard error for every dialog.
std::string consoleLine(const DialogRequest& request);

}  // namespace quellwave::platform
