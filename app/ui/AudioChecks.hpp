#pragma once

#include "app/platform/AudioEndpoints.hpp"

#include <string_view>

namespace quellwave::ui {

// The texts printed when an endpoint query fails at `step`.
std::string_view endpointFailureMessage(platform::EndpointStep step);

// True when the default output runs with its effects switched on, or when its switch cannot be
// read. False, after a message on standard error, when the output cannot be reached.
bool audioEnhancementsEnabled();

// True when the default output mixes one channel. False, after a message on standard error,
// when the output cannot be reached.
bool isMonoOutput();

// True when the user's accessibility setting asks for mono output.
bool monoAccessibilityEnabled();

// True when some active output is headphones, a headset or of unknown form factor.
bool headphonesPresent();

// The checks of the listener's output that the main loop runs once after its first frame:
// enhancements, mono, headphones. Each problem asks whether to go on; returns false as soon as
// the user answers No (the remaining checks are then skipped).
bool runAudioChecks();

}  // namespace quellwave::ui
