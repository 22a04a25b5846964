#include "sdk/api/HandleRegistry.hpp"

#include <algorithm>
#include <mutex>

#include "sdk/core/Log.hpp"

namespace VexaDevice::Api {

HandleRegistry& HandleRegistry::instance() {
    static auto* registry = new HandleRegistry;
    return *registry;
}

void HandleRegistry::add(const void* holder, HandleKind kind) {
    std::unique_lock lock(mutex_);
    live_[holder] = kind;
}

bool HandleRegistry::take(const void* holder, std::initializer_list<HandleKind> kinds) {
    std::unique_lock lock(mutex_);
    if (!holds(holder, kinds)) {
        return false;
    }
    live_.erase(holder);
    return true;
}

bool HandleRegistry::holds(const void* holder, std::initializer_list<HandleKind> kinds) const {
    const auto found = live_.find(holder);
    return found != live_.end() && std::find(kinds.begin(), kinds.end(), found->second) != kinds.end();
}

bool takeForRemoval(const void* holder, std::initializer_list<HandleKind> kinds) {
    if (holder == nullptr) {
        return false;
    }
    if (HandleRegistry::instance().take(holder, kinds)) {
        return true;
    }
    Utility::sdkLog().warn("[remove] Ignored a handle that is not a live handle of this removal");
    return false;
}

}  // namespace VexaDevice::Api
