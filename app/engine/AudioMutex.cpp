#include "app/engine/AudioMutex.hpp"

namespace quellwave {

std::mutex& globalAudioMutex() {
    static std::mutex mutex;
    return mutex;
}

}  // namespace quellwave
