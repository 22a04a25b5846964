#include "sdk/core/EventBus.hpp"

#include <vector>

namespace VexaDevice::Utility {

namespace {

struct AdoptedThread {
    std::thread thread;
    std::shared_ptr<const std::atomic<bool>> finished;
};

// Built on first use, after the log: torn down (joining what is left) before it.
class DeliveryThreads {
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

    void join(const std::atomic<bool>* finished) {
        std::vector<AdoptedThread> owned;
        {
            std::lock_guard guard(mutex_);
            for (auto it = threads_.begin(); it != threads_.end();) {
                if (it->finished.get() == finished) {
                    owned.push_back(std::move(*it));
                    it = threads_.erase(it);
                } else {
                    ++it;
                }
            }
        }
        joinAll(owned);
    }

    ~DeliveryThreads() {
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
                adopted.thread.detach();  // the process ends from inside a delivery
            } else {
                adopted.thread.join();
            }
        }
    }

    std::mutex mutex_;
    std::vector<AdoptedThread> threads_;
};

DeliveryThreads& deliveryThreads() {
    static DeliveryThreads threads;
    return threads;
}

}  // namespace

void adoptDeliveryThread(std::thread thread, std::shared_ptr<const std::atomic<bool>> finished) {
    deliveryThreads().adopt({std::move(thread), std::move(finished)});
}

void joinDeliveryThread(const std::atomic<bool>* finished) { deliveryThreads().join(finished); }

}  // namespace VexaDevice::Utility
