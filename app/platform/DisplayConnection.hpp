#pragma once

#include <optional>
#include <string>

namespace quellwave::platform {

// Tries the X display that DISPLAY names. Returns nothing when it opens, else one line that
// says which display could not be opened.
std::optional<std::string> displayProblem();

}  // namespace quellwave::platform
