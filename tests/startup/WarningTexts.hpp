#pragma once

#include <string>

namespace quellwave::ui::warning_texts {

// The audio-device warnings exactly as the listener reads them.
inline const std::string kEnhancements =
    "Audio enhancements are enabled. Please disable them in your sound settings.\n\nContinue anyway?";
inline const std::string kMono =
    "The system's audio output is mono. Please configure it to Stereo in your sound settings.\n\n"
    "Continue anyway?";
inline const std::string kHeadphones =
    "Headphones were not detected. For a successful experience, make sure headphones are plugged "
    "in.\n\nContinue anyway?";

}  // namespace quellwave::ui::warning_texts
