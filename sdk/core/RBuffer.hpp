#pragma once

#include <algorithm>
#include <cstddef>
#include <mutex>
#include <shared_mutex>
#include <stdexcept>
#include <vector>

namespace VexaDevice::Utility {

// A fixed-capacity ring addressed by absolute position: the k-th element written
// since creation (or the last clear) has position k. The ring keeps the newest
// elements up to its capacity and no reader position; every reader keeps its own.
template <typename T>
class IRBuffer {
public:
    virtual size_t capacity() const = 0;
    virtual size_t size() const = 0;
    virtual size_t totalWritten() const = 0;
    virtual void clear() = 0;
    virtual void write(const T* data, const size_t& count) = 0;
    virtual void push(const T& element) = 0;
    // Copies up to maxCount elements starting at an absolute position into out and
    // returns how many were copied: 0 when nothing is new at that position or when
    // the elements there were already overwritten.
    virtual size_t read(T* out, const size_t& position, const size_t& maxCount) const = 0;
    virtual ~IRBuffer() = default;
};

// Capacity for rings and queues, checked once: a negative size is a caller's bug.
inline size_t checkedCapacity(long long capacity) {
    if (capacity < 0) {
        throw std::invalid_argument("Ring capacity must not be negative");
    }
    return static_cast<size_t>(capacity);
}

template <typename T>
class RBuffer final : public IRBuffer<T> {
public:
    explicit RBuffer(const int& capacity)
        : capacity_(checkedCapacity(capacity)), modulus_(std::max<size_t>(capacity_, 1)), slots_(capacity_) {}

    size_t capacity() const override { return capacity_; }

    size_t size() const override {
        std::shared_lock lock(mutex_);
        return retained_;
    }

    size_t totalWritten() const override {
        std::shared_lock lock(mutex_);
        return total_;
    }

    void clear() override {
        std::unique_lock lock(mutex_);
        retained_ = 0;
        total_ = 0;
        writeIndex_ = 0;
    }

    // Only the last `capacity` elements of a longer write are stored; the skipped
    // ones still count as written, so positions stay absolute.
    void write(const T* data, const size_t& count) override {
        if (count == 0) {
            return;
        }
        if (data == nullptr) {
            throw std::invalid_argument("Ring write from a null buffer");
        }
        std::unique_lock lock(mutex_);
        const size_t stored = std::min(count, capacity_);
        const size_t start = (writeIndex_ + (count - stored) % modulus_) % modulus_;
        const T* first = data + (count - stored);
        const size_t untilEnd = std::min(stored, capacity_ - start);
        std::copy(first, first + untilEnd, slots_.begin() + static_cast<ptrdiff_t>(start));
        std::copy(first + untilEnd, first + stored, slots_.begin());
        writeIndex_ = (start + stored) % modulus_;
        total_ += count;
        retained_ = std::min(retained_ + std::min(count, capacity_), capacity_);
    }

    void push(const T& element) override {
        std::unique_lock lock(mutex_);
        if (capacity_ == 0) {
            ++total_;
            return;
        }
        slots_[writeIndex_] = element;
        writeIndex_ = (writeIndex_ + 1) % modulus_;
        ++total_;
        if (retained_ < capacity_) {
            ++retained_;
        }
    }

    size_t read(T* out, const size_t& position, const size_t& maxCount) const override {
        std::shared_lock lock(mutex_);
        if (position >= total_ || position < total_ - retained_) {
            return 0;
        }
        const size_t count = std::min(total_ - position, std::min(retained_, maxCount));
        if (count == 0) {
            return 0;
        }
        if (out == nullptr) {
            throw std::invalid_argument("Ring read into a null buffer");
        }
        const size_t start = position % modulus_;
        const size_t untilEnd = std::min(count, capacity_ - start);
        const auto from = slots_.begin() + static_cast<ptrdiff_t>(start);
        std::copy(from, from + static_cast<ptrdiff_t>(untilEnd), out);
        std::copy(slots_.begin(), slots_.begin() + static_cast<ptrdiff_t>(count - untilEnd), out + untilEnd);
        return count;
    }

private:
    const size_t capacity_;
    const size_t modulus_;
    size_t retained_ = 0;
    size_t total_ = 0;
    size_t writeIndex_ = 0;
    std::vector<T> slots_;
    mutable std::shared_mutex mutex_;
};

}  // namespace VexaDevice::Utility
