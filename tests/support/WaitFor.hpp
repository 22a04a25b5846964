#pragma once
// Waiting on a condition with a generous deadline, instead of sleeping a fixed time.

#include <chrono>
#include <thread>

namespace TestSupport {

// Polls `condition` until it holds or `deadline` passes; returns whether it held.
template <class Condition>
bool waitFor(Condition condition, std::chrono::milliseconds deadline = std::chrono::seconds(20)) {
    const auto end = std::chrono::steady_clock::now() + deadline;
    while (!condition()) {
        if (std::chrono::steady_clock::now() > end) {
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}

}  // namespace TestSupport
