#pragma once
// The monotonic time source of the BLE layer, replaceable in tests.

#include <chrono>
#include <cstdint>
#include <functional>

namespace VexaDevice::BLE {

// Nanoseconds on a monotonic scale.
using MonotonicClock = std::function<int64_t()>;

inline int64_t steadyNanoseconds() {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

}  // namespace VexaDevice::BLE
