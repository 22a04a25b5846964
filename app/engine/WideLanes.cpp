#include "app/engine/WideLanes.hpp"

#include <atomic>

namespace quellwave {
namespace {

std::atomic<bool> narrowKept{false};

bool machineHasWideLanes() {
    static const bool wide = [] {
        __builtin_cpu_init();
        return __builtin_cpu_supports("avx2") != 0;
    }();
    return wide;
}

}  // namespace

bool wideLanes() { return machineHasWideLanes() && !narrowKept.load(std::memory_order_relaxed); }

void keepLanesNarrow(bool narrow) { narrowKept.store(narrow, std::memory_order_relaxed); }

}  // namespace quellwave
