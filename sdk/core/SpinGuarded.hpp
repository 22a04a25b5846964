#pragma once
// A value guarded by a spin lock: readers and writers copy it whole, and the lock is held only
// for the copy. Suits small records that a command thread changes now and then while a
// notification thread takes a snapshot of them for every notification.

#include <algorithm>
#include <atomic>
#include <mutex>
#include <thread>

namespace VexaDevice::Utility {

class SpinLock {
public:
    void lock() noexcept {
        while (locked_.exchange(true, std::memory_order_acquire)) {
            // Wait with reads only, backing off a little longer after each busy look.
            for (int pause = 1; locked_.load(std::memory_order_relaxed); pause = std::min(pause * 2, MaxPause)) {
                for (int i = 0; i < pause; ++i) std::this_thread::yield();
            }
        }
    }

    void unlock() noexcept { locked_.store(false, std::memory_order_release); }

private:
    static constexpr int MaxPause = 64;
    std::atomic<bool> locked_{false};
};

template <class T>
class SpinGuarded {
public:
    explicit SpinGuarded(T value = {}) : value_(std::move(value)) {}

    T get() const {
        std::lock_guard guard(lock_);
        return value_;
    }

    void set(const T& value) {
        std::lock_guard guard(lock_);
        value_ = value;
    }

private:
    mutable SpinLock lock_;
    T value_;
};

}  // namespace VexaDevice::Utility
