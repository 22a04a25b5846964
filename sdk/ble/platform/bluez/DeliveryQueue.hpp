#pragma once
// A thread that runs handed-over tasks in order: handlers of the library run here, never on
// the D-Bus loop, so a handler that blocks delays only its own device's deliveries.

#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>

namespace VexaDevice::BLE::Platform::Bluez {

class DeliveryQueue {
public:
    DeliveryQueue();
    // Runs what is queued, then stops. Released from one of its own tasks, the thread finishes
    // on its own instead.
    ~DeliveryQueue();
    DeliveryQueue(const DeliveryQueue&) = delete;
    DeliveryQueue& operator=(const DeliveryQueue&) = delete;

    void post(std::function<void()> task);
    bool onOwnThread() const { return std::this_thread::get_id() == thread_.get_id(); }

private:
    struct State {
        std::mutex mutex;
        std::condition_variable wake;
        std::deque<std::function<void()>> tasks;
        bool stopping = false;
    };
    static void run(const std::shared_ptr<State>& state);

    std::shared_ptr<State> state_ = std::make_shared<State>();
    std::thread thread_;
};

}  // namespace VexaDevice::BLE::Platform::Bluez
