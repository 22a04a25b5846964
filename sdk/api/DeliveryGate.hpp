#pragma once
// Lets deliveries run on any thread until the owner closes the gate; closing waits for
// the deliveries still running on other threads.

#include <condition_variable>
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

}  // namespace VexaDevice::Api
