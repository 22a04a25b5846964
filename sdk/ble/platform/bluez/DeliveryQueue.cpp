#include "sdk/ble/platform/bluez/DeliveryQueue.hpp"

namespace VexaDevice::BLE::Platform::Bluez {

DeliveryQueue::DeliveryQueue() : thread_([state = state_] { run(state); }) {}

DeliveryQueue::~DeliveryQueue() {
    {
        std::lock_guard lock(state_->mutex);
        state_->stopping = true;
    }
    state_->wake.notify_all();
    if (onOwnThread()) {
        thread_.detach();
    } else {
        thread_.join();
    }
}

void DeliveryQueue::post(std::function<void()> task) {
    {
        std::lock_guard lock(state_->mutex);
        state_->tasks.push_back(std::move(task));
    }
    state_->wake.notify_one();
}

void DeliveryQueue::run(const std::shared_ptr<State>& state) {
    std::unique_lock lock(state->mutex);
    for (;;) {
        state->wake.wait(lock, [&] { return state->stopping || !state->tasks.empty(); });
        if (state->tasks.empty()) return;
        auto task = std::move(state->tasks.front());
        state->tasks.pop_front();
        lock.unlock();
        try {
            task();
        } catch (...) {
            // A failing handler does not stop the deliveries after it.
        }
        task = nullptr;
        lock.lock();
    }
}

}  // namespace VexaDevice::BLE::Platform::Bluez
