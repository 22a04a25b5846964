#include "sdk/ble/PeriodicTimer.hpp"

namespace VexaDevice::BLE {

PeriodicTimer::PeriodicTimer(std::function<void()> callback, std::chrono::nanoseconds period)
    : thread_([state = state_, callback = std::move(callback), period] { loop(state, callback, period); }) {}

PeriodicTimer::~PeriodicTimer() { stop(); }

void PeriodicTimer::stop() {
    {
        std::lock_guard lock(state_->mutex);
        state_->running = false;
        state_->wake.notify_all();
    }
    if (!thread_.joinable()) return;
    if (thread_.get_id() == std::this_thread::get_id()) {
        thread_.detach();
    } else {
        thread_.join();
    }
}

void PeriodicTimer::loop(const std::shared_ptr<State>& state, const std::function<void()>& callback,
                         std::chrono::nanoseconds period) {
    using Clock = std::chrono::steady_clock;
    for (;;) {
        {
            std::lock_guard lock(state->mutex);
            if (!state->running) return;
        }
        const auto started = Clock::now();
        try {
            if (callback) callback();
        } catch (...) {
            // A failing tick does not end the timer.
        }
        const auto elapsed = Clock::now() - started;
        if (elapsed >= period) continue;
        std::unique_lock lock(state->mutex);
        state->wake.wait_for(lock, period - elapsed, [&] { return !state->running; });
    }
}

}  // namespace VexaDevice::BLE
