#pragma once
// Sends one command frame to a device and waits for its answer, which arrives as a status
// notification that the protocol's status handler hands to deliver().
//
// The reply subscription is made before the frame is written, so a fast answer cannot be
// missed, even one delivered while the write is still returning. Replies are numbered as they
// are delivered: only the first matching reply delivered after the write that got through was
// issued counts, so neither a reply still being handed to the previous command's subscription
// nor a status the device sent before it received this frame (one delivered during a retry
// pause, say) passes for the answer. Releasing the subscription on return is the whole
// unsubscription: a late reply reaches nobody.

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <future>
#include <memory>
#include <optional>
#include <thread>
#include <vector>

#include "sdk/core/EventBus.hpp"
#include "sdk/devices/common/ProtocolTiming.hpp"

namespace VexaDevice::Devices {

template <class Reply>
class CommandExchange {
public:
    // Writes one frame to the command characteristic; true when the device took it.
    using Writer = std::function<bool(const std::vector<uint8_t>&)>;
    using Predicate = std::function<bool(const Reply&)>;

    // `failure` is what an exchange gives when the frame cannot be written or no reply
    // comes; `disconnected` ends every retry and wait early.
    CommandExchange(Writer write, const std::atomic<bool>& disconnected, Reply failure, const ProtocolTiming& timing)
        : write_(std::move(write)), disconnected_(disconnected), failure_(failure), timing_(timing) {}

    // Publishes one reply of the device to the exchange in progress, if any.
    void deliver(const Reply& reply) { replies_->notify(reply, ++delivered_); }

    // One exchange. `answers` picks the reply that belongs to this frame; by default the
    // next reply of any kind does. `replySteps` above 0 replaces the timing's number of reply
    // wait steps, for a command the device takes longer to answer.
    Reply send(const std::vector<uint8_t>& frame, const Predicate& answers = {}, int replySteps = 0) const {
        for (int retriesLeft = timing_.writeRetries;; --retriesLeft) {
            // Every write listens afresh: what came in around a failed write is no answer.
            Listening listening = listen(answers);
            if (write_(frame)) return await(listening.reply, replySteps > 0 ? replySteps : timing_.replyWaitSteps);
            const auto failedAt = std::chrono::steady_clock::now();
            if (retriesLeft == 0 || disconnected_) return failure_;
            std::this_thread::sleep_until(failedAt + timing_.writeRetryPause);
        }
    }

    // One exchange with a device that is asked again whenever a reply wait ends in silence:
    // the frame is written once per wait, at most `writes` times (a write that fails is not
    // repeated at once: its wait runs out first). One subscription spans every write, so a
    // late answer to an earlier write still ends the exchange. Empty when no reply came.
    std::optional<Reply> sendEachWait(const std::vector<uint8_t>& frame, int writes,
                                      const Predicate& answers = {}) const {
        Listening listening = listen(answers);
        for (int written = 0; written < writes && !disconnected_; ++written) {
            write_(frame);
            if (arrives(listening.reply, timing_.replyWaitSteps)) return listening.reply.get();
        }
        return std::nullopt;
    }

    // Repeats the exchange, at most `attempts` times and only while `running`, until the
    // reply satisfies `reached`. The last reply is the command's result; `initial` when no
    // exchange ran.
    Reply sendUntil(const std::vector<uint8_t>& frame, const Predicate& reached, const std::atomic<bool>& running,
                    Reply initial = {}, const Predicate& answers = {}) const {
        Reply last = initial;
        for (int attempt = 0; attempt < timing_.commandAttempts && running; ++attempt) {
            last = send(frame, answers);
            if (reached(last)) break;
        }
        return last;
    }

    const Reply& failure() const { return failure_; }

private:
    using ReplyBus = Utility::EventBus<Reply, uint64_t>;
    static constexpr size_t ReplyQueueCapacity = 2048;

    // A subscription for one reply; dropping it ends the subscription.
    struct Listening {
        std::future<Reply> reply;
        std::shared_ptr<typename ReplyBus::Callback> subscription;
    };

    // Subscribes for the first reply delivered from now on that `answers` accepts.
    Listening listen(const Predicate& answers) const {
        auto promise = std::make_shared<std::promise<Reply>>();
        std::future<Reply> reply = promise->get_future();
        // Replies numbered up to `before` were being delivered before this subscription.
        auto before = std::make_shared<std::atomic<uint64_t>>(UINT64_MAX);
        auto subscriber =
            std::make_shared<typename ReplyBus::Callback>([promise, before, answers](Reply value, uint64_t number) {
                if (number <= before->load() || (answers && !answers(value))) return;
                try {
                    promise->set_value(value);
                } catch (const std::future_error&) {
                    // A second reply to the same exchange: only the first one counts.
                }
            });
        replies_->subscribe(subscriber);
        before->store(delivered_.load());
        return {std::move(reply), std::move(subscriber)};
    }

    Reply await(std::future<Reply>& reply, int steps) const { return arrives(reply, steps) ? reply.get() : failure_; }

    // Waits `steps` reply-wait steps; true once the reply is there.
    bool arrives(std::future<Reply>& reply, int steps) const {
        for (int step = 0; step < steps; ++step) {
            if (reply.wait_for(timing_.replyWaitStep) == std::future_status::ready) return true;
            if (disconnected_) break;
        }
        return false;
    }

    const Writer write_;
    const std::shared_ptr<ReplyBus> replies_ = std::make_shared<ReplyBus>(ReplyQueueCapacity);
    std::atomic<uint64_t> delivered_{0};
    const std::atomic<bool>& disconnected_;
    const Reply failure_;
    const ProtocolTiming timing_;
};

}  // namespace VexaDevice::Devices
