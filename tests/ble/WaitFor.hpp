#pragma once
// Waiting on a condition with a generous deadline, instead of sleeping a fixed time.

#include <chrono>
#include <thread>

namespace BleTest {

template <class Predicate>
bool waitFor(Predicate predicate, std::chrono::milliseconds deadline = std::chrono::milliseconds(10000)) {
    const auto end = std::chrono::steady_clock::now() + deadline;
    while (!predicate()) {
        if (std::chrono::steady_clock::now() > end) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}

}  // namespace BleTest
