#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <functional>
#include <list>
#include <memory>
#include <mutex>
#include <stdexcept>
#include <thread>
#include <tuple>
#include <type_traits>
#include <utility>

#include "sdk/core/RBufferQueue.hpp"

namespace VexaDevice::Utility {

// Pace of a bus's delivery thread: it sleeps until an event is queued and ends once
// it has waited this long with nothing to deliver; the next queued event starts a new one.
struct EventBusTiming {
    std::chrono::milliseconds idleEnd{1000};
};

// Starts a delivery thread; replaceable so that a failing start can be reproduced.
using DeliveryLauncher = std::function<std::thread(std::function<void()>)>;

// Every delivery thread belongs to one process-wide collector from its start. A
// thread that ended on its own (after its idle waits, or after its bus was released
// on it) is joined when the next one is handed over, or when its bus starts another
// or goes; whatever is left is joined when the library unloads, so that no delivery
// runs on while the log is closed or the code is unmapped. `finished` is set by the
// thread as its last step and names it.
void adoptDeliveryThread(std::thread thread, std::shared_ptr<const std::atomic<bool>> finished);

// Joins the thread adopted with `finished`, if still held; never called on that thread.
void joinDeliveryThread(const std::atomic<bool>* finished);

// Publish/subscribe channel for one event type. The bus holds its subscribers only
// weakly: a subscriber leaves by releasing its callback, and its entry is unlinked
// by the next publication. `notify` calls every live subscriber on the publisher's
// thread, in subscription order; `emit` queues the event for the bus's own
// delivery thread. Subscribers see the published values by const reference, so a
// publication copies nothing; a subscriber that keeps a value copies it itself.
template <typename... T>
class EventBus : public std::enable_shared_from_this<EventBus<T...>> {
public:
    using Callback = std::function<void(const std::decay_t<T>&...)>;
    using Subscriber = std::shared_ptr<Callback>;
    using Timing = EventBusTiming;

    // The subscriber list. A publication walks it without holding its lock while a
    // subscriber runs; the subscriber's strong reference, held for its call, keeps
    // the entry it stands on linked (only expired entries are ever unlinked).
    class EventCallbackHolder {
    public:
        void subscribe(const Subscriber& subscriber) {
            std::lock_guard guard(mutex_);
            callbacks_.push_back(subscriber);
        }

        void notify(const std::decay_t<T>&... values) {
            std::unique_lock lock(mutex_);
            Subscriber current;
            for (auto entry = callbacks_.begin();; ++entry) {
                Subscriber next;
                while (entry != callbacks_.end() && !(next = entry->lock())) {
                    entry = callbacks_.erase(entry);
                }
                lock.unlock();
                // Dropping the previous subscriber may run its owner's code: never under the lock.
                current = std::move(next);
                if (!current) {
                    return;
                }
                (*current)(values...);
                lock.lock();
            }
        }

        size_t linkedCount() const {
            std::lock_guard guard(mutex_);
            return callbacks_.size();
        }

    private:
        mutable std::mutex mutex_;
        std::list<std::weak_ptr<Callback>> callbacks_;
    };

    explicit EventBus(const size_t& capacity, Timing timing = {}, DeliveryLauncher launcher = {})
        : delivery_(std::make_shared<Delivery>(capacity)), timing_(timing), launcher_(std::move(launcher)) {
        if (!launcher_) {
            launcher_ = [](std::function<void()> body) { return std::thread(std::move(body)); };
        }
    }

    EventBus(const EventBus&) = delete;
    EventBus& operator=(const EventBus&) = delete;

    // Stops the delivery thread and waits for it, unless the bus is released on
    // that thread itself (by a subscriber); it then ends on its own right after
    // and the collector joins it.
    ~EventBus() {
        {
            std::lock_guard guard(delivery_->wakeMutex);
            delivery_->closing = true;
        }
        delivery_->wake.notify_all();
        std::lock_guard guard(threadMutex_);
        releaseDeliveryThread();
    }

    void subscribe(const Subscriber& subscriber) { holder_.subscribe(subscriber); }

    // Synchronous publication: every live subscriber runs before this returns, each
    // handed the caller's values themselves (the publisher may reuse them afterwards).
    // An exception from a subscriber leaves at once; later subscribers miss this event.
    void notify(const std::decay_t<T>&... values) { holder_.notify(values...); }

    // Queued publication, delivered on the bus's delivery thread. When more events
    // pile up than the queue holds, the oldest are skipped. Needs a bus owned by a
    // shared pointer. Throws std::system_error when the delivery thread cannot be
    // started; the event stays queued and the next emit tries again.
    void emit(T... values) {
        if (this->weak_from_this().expired()) {
            throw std::logic_error("Queued events need an event bus owned by a shared pointer");
        }
        delivery_->queue.put(QueuedEvent(std::move(values)...));
        if (!delivery_->running.exchange(true)) {
            startDeliveryThread();
        }
        // The waiting thread checks the queue under this lock: passing through it orders the
        // event before that check or after the thread has gone to sleep, never in between.
        { std::lock_guard guard(delivery_->wakeMutex); }
        delivery_->wake.notify_one();
    }

    // Number of subscriber entries still linked (live, or expired and not yet unlinked).
    size_t linkedCount() const { return holder_.linkedCount(); }

private:
    using QueuedEvent = std::tuple<std::decay_t<T>...>;

    // What the delivery thread shares with the bus. The thread holds the bus itself
    // only while it calls subscribers, so the bus's owners decide its lifetime.
    struct Delivery {
        explicit Delivery(size_t capacity) : queue(capacity) {}
        RBufferQueue<QueuedEvent> queue;
        std::atomic<bool> running{false};
        std::mutex wakeMutex;
        std::condition_variable wake;
        bool closing = false;  // guarded by wakeMutex
    };

    void startDeliveryThread() {
        std::lock_guard guard(threadMutex_);
        releaseDeliveryThread();
        auto finished = std::make_shared<std::atomic<bool>>(false);
        std::thread thread;
        try {
            thread = launcher_([bus = this->weak_from_this(), delivery = delivery_, timing = timing_, finished] {
                deliver(bus, *delivery, timing);
                *finished = true;
            });
        } catch (...) {
            delivery_->running = false;
            throw;
        }
        threadId_ = thread.get_id();
        threadFinished_ = finished.get();
        adoptDeliveryThread(std::move(thread), std::move(finished));
    }

    // The previous delivery thread has ended or is about to: wait for it, unless this
    // is that thread (the collector joins it once it has returned).
    void releaseDeliveryThread() {
        if (threadId_ == std::thread::id{}) {
            return;
        }
        if (threadId_ != std::this_thread::get_id()) {
            joinDeliveryThread(threadFinished_);
        }
        threadId_ = {};
        threadFinished_ = nullptr;
    }

    static void deliver(const std::weak_ptr<EventBus>& weak, Delivery& delivery, const Timing& timing) {
        while (waitForEvent(delivery, timing)) {
            if (auto event = delivery.queue.take()) {
                const auto bus = weak.lock();
                if (!bus) {
                    return;
                }
                std::apply([&bus](const auto&... values) { bus->holder_.notify(values...); }, *event);
                continue;
            }
            delivery.running = false;
            // An event counted while this thread was giving up: keep delivering
            // unless a new emit has already taken over.
            if (!delivery.queue.pending() || delivery.running.exchange(true)) {
                return;
            }
        }
    }

    // Sleeps until an event is queued, the bus closes or the idle time has passed
    // (nothing to deliver: the caller ends); false once the bus is closing.
    static bool waitForEvent(Delivery& delivery, const Timing& timing) {
        std::unique_lock lock(delivery.wakeMutex);
        delivery.wake.wait_for(lock, timing.idleEnd,
                               [&delivery] { return delivery.closing || delivery.queue.pending(); });
        return !delivery.closing;
    }

    EventCallbackHolder holder_;
    const std::shared_ptr<Delivery> delivery_;
    const Timing timing_;
    DeliveryLauncher launcher_;
    std::mutex threadMutex_;
    // The current delivery thread, guarded by threadMutex_; the thread itself is the collector's.
    std::thread::id threadId_;
    const std::atomic<bool>* threadFinished_ = nullptr;
};

}  // namespace VexaDevice::Utility
