#pragma once
// Waits for a condition with a generous deadline instead of sleeping a fixed time.

#include <chrono>
#include <thread>

namespace DevicesTest {

template <class Condition>
bool eventually(Condition condition, std::chrono::milliseconds deadline = std::chrono::seconds(20))
{
    const auto end = std::chrono::steady_clock::now() + deadline;
    while (!condition()) {
        if (std::chrono::steady_clock::now() > end)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}

}  // namespace DevicesTest
