#pragma once

#include <algorithm>
#include <cstddef>
#include <mutex>
#include <optional>
#include <shared_mutex>
#include <stdexcept>
#include <tuple>
#include <vector>

namespace VexaDevice::Utility {

template <typename Event>
class RBufferQueue;

// The pending-event queue of an event bus: a ring of the newest `capacity` events
// with one read position. A reader that fell more than the capacity behind skips
// to the oldest event still retained.
template <typename... T>
class RBufferQueue<std::tuple<T...>> {
public:
    using Event = std::tuple<T...>;

    explicit RBufferQueue(const size_t& capacity) : capacity_(capacity) {
        if (capacity_ == 0) {
            throw std::invalid_argument("Event queue capacity must be at least 1");
        }
    }

    size_t capacity() const { return capacity_; }

    void put(Event event) {
        std::unique_lock lock(mutex_);
        if (slots_.empty()) {
            slots_.resize(capacity_);  // most buses never queue: their slots are made on first use
        }
        slots_[writeIndex_] = std::move(event);
        writeIndex_ = (writeIndex_ + 1) % capacity_;
        ++total_;
        if (retained_ < capacity_) {
            ++retained_;
        }
    }

    bool pending() const {
        std::shared_lock lock(mutex_);
        return readPosition_ != total_;
    }

    // The next event to deliver, or nothing when the reader has caught up.
    std::optional<Event> take() {
        std::unique_lock lock(mutex_);
        if (readPosition_ == total_) {
            return std::nullopt;
        }
        readPosition_ = std::max(readPosition_, total_ - retained_);
        return std::move(slots_[readPosition_++ % capacity_]);
    }

private:
    const size_t capacity_;
    size_t retained_ = 0;
    size_t total_ = 0;
    size_t writeIndex_ = 0;
    size_t readPosition_ = 0;
    std::vector<Event> slots_;
    mutable std::shared_mutex mutex_;
};

}  // namespace VexaDevice::Utility
