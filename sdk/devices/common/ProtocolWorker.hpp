#pragma once
// The worker thread of a device protocol: it sleeps until a notification handler wakes it
// (or the wait runs out), then runs one pass of its protocol, until it is stopped. A pass
// that asks for another (work left over) is followed by the next one without a wait.
//
// Lifetime: the worker holds its protocol only weakly, and strongly for the length of one
// pass. A host that releases the protocol's last owner from inside a callback of that pass
// therefore destroys the protocol on the worker thread once the pass is over; the worker
// then notices it is stopping and ends without touching the protocol again. Stopping from
// any other thread joins the worker; stopping from the worker itself lets it run out, and at
// process exit (or library unload) such workers are waited for, so that none outlives the
// library's statics.

#include <atomic>
#include <chrono>
#include <functional>
#include <memory>
#include <thread>

#include "sdk/core/CvWait.hpp"

namespace VexaDevice::Devices {

class ProtocolWorker {
public:
    // One pass of the protocol; false when the protocol no longer exists.
    using Pass = std::function<bool()>;

    explicit ProtocolWorker(std::chrono::milliseconds wait);
    ~ProtocolWorker();
    ProtocolWorker(const ProtocolWorker&) = delete;
    ProtocolWorker& operator=(const ProtocolWorker&) = delete;

    // The wake-up object the notification handlers (and data channels) notify.
    std::shared_ptr<Utility::CvWait> wakeup() const { return control_->wakeup; }

    // Starts the thread that runs `pass` after every wait. Call once.
    void start(Pass pass);

    // Runs `method` on the protocol behind `owner` while it exists.
    template <class Protocol>
    void startFor(const std::weak_ptr<Protocol>& owner, void (Protocol::*method)()) {
        start([owner, method] {
            const auto protocol = owner.lock();
            if (!protocol) return false;
            ((*protocol).*method)();
            return true;
        });
    }

    void wake() const { control_->wakeup->notify(); }

    // Called from inside a pass (a ring reader that left records behind): the worker starts
    // its next pass at once instead of waiting. Anywhere else it does nothing.
    static void requestAnotherPass();

    // Clears the running flag and wakes the worker; waits for its end unless called from
    // the worker itself. Safe to call more than once.
    void stop();

    bool isRunning() const { return control_->running.load(); }

private:
    // What the thread shares with its owner; it outlives the owner when the owner is
    // destroyed on the worker thread.
    struct Control {
        std::atomic<bool> running{false};
        bool detached = false;  // set and read on the worker thread only
        std::shared_ptr<Utility::CvWait> wakeup = std::make_shared<Utility::CvWait>();
    };

    static void run(const std::shared_ptr<Control>& control, std::chrono::milliseconds wait, const Pass& pass);

    const std::chrono::milliseconds wait_;
    const std::shared_ptr<Control> control_ = std::make_shared<Control>();
    std::thread thread_;
};

}  // namespace VexaDevice::Devices
