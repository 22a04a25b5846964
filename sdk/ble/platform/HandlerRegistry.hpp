#pragma once
// Handler list for platform backends: registrations whose release waits for calls in flight.

#include <algorithm>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "sdk/ble/platform/Registration.hpp"

namespace VexaDevice::BLE::Platform {

// A backend keeps one registry per event and calls invoke() from its callback threads.
// Create it with std::make_shared: registrations refer to it weakly and outlive it safely.
template <class... Args>
class HandlerRegistry : public std::enable_shared_from_this<HandlerRegistry<Args...>> {
public:
    using Handler = std::function<void(Args...)>;

    Registration add(Handler handler) {
        uint64_t id = 0;
        {
            std::lock_guard lock(mutex_);
            id = nextId_++;
            entries_.emplace(id, std::make_shared<Entry>(Entry{std::move(handler), {}}));
        }
        std::weak_ptr<HandlerRegistry> weak = this->shared_from_this();
        return Registration([weak, id] {
            if (auto registry = weak.lock()) registry->remove(id);
        });
    }

    // Calls every registered handler in registration order on the calling thread.
    void invoke(Args... args) {
        std::vector<std::pair<uint64_t, std::shared_ptr<Entry>>> snapshot;
        {
            std::lock_guard lock(mutex_);
            snapshot.assign(entries_.begin(), entries_.end());
        }
        const auto self = std::this_thread::get_id();
        for (auto& [id, entry] : snapshot) {
            {
                std::lock_guard lock(mutex_);
                if (!entries_.contains(id)) continue;
                entry->callers.push_back(self);
            }
            try {
                entry->handler(args...);
            } catch (...) {
                leave(*entry, self);
                throw;
            }
            leave(*entry, self);
        }
    }

    bool empty() const { return size() == 0; }

    size_t size() const {
        std::lock_guard lock(mutex_);
        return entries_.size();
    }

private:
    struct Entry {
        Handler handler;
        std::vector<std::thread::id> callers;  // threads currently inside the handler
    };

    void leave(Entry& entry, std::thread::id self) {
        std::lock_guard lock(mutex_);
        entry.callers.erase(std::find(entry.callers.begin(), entry.callers.end(), self));
        idle_.notify_all();
    }

    void remove(uint64_t id) {
        std::shared_ptr<Entry> entry;
        std::unique_lock lock(mutex_);
        auto found = entries_.find(id);
        if (found == entries_.end()) return;
        entry = found->second;
        entries_.erase(found);
        const auto self = std::this_thread::get_id();
        idle_.wait(lock, [&] {
            return std::all_of(entry->callers.begin(), entry->callers.end(),
                               [&](std::thread::id caller) { return caller == self; });
        });
        // The handler (and what it captured) is destroyed outside the lock, by the last owner.
        lock.unlock();
    }

    mutable std::mutex mutex_;
    std::condition_variable idle_;
    std::map<uint64_t, std::shared_ptr<Entry>> entries_;
    uint64_t nextId_ = 1;
};

}  // namespace VexaDevice::BLE::Platform
