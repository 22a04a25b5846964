#pragma once

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <shared_mutex>

namespace VexaDevice::Utility {

// Wake-up object of a protocol worker: the worker takes the lock, waits until it
// is notified or the time-out passes, and finds the lock held again. A wake-up sent
// while nobody waits (the worker is busy with its last pass) is kept, and the next
// wait returns at once; several such wake-ups count as one. A return says nothing
// more about what happened meanwhile; the worker looks for itself.
class CvWait {
public:
    using Lock = std::unique_lock<std::shared_mutex>;

    // Takes the waiter's lock exclusively.
    Lock lock();

    // `held` must own this object's lock; it is released while waiting. Time-outs
    // below zero wait not at all, above one day are cut to one day.
    void wait(Lock& held, std::chrono::milliseconds timeout);

    // Wakes one waiter, or the next wait when nobody waits now.
    void notify();

private:
    std::condition_variable_any condition_;
    std::shared_mutex mutex_;
    bool pending_ = false;  // guarded by mutex_
};

} // namespace VexaDevice::Utility
