#pragma once

#include <string>

namespace quellwave::ui {

// An error message box: caption "Error", error glyph, OK button.
void showError(const std::string& text);

// A warning message box: caption "Warning", warning glyph, Yes and No buttons. Returns false
// only when the user answers No.
bool askToContinue(const std::string& text);

}  // namespace quellwave::ui
