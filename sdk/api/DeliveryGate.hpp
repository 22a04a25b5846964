#pragma once
// Lets deliveries run on any thread until the owner closes the gate; closing waits for
// the deliveries still running on other threads.

#include <condition_variable>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

namespace VexaDevice::Api {

class DeliveryGate {
public:
    // Holds the gate open for one delivery; empty when the gate was already closed.
    class Pass {
    public:
        Pass() = default;
        explicit Pass(DeliveryGate* gate) : gate_(gate) {}
        Pass(Pass&& other) noexcept : gate_(other.gate_) { other.gate_ = nullptr; }
        Pass(const Pass&) = delete;
        Pass& operator=(const Pass&) = delete;
        Pass& operator=(Pass&&) = delete;
        ~Pass();

        explicit operator bool() const { return gate_ != nullptr; }

    private:
        DeliveryGate* gate_ = nullptr;
    };

    Pass enter();

    // No delivery starts after this returns, and none is still running on another thread.
    // A delivery running on the calling thread (the owner closing from inside one) is not
    // waited for: it is the caller itself.
    void closeAndWait();

private:
    void leave();
    bool onlyCallerInside() const;

    std::mutex mutex_;
    std::condition_variable left_;
    std::vector<std::thread::id> inside_;
    bool closed_ = false;
};

// One host subscription as its handle keeps it: the subscriber, which the event bus holds
// weakly, and the gate every delivery to it passes. Ending it closes the gate first, so that
// once the host's removal returns its function is no longer running and never runs again.
struct GatedSubscriber {
    std::shared_ptr<void> subscriber;
    std::shared_ptr<DeliveryGate> gate;

    void end();
};

}  // namespace VexaDevice::Api
