#include "sim/radio/SimDispatcher.hpp"

#include <algorithm>
#include <stdexcept>
#include <utility>

namespace VexaSim {

SimDispatcher::SimDispatcher() : state_(std::make_shared<State>()), thread_([state = state_] { loop(state); }) {}

SimDispatcher::~SimDispatcher() {
    {
        std::lock_guard lock(state_->mutex);
        state_->stopping = true;
        state_->wake.notify_all();
        state_->idle.notify_all();
    }
    if (onOwnThread()) {
        thread_.detach();  // released inside one of our own tasks: the loop ends by itself
    } else {
        thread_.join();
    }
}

void SimDispatcher::post(std::function<void()> task, std::chrono::milliseconds delay) {
    std::lock_guard lock(state_->mutex);
    const auto due = std::max(Clock::now() + delay, state_->lastDue);
    state_->lastDue = due;
    state_->queue.push_back(Task{due, std::move(task)});
    ++state_->posted;
    state_->wake.notify_all();
}

void SimDispatcher::drain() {
    if (onOwnThread()) throw std::logic_error("SimDispatcher::drain called from its own thread");
    std::unique_lock lock(state_->mutex);
    state_->idle.wait(lock, [this] { return (state_->queue.empty() && !state_->running) || state_->stopping; });
}

void SimDispatcher::pause() {
    std::lock_guard lock(state_->mutex);
    state_->paused = true;
}

void SimDispatcher::resume() {
    std::lock_guard lock(state_->mutex);
    state_->paused = false;
    state_->wake.notify_all();
}

uint64_t SimDispatcher::postedCount() const {
    std::lock_guard lock(state_->mutex);
    return state_->posted;
}

void SimDispatcher::loop(const std::shared_ptr<State>& state) {
    std::unique_lock lock(state->mutex);
    while (!state->stopping) {
        if (state->queue.empty() || state->paused) {
            state->wake.wait(lock);
            continue;
        }
        if (Clock::now() < state->queue.front().due) {
            state->wake.wait_until(lock, state->queue.front().due);
            continue;
        }
        Task task = std::move(state->queue.front());
        state->queue.pop_front();
        state->running = true;
        lock.unlock();
        try {
            task.run();
        } catch (...) {
            // A failing handler must not take the simulated stack down with it.
        }
        task.run = nullptr;  // release what the task captured before reporting idle
        lock.lock();
        state->running = false;
        if (state->queue.empty()) state->idle.notify_all();
    }
    state->queue.clear();
    state->idle.notify_all();
}

}  // namespace VexaSim
