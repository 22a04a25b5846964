#pragma once

#include <string>

namespace quellwave::ui {

// An error message box: caption "Error", error glyph, OK button.
void showError(const std::string& text);

// A warning message box: caption "Warning", warning glyph, Yes and No buttons. Returns false
// when the user answers No or closes the box without an answer.
bool askToContinue(const std::string& text);

}  // namespace quellwave::ui
