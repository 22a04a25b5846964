#pragma once

#include <mutex>

namespace quellwave {

// The one process-wide mutex that guards every parameter of the audio stream. The audio thread
// holds it for each block and each seek, the UI thread for each setter and getter.
std::mutex& globalAudioMutex();

}  // namespace quellwave
