#include "sdk/devices/common/ProtocolWorker.hpp"

#include <condition_variable>
#include <mutex>
#include <utility>

#include "sdk/core/Log.hpp"

#include "sdk/core/RtException.hpp"

namespace VexaDevice::Devices {

namespace {

// Workers that were stopped from their own thread and are still finishing their last pass.
class DetachedWorkers {
public:
    static DetachedWorkers& instance() {
        // Never destroyed: a worker that outlives the exit wait still finds its counter intact.
        static auto* workers = new DetachedWorkers;
        // Constructed on first use, so destroyed before the statics the workers use (the log).
        static const ExitWait exitWait{*workers};
        return *workers;
    }

    void started() {
        std::lock_guard lock(mutex_);
        ++running_;
    }

    void finished() {
        std::lock_guard lock(mutex_);
        --running_;
        done_.notify_all();
    }

private:
    struct ExitWait {
        DetachedWorkers& workers;

        ~ExitWait() {
            std::unique_lock lock(workers.mutex_);
            workers.done_.wait_for(lock, Limit, [this] { return workers.running_ == 0; });
        }

        static constexpr std::chrono::milliseconds Limit{2000};
    };

    std::mutex mutex_;
    std::condition_variable done_;
    int running_ = 0;
};

// Set by requestAnotherPass on a worker thread during its pass; read and cleared by its loop.
thread_local bool anotherPassRequested = false;

}  // namespace

ProtocolWorker::ProtocolWorker(std::chrono::milliseconds wait) : wait_(wait) {}

ProtocolWorker::~ProtocolWorker() { stop(); }

void ProtocolWorker::start(Pass pass) {
    control_->running = true;
    thread_ = std::thread([control = control_, wait = wait_, pass = std::move(pass)] { run(control, wait, pass); });
}

void ProtocolWorker::stop() {
    control_->running = false;
    control_->wakeup->notify();
    if (!thread_.joinable()) return;
    if (thread_.get_id() == std::this_thread::get_id()) {
        control_->detached = true;
        DetachedWorkers::instance().started();
        thread_.detach();
    } else
        thread_.join();
}

void ProtocolWorker::requestAnotherPass() { anotherPassRequested = true; }

void ProtocolWorker::run(const std::shared_ptr<Control>& control, std::chrono::milliseconds wait, const Pass& pass) {
    while (control->running) {
        if (!std::exchange(anotherPassRequested, false)) {
            auto held = control->wakeup->lock();
            control->wakeup->wait(held, wait);
        }
        if (!control->running) break;
        try {
            if (!pass()) break;
        } catch (const Utility::rt_exception& e) {
            Utility::sdkLog().warn("Process channel pack error: [{}] code: [{}]", e.what(), e.code());
        } catch (const std::exception& e) {
            Utility::sdkLog().warn("Process channel pack error: {}", e.what());
        } catch (...) {
            Utility::sdkLog().warn("Process channel pack error.");
        }
    }
    if (control->detached) DetachedWorkers::instance().finished();
}

}  // namespace VexaDevice::Devices
