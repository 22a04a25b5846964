#include "app/engine/WideLanes.hpp"

#include <atomic>

namespace quellwave {
namespace {

std::atomic<bool> narrowKept{false};
std::atomic<bool> fourKept{false};

bool machineHasWideLanes() {
    static const bool wide = [] {
        __builtin_cpu_init();
        return __builtin_cpu_supports("avx2") != 0;
    }();
    return wide;
}

bool machineHasWidestLanes() {
    static const bool widest = [] {
        __builtin_cpu_init();
        return __builtin_cpu_supports("avx2") != 0 && __builtin_cpu_supports("avx512f") != 0;
    }();
    return widest;
}

}  // namespace

bool wideLanes() { return machineHasWideLanes() && !narrowKept.load(std::memory_order_relaxed); }

bool widestLanes() { return machineHasWidestLanes() && wideLanes() && !fourKept.load(std::memory_order_relaxed); }

void keepLanesNarrow(bool narrow) { narrowKept.store(narrow, std::memory_order_relaxed); }

void keepLanesAtFour(bool four) { fourKept.store(four, std::memory_order_relaxed); }

}  // namespace quellwave
