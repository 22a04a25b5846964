#pragma once
// A recorder of what an event bus publishes, for the test thread to look at. The subscriber
// owns what it records, so a publication still under way when the recorder goes is harmless.

#include <functional>
#include <memory>
#include <mutex>
#include <vector>

#include "tests/support/WaitFor.hpp"

namespace DevicesTest {

// Everything one bus publishes; for buses of record batches, the records one after another.
template <class Payload>
class Recorder {
public:
    template <class Bus>
    explicit Recorder(const std::weak_ptr<Bus>& bus) {
        bus.lock()->subscribe(subscriber_);
    }

    std::vector<Payload> events() {
        std::lock_guard lock(state_->mutex);
        return state_->events;
    }

    auto records() {
        std::vector<typename Payload::value_type> all;
        for (const Payload& batch : events()) all.insert(all.end(), batch.begin(), batch.end());
        return all;
    }

    size_t count() {
        std::lock_guard lock(state_->mutex);
        return state_->events.size();
    }

    void clear() {
        std::lock_guard lock(state_->mutex);
        state_->events.clear();
    }

    // Waits until the records (or events) number at least `n`.
    bool atLeast(size_t n) {
        return TestSupport::waitFor([&] {
            if constexpr (requires { typename Payload::value_type; })
                return records().size() >= n;
            else
                return count() >= n;
        });
    }

private:
    struct State {
        std::mutex mutex;
        std::vector<Payload> events;
    };
    std::shared_ptr<State> state_ = std::make_shared<State>();
    std::shared_ptr<std::function<void(const Payload&)>> subscriber_ =
        std::make_shared<std::function<void(const Payload&)>>([state = state_](const Payload& value) {
            std::lock_guard lock(state->mutex);
            state->events.push_back(value);
        });
};

}  // namespace DevicesTest
