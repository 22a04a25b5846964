#pragma once

namespace quellwave::platform {

// Whether the sound library has an output device open. It opens one when its first sound object
// is built and closes it when the last one is released; an open that fails (no sound server
// answers) leaves none, and every sound object built meanwhile plays into nothing.
bool audioOutputOpen();

// Whether the sound library's output device still plays: false once it has reported itself
// disconnected (the sound server behind it went away). True while no output device is open.
bool audioOutputConnected();

}  // namespace quellwave::platform
