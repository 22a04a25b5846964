#include "app/platform/Platform.hpp"

#include <atomic>

namespace quellwave::platform {
namespace {

std::atomic<Platform*> installed{nullptr};

}  // namespace

Platform& currentPlatform() {
    Platform* platform = installed.load();
    return platform != nullptr ? *platform : nativePlatform();
}

ScopedPlatform::ScopedPlatform(Platform& platform) : previous_(installed.exchange(&platform)) {}

ScopedPlatform::~ScopedPlatform() { installed.store(previous_); }

}  // namespace quellwave::platform
