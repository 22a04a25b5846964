#include "app/engine/BeepRepeater.hpp"

namespace quellwave {

BeepRepeater::BeepRepeater(std::function<void()> playFromStart, BeepTiming timing)
    : playFromStart_(std::move(playFromStart)), timing_(timing) {}

BeepRepeater::~BeepRepeater() { stop(); }

void BeepRepeater::start() {
    if (thread_.joinable()) return;
    repeating_.exchange(true);
    thread_ = std::thread([this] { loop(); });
}

void BeepRepeater::stop() {
    {
        // Under the lock, so the loop cannot miss the wake-up between its check and its wait.
        std::lock_guard lock(wakeMutex_);
        repeating_.exchange(false);
    }
    wake_.notify_all();
    if (thread_.joinable()) thread_.join();
}

void BeepRepeater::loop() {
    std::unique_lock lock(wakeMutex_);
    while (repeating_.load()) {
        const auto next = std::chrono::steady_clock::now() + timing_.period;
        lock.unlock();
        playFromStart_();
        lock.lock();
        wake_.wait_until(lock, next, [this] { return !repeating_.load(); });
    }
}

}  // namespace quellwave
