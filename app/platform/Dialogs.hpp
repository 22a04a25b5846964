#pragma once

#include <string>

namespace quellwave::platform {

enum class DialogKind {
    Error,    // error glyph, one OK button
    Warning,  // warning glyph, Yes and No buttons
};

enum class DialogAnswer { Ok, Yes, No };

struct DialogRequest {
    DialogKind kind = DialogKind::Error;
    std::string caption;
    std::string text;
};

// Modal message boxes without an owner window.
class Dialogs {
public:
    virtual ~Dialogs() = default;
    // Blocks until the user answers.
    virtual DialogAnswer show(const DialogRequest& request) = 0;
};

}  // namespace quellwave::platform
