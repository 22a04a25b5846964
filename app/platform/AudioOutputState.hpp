#pragma once

namespace quellwave::platform {

// Whether the sound library's output device still plays: false once it has reported itself
// disconnected (the sound server behind it went away). True while no output device is open.
bool audioOutputConnected();

}  // namespace quellwave::platform
