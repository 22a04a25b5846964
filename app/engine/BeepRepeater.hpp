#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <thread>

namespace quellwave {

// How often the end-of-session beep repeats.
struct BeepTiming {
    std::chrono::steady_clock::duration period = std::chrono::milliseconds(1100);
};

// Repeats a short sound on its own thread until told to stop: plays it, waits one period from
// the moment of that play, plays again. stop() wakes the wait, so the thread ends at once
// instead of finishing its period.
class BeepRepeater {
public:
    explicit BeepRepeater(std::function<void()> playFromStart, BeepTiming timing = {});
    ~BeepRepeater();

    BeepRepeater(const BeepRepeater&) = delete;
    BeepRepeater& operator=(const BeepRepeater&) = delete;

    // Starts the thread; does nothing while it already runs.
    void start();
    // Ends the repetition and joins the thread; does nothing while it is not running.
    void stop();
    bool running() const { return repeating_.load(); }

private:
    void loop();

    std::function<void()> playFromStart_;
    BeepTiming timing_;
    std::atomic<bool> repeating_{false};
    std::mutex wakeMutex_;
    std::condition_variable wake_;
    std::thread thread_;
};

}  // namespace quellwave
