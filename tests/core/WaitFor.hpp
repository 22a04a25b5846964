#pragma once

#include <chrono>
#include <functional>
#include <thread>

namespace VexaDevice::Testing {

// Polls a condition until it holds or a generous deadline passes; returns whether it held.
inline bool waitFor(const std::function<bool()>& condition,
                    std::chrono::milliseconds deadline = std::chrono::seconds(20)) {
    const auto end = std::chrono::steady_clock::now() + deadline;
    while (!condition()) {
        if (std::chrono::steady_clock::now() > end) {
            return false;
        }
        std::this_thread::yield();
    }
    return true;
}

} // namespace VexaDevice::Testing
