#pragma once

#include <chrono>
#include <condition_variable>
#include <mutex>

namespace VexaDevice::Utility {

// Wake-up object of a protocol worker: the worker takes the lock, waits until it
// is notified or the time-out passes, and finds the lock held again. A wake-up sent
// while nobody waits (the worker is busy with its last pass) is kept, and the next
// wait returns at once; several such wake-ups count as one. A return says nothing
// more about what happened meanwhile; the worker looks for itself. A notification
// signals the condition only when somebody waits and no wake-up is pending yet: a
// busy worker costs its notifiers no system call.
class CvWait {
public:
    using Lock = std::unique_lock<std::mutex>;

    // Takes the waiter's lock exclusively.
    Lock lock();

    // `held` must own this object's lock; it is released while waiting. Time-outs
    // below zero wait not at all, above one day are cut to one day.
    void wait(Lock& held, std::chrono::milliseconds timeout);

    // Wakes one waiter, or the next wait when nobody waits now.
    void notify();

private:
    std::condition_variable condition_;
    std::mutex mutex_;
    bool pending_ = false;  // guarded by mutex_
    int waiting_ = 0;       // threads inside wait; guarded by mutex_
};

}  // namespace VexaDevice::Utility
