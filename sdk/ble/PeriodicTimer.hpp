#pragma once
// A thread that calls a function once per period until stopped.

#include <chrono>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>

namespace VexaDevice::BLE {

class PeriodicTimer {
public:
    // Starts the thread at once; the first call happens right away. An exception from the
    // callback is swallowed and the timer goes on.
    PeriodicTimer(std::function<void()> callback, std::chrono::nanoseconds period);
    ~PeriodicTimer();
    PeriodicTimer(const PeriodicTimer&) = delete;
    PeriodicTimer& operator=(const PeriodicTimer&) = delete;

    // Ends the thread and waits for it, except when called from the callback itself: then
    // the thread finishes on its own after the callback returns.
    void stop();

private:
    struct State {
        std::mutex mutex;
        std::condition_variable wake;
        bool running = true;
    };

    static void loop(const std::shared_ptr<State>& state, const std::function<void()>& callback,
                     std::chrono::nanoseconds period);

    std::shared_ptr<State> state_ = std::make_shared<State>();
    std::thread thread_;
};

}  // namespace VexaDevice::BLE
