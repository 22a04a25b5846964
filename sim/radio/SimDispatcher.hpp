#pragma once
// One delivery thread of the simulated radio: runs posted tasks in order, each no earlier
// than its due time.

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>

namespace VexaSim {

class SimDispatcher {
public:
    using Clock = std::chrono::steady_clock;

    SimDispatcher();
    ~SimDispatcher();
    SimDispatcher(const SimDispatcher&) = delete;
    SimDispatcher& operator=(const SimDispatcher&) = delete;

    // Queues a task. A delay holds back this task and every task posted after it: the
    // simulated link stays ordered.
    void post(std::function<void()> task, std::chrono::milliseconds delay = std::chrono::milliseconds(0));

    // Blocks until every task posted so far has run. Must not be called from this
    // dispatcher's own thread (throws std::logic_error).
    void drain();

    // Holds delivery (tasks queue up) until resume().
    void pause();
    void resume();

    bool onOwnThread() const { return std::this_thread::get_id() == thread_.get_id(); }
    uint64_t postedCount() const;

private:
    struct Task {
        Clock::time_point due;
        std::function<void()> run;
    };
    // Shared with the thread, so that a dispatcher released by one of its own tasks can let
    // its thread finish on its own.
    struct State {
        std::mutex mutex;
        std::condition_variable wake;
        std::condition_variable idle;
        std::deque<Task> queue;
        Clock::time_point lastDue{};
        uint64_t posted = 0;
        bool running = false;  // a task is executing
        bool paused = false;
        bool stopping = false;
    };

    static void loop(const std::shared_ptr<State>& state);

    std::shared_ptr<State> state_;
    std::thread thread_;
};

}  // namespace VexaSim
