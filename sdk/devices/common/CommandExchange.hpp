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
// unsubscription: a late reply reaches nobody. A device whose answers name the frame they
// answer is driven with sendNamed(), which keeps one subscription over all its writes.
//
// A device that announces its current status the moment a frame arrives, before it carries
// the frame out, is driven with an acknowledging writer and a sameness test: the writer hands
// the platform a mark that runs when the device's acknowledgement of the write is delivered,
// in order with the replies. Before that mark, a reply the same as the last one delivered
// before the write began is the announcement and is passed over (once: when the platform's
// notifications travel apart from its acknowledgements, the answer may come before the mark
// too); a reply that differs is the answer. After the mark, the next matching reply is.

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <future>
#include <memory>
#include <mutex>
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
    // The same, and `acknowledged` is to run once the device acknowledged the frame, on the
    // thread that delivers the replies and in their order.
    using AcknowledgingWriter = std::function<bool(const std::vector<uint8_t>&, std::function<void()> acknowledged)>;
    using Predicate = std::function<bool(const Reply&)>;
    // Whether a reply is the same status as an earlier one.
    using Sameness = std::function<bool(const Reply& reply, const Reply& earlier)>;

    // `failure` is what an exchange gives when the frame cannot be written or no reply
    // comes; `disconnected` ends every retry and wait early.
    CommandExchange(Writer write, const std::atomic<bool>& disconnected, Reply failure, const ProtocolTiming& timing)
        : CommandExchange([write = std::move(write)](const std::vector<uint8_t>& frame,
                                                     std::function<void()>) { return write(frame); },
                          disconnected, failure, timing, {}) {}

    // For a device that announces its status as each frame arrives (above).
    CommandExchange(AcknowledgingWriter write, const std::atomic<bool>& disconnected, Reply failure,
                    const ProtocolTiming& timing, Sameness unchanged)
        : write_(std::move(write)),
          disconnected_(disconnected),
          failure_(failure),
          timing_(timing),
          unchanged_(std::move(unchanged)) {}

    // Publishes one reply of the device to the exchange in progress, if any.
    void deliver(const Reply& reply) {
        uint64_t number = 0;
        {
            std::lock_guard lock(lastMutex_);
            last_ = reply;
            number = ++delivered_;
        }
        replies_->notify(reply, number);
    }

    // One exchange. `answers` picks the reply that belongs to this frame; by default the
    // next reply of any kind does. `replySteps` above 0 replaces the timing's number of reply
    // wait steps, for a command the device takes longer to answer.
    Reply send(const std::vector<uint8_t>& frame, const Predicate& answers = {}, int replySteps = 0) const {
        return trySend(frame, answers, replySteps).value_or(failure_);
    }

    // The same exchange; empty when the frame could not be written or no reply came, for a
    // caller that must tell a reply from the failure.
    std::optional<Reply> trySend(const std::vector<uint8_t>& frame, const Predicate& answers = {},
                                 int replySteps = 0) const {
        return exchange(frame, answers, replySteps, Listen::PerWrite);
    }

    // The same exchange for a device whose answer names the frame it answers (a request
    // identifier it repeats, fresh for every frame), picked out by `answers`. One
    // subscription spans every write: a write reported failed may still have reached the
    // device, and its answer, however early it came, ends the exchange without another write.
    Reply sendNamed(const std::vector<uint8_t>& frame, const Predicate& answers, int replySteps = 0) const {
        return exchange(frame, answers, replySteps, Listen::WholeExchange).value_or(failure_);
    }

    // One exchange with a device that is asked again whenever a reply wait ends in silence:
    // the frame is written once per wait, at most `writes` times (a write that fails is not
    // repeated at once: its wait runs out first). One subscription spans every write, so a
    // late answer to an earlier write still ends the exchange. Empty when no reply came.
    std::optional<Reply> sendEachWait(const std::vector<uint8_t>& frame, int writes,
                                      const Predicate& answers = {}) const {
        Listening listening = listen(answers);
        for (int written = 0; written < writes && !disconnected_; ++written) {
            write_(frame, acknowledgement(listening));
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

    // What the subscription of one write knows of the replies around it.
    struct Waiter {
        // Replies numbered up to `before` were being delivered before the subscription.
        std::atomic<uint64_t> before{UINT64_MAX};
        // The last reply delivered before the subscription; set before `before`.
        std::optional<Reply> previous;
        // The device's acknowledgement of the write was delivered.
        std::atomic<bool> acknowledged{false};
        std::atomic<bool> announcementPassed{false};
    };

    // A subscription for one reply; dropping it ends the subscription.
    struct Listening {
        std::future<Reply> reply;
        std::shared_ptr<Waiter> waiter;
        std::shared_ptr<typename ReplyBus::Callback> subscription;
    };

    enum class Listen {
        // Every write listens afresh: what came in around a failed write is no answer.
        PerWrite,
        // The answer names its frame: whatever came in since the first write may be it.
        WholeExchange,
    };

    std::optional<Reply> exchange(const std::vector<uint8_t>& frame, const Predicate& answers, int replySteps,
                                  Listen mode) const {
        Listening listening = listen(answers);
        for (int retriesLeft = timing_.writeRetries;; --retriesLeft) {
            if (write_(frame, acknowledgement(listening))) {
                if (!arrives(listening.reply, replySteps > 0 ? replySteps : timing_.replyWaitSteps))
                    return std::nullopt;
                return listening.reply.get();
            }
            const auto failedAt = std::chrono::steady_clock::now();
            const bool lastWrite = retriesLeft == 0 || disconnected_;
            const auto retryAt = lastWrite ? failedAt : failedAt + timing_.writeRetryPause;
            if (mode == Listen::WholeExchange && listening.reply.wait_until(retryAt) == std::future_status::ready)
                return listening.reply.get();
            if (lastWrite) return std::nullopt;
            std::this_thread::sleep_until(retryAt);
            if (mode == Listen::PerWrite) listening = listen(answers);
        }
    }

    // Subscribes for the first reply delivered from now on that `answers` accepts.
    Listening listen(const Predicate& answers) const {
        auto promise = std::make_shared<std::promise<Reply>>();
        std::future<Reply> reply = promise->get_future();
        auto waiter = std::make_shared<Waiter>();
        auto subscriber = std::make_shared<typename ReplyBus::Callback>(
            [promise, waiter, answers, unchanged = unchanged_](Reply value, uint64_t number) {
                if (number <= waiter->before.load() || (answers && !answers(value))) return;
                if (unchanged && !waiter->acknowledged && waiter->previous && unchanged(value, *waiter->previous) &&
                    !waiter->announcementPassed.exchange(true))
                    return;
                try {
                    promise->set_value(value);
                } catch (const std::future_error&) {
                    // A second reply to the same exchange: only the first one counts.
                }
            });
        replies_->subscribe(subscriber);
        {
            std::lock_guard lock(lastMutex_);
            waiter->previous = last_;
            waiter->before.store(delivered_);
        }
        return {std::move(reply), std::move(waiter), std::move(subscriber)};
    }

    // The mark the platform runs once the device acknowledged the write.
    static std::function<void()> acknowledgement(const Listening& listening) {
        return [waiter = listening.waiter] { waiter->acknowledged = true; };
    }

    // Waits `steps` reply-wait steps; true once the reply is there.
    bool arrives(std::future<Reply>& reply, int steps) const {
        for (int step = 0; step < steps; ++step) {
            if (reply.wait_for(timing_.replyWaitStep) == std::future_status::ready) return true;
            if (disconnected_) break;
        }
        return false;
    }

    const AcknowledgingWriter write_;
    const std::shared_ptr<ReplyBus> replies_ = std::make_shared<ReplyBus>(ReplyQueueCapacity);
    mutable std::mutex lastMutex_;
    uint64_t delivered_ = 0;     // guarded by lastMutex_
    std::optional<Reply> last_;  // guarded by lastMutex_
    const std::atomic<bool>& disconnected_;
    const Reply failure_;
    const ProtocolTiming timing_;
    const Sameness unchanged_;
};

}  // namespace VexaDevice::Devices
