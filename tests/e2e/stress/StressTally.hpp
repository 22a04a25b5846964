#pragma once
// What a fault-stress run counts: faults injected, invariants checked, and every invariant that
// failed (the first few in words).

#include <atomic>
#include <cstdint>
#include <cstdio>
#include <mutex>
#include <string>
#include <vector>

namespace StressTest {

class Tally {
public:
    std::atomic<uint64_t> faults{0};
    std::atomic<uint64_t> commands{0};
    std::atomic<uint64_t> successesChecked{0};
    std::atomic<uint64_t> readsChecked{0};
    std::atomic<uint64_t> recordsChecked{0};
    std::atomic<uint64_t> creations{0};
    std::atomic<uint64_t> freesFromCallbacks{0};
    std::atomic<uint64_t> callbackRemovals{0};

    // Counts an invariant check; on failure keeps what `describe` says of it.
    template <class Describe>
    bool check(bool holds, Describe describe) {
        if (holds) return true;
        std::lock_guard lock(mutex_);
        ++violations_;
        if (described_.size() < 20) described_.push_back(describe());
        return false;
    }

    uint64_t violations() const {
        std::lock_guard lock(mutex_);
        return violations_;
    }
    std::vector<std::string> described() const {
        std::lock_guard lock(mutex_);
        return described_;
    }

    void print(double seconds) const {
        std::printf(
            "fault stress: %.0f s, %llu faults injected, %llu commands, %llu successes checked against "
            "the devices, %llu reads checked, %llu records checked, %llu sensors created, %llu freed from "
            "callbacks, %llu callback removals, %llu invariants broken\n",
            seconds, ull(faults), ull(commands), ull(successesChecked), ull(readsChecked), ull(recordsChecked),
            ull(creations), ull(freesFromCallbacks), ull(callbackRemovals),
            static_cast<unsigned long long>(violations()));
    }

private:
    static unsigned long long ull(const std::atomic<uint64_t>& value) { return value.load(); }

    mutable std::mutex mutex_;
    uint64_t violations_ = 0;
    std::vector<std::string> described_;
};

}  // namespace StressTest
