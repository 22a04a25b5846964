#pragma once
// A batch of a count fixed at its making, held in place up to Inline elements and on the heap
// only past that: a short-lived batch (the records of one host call, the packs of one
// notification) then costs no allocation.

#include <algorithm>
#include <array>
#include <cstddef>
#include <span>
#include <vector>

namespace VexaDevice::Utility {

template <typename T, size_t Inline>
class InlineBatch {
public:
    // `count` value-initialised elements.
    explicit InlineBatch(size_t count) : count_(count) {
        if (count_ > Inline) {
            heap_.resize(count_);
        } else {
            std::fill_n(inline_.begin(), count_, T{});
        }
    }

    T* data() { return count_ > Inline ? heap_.data() : inline_.data(); }
    const T* data() const { return count_ > Inline ? heap_.data() : inline_.data(); }
    size_t size() const { return count_; }
    bool empty() const { return count_ == 0; }

    T& operator[](size_t index) { return data()[index]; }
    const T& operator[](size_t index) const { return data()[index]; }
    T& back() { return data()[count_ - 1]; }
    const T& back() const { return data()[count_ - 1]; }

    T* begin() { return data(); }
    T* end() { return data() + count_; }
    const T* begin() const { return data(); }
    const T* end() const { return data() + count_; }

    std::span<const T> view() const { return {data(), count_}; }

private:
    size_t count_;
    std::array<T, Inline> inline_;
    std::vector<T> heap_;
};

}  // namespace VexaDevice::Utility
