#include "sdk/core/EventBus.hpp"

#include <vector>

namespace VexaDevice::Utility {

namespace {

struct AdoptedThread {
    std::thread thread;
    std::shared_ptr<const std::atomic<bool>> finished;
};

// Built on first use, after the log: torn down (joining what is left) before it.
class AdoptedDeliveryThreads {
public:
    void adopt(AdoptedThread adopted) {
        std::vector<AdoptedThread> done;
        {
            std::lock_guard guard(mutex_);
            for (auto it = threads_.begin(); it != threads_.end();) {
                if (it->finished->load()) {
                    done.push_back(std::move(*it));
                    it = threads_.erase(it);
                } else {
                    ++it;
                }
            }
            threads_.push_back(std::move(adopted));
        }
        joinAll(done);
    }

    ~AdoptedDeliveryThreads() {
        std::vector<AdoptedThread> left;
        {
            std::lock_guard guard(mutex_);
            left.swap(threads_);
        }
        joinAll(left);
    }

private:
    static void joinAll(std::vector<AdoptedThread>& threads) {
        for (auto& adopted : threads) {
            if (!adopted.thread.joinable()) {
                continue;
            }
            if (adopted.thread.get_id() == std::this_thread::get_id()) {
                adopted.thread.detach(); // the process ends from inside a delivery
            } else {
                adopted.thread.join();
            }
        }
    }

    std::mutex mutex_;
    std::vector<AdoptedThread> threads_;
};

AdoptedDeliveryThreads& adoptedThreads() {
    static AdoptedDeliveryThreads threads;
    return threads;
}

} // namespace

void adoptDeliveryThread(std::thread thread, std::shared_ptr<const std::atomic<bool>> finished) {
    adoptedThreads().adopt({std::move(thread), std::move(finished)});
}

} // namespace VexaDevice::Utility
