#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

#include "sdk/devices/common/CommandExchange.hpp"

using namespace std::chrono_literals;
using VexaDevice::Devices::CommandExchange;
using VexaDevice::Devices::ProtocolTiming;

namespace {

struct Reply {
    uint8_t state = 0;
    uint16_t error = 0;
    bool operator==(const Reply&) const = default;
};

constexpr Reply Failure{0, 511};

ProtocolTiming fastTiming() {
    ProtocolTiming timing;
    timing.writeRetryPause = 5ms;
    timing.replyWaitStep = 2ms;
    return timing;
}

// A generous reply wait for the cases a reply ends: they return at the answer, and a loaded
// machine may take long to deliver it.
ProtocolTiming answeredTiming() {
    ProtocolTiming timing = fastTiming();
    timing.replyWaitSteps = 2000;
    return timing;
}

// A device on the other end: records frames and answers each written frame from its own
// thread, as a radio would.
class FakeDevice {
public:
    // Where the device's replies go (the protocol's status handler).
    std::function<void(const Reply&)> deliver;
    ~FakeDevice() { settle(); }

    // Waits until every answer is delivered.
    void settle() {
        for (auto& t : answers_) t.join();
        answers_.clear();
    }

    bool write(const std::vector<uint8_t>& frame) {
        std::lock_guard lock(mutex_);
        frames_.push_back(frame);
        if (failingWrites_ > 0) {
            --failingWrites_;
            return false;
        }
        if (!scripted_.empty()) {
            auto answer = [this, replies = scripted_.front()] {
                for (const Reply& r : replies) deliver(r);
            };
            scripted_.erase(scripted_.begin());
            if (answerWhileWriting_)
                answer();
            else
                answers_.emplace_back(answer);
        }
        return true;
    }

    void answerNextWritesWith(std::vector<std::vector<Reply>> replies) { scripted_ = std::move(replies); }
    void failNextWrites(int count) { failingWrites_ = count; }
    // Answers before the write returns, so one exchange's reply cannot reach the next.
    void answerWhileWriting() { answerWhileWriting_ = true; }
    size_t frameCount() {
        std::lock_guard lock(mutex_);
        return frames_.size();
    }

private:
    std::mutex mutex_;
    std::vector<std::vector<uint8_t>> frames_;
    std::vector<std::vector<Reply>> scripted_;
    int failingWrites_ = 0;
    bool answerWhileWriting_ = false;
    std::vector<std::thread> answers_;
};

struct ExchangeFixture : ::testing::Test {
    FakeDevice device;
    std::atomic<bool> disconnected{false};
    std::atomic<bool> running{true};
    CommandExchange<Reply> exchange{[this](const std::vector<uint8_t>& f) { return device.write(f); }, disconnected,
                                    Failure, answeredTiming()};
    // The same device behind the shrunk wait, for the cases that wait it out.
    CommandExchange<Reply> shortWaiting{[this](const std::vector<uint8_t>& f) { return device.write(f); }, disconnected,
                                        Failure, fastTiming()};
    ExchangeFixture() {
        device.deliver = [this](const Reply& r) { exchange.deliver(r); };
    }
    ~ExchangeFixture() override { device.settle(); }
};

}  // namespace

TEST_F(ExchangeFixture, ReturnsTheReplyPublishedAfterTheWrite) {
    device.answerNextWritesWith({{Reply{2, 0}}});
    EXPECT_EQ(exchange.send({0x02}), (Reply{2, 0}));
    device.settle();
}

TEST_F(ExchangeFixture, RepliesDeliveredBeforeTheFrameOrAfterTheExchangeReachNobody) {
    exchange.deliver(Reply{9, 9});  // nobody waits: dropped
    CommandExchange<Reply> quick{[this](const std::vector<uint8_t>&) { return true; }, disconnected, Failure,
                                 fastTiming()};
    quick.deliver(Reply{1, 0});
    EXPECT_EQ(quick.send({0x01}), Failure) << "a reply published before the frame is not its answer";
}

TEST_F(ExchangeFixture, AReplyPublishedDuringTheWriteIsNotMissed) {
    CommandExchange<Reply> synchronous{[this](const std::vector<uint8_t>&) {
                                           exchange.deliver(Reply{7, 7});  // another exchange's
                                           device.deliver(Reply{3, 0});
                                           return true;
                                       },
                                       disconnected, Failure, fastTiming()};
    device.deliver = [&synchronous](const Reply& r) { synchronous.deliver(r); };
    EXPECT_EQ(synchronous.send({0x03}), (Reply{3, 0}));
}

TEST_F(ExchangeFixture, OnlyTheFirstMatchingReplyCounts) {
    device.answerNextWritesWith({{Reply{7, 0}, Reply{2, 1}, Reply{2, 0}}});
    auto answersStart = [](const Reply& r) { return r.state == 2; };
    EXPECT_EQ(exchange.send({0x02}, answersStart), (Reply{2, 1}));
}

TEST_F(ExchangeFixture, FailedWritesAreRepeatedAfterThePause) {
    device.failNextWrites(2);
    device.answerNextWritesWith({{Reply{1, 0}}});
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(exchange.send({0x01}), (Reply{1, 0}));
    EXPECT_EQ(device.frameCount(), 3u);
    EXPECT_GE(std::chrono::steady_clock::now() - start, 10ms);
}

TEST_F(ExchangeFixture, GivesUpAfterFourFailedWrites) {
    device.failNextWrites(100);
    EXPECT_EQ(exchange.send({0x01}), Failure);
    EXPECT_EQ(device.frameCount(), 4u);
}

TEST_F(ExchangeFixture, ASilentDeviceGivesTheFailureAfterAllWaitSteps) {
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(shortWaiting.send({0x01}), Failure);
    EXPECT_GE(std::chrono::steady_clock::now() - start, 31 * 2ms);
    EXPECT_EQ(device.frameCount(), 1u);
}

TEST_F(ExchangeFixture, DisconnectionEndsWaitsAndRetries) {
    ProtocolTiming slow = fastTiming();
    slow.replyWaitStep = 20ms;
    slow.replyWaitSteps = 1000;
    CommandExchange<Reply> patient{[this](const std::vector<uint8_t>& f) { return device.write(f); }, disconnected,
                                   Failure, slow};
    std::thread link([this] {
        std::this_thread::sleep_for(30ms);
        disconnected = true;
    });
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(patient.send({0x01}), Failure);
    EXPECT_LT(std::chrono::steady_clock::now() - start, 5s) << "the 20 s wait was not cut short";
    link.join();

    device.failNextWrites(100);
    EXPECT_EQ(patient.send({0x01}), Failure);
    EXPECT_EQ(device.frameCount(), 2u) << "no retry once disconnected";
}

TEST_F(ExchangeFixture, CommandRepeatsUntilTheDeviceReachesTheState) {
    device.answerWhileWriting();
    device.answerNextWritesWith({{Reply{1, 0}}, {Reply{1, 0}}, {Reply{2, 0}}});
    auto isSignal = [](const Reply& r) { return r.state == 2; };
    EXPECT_EQ(exchange.sendUntil({0x02}, isSignal, running), (Reply{2, 0}));
    EXPECT_EQ(device.frameCount(), 3u);

    device.answerNextWritesWith({{Reply{1, 2}}, {Reply{1, 2}}, {Reply{1, 2}}, {Reply{2, 0}}});
    EXPECT_EQ(exchange.sendUntil({0x02}, isSignal, running), (Reply{1, 2})) << "three attempts at most";
    EXPECT_EQ(device.frameCount(), 6u);

    running = false;
    EXPECT_EQ(exchange.sendUntil({0x02}, isSignal, running), Reply{}) << "nothing is sent once stopped";
    EXPECT_EQ(device.frameCount(), 6u);
}

TEST_F(ExchangeFixture, AskedAgainAfterEachSilentWait) {
    ProtocolTiming perWrite = fastTiming();
    perWrite.replyWaitStep = 20ms;
    perWrite.replyWaitSteps = 1;
    CommandExchange<Reply> patient{[this](const std::vector<uint8_t>& f) { return device.write(f); }, disconnected,
                                   Failure, perWrite};
    device.deliver = [&patient](const Reply& r) { patient.deliver(r); };

    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(patient.sendEachWait({0x01}, 3), std::nullopt);
    EXPECT_EQ(device.frameCount(), 3u);
    EXPECT_GE(std::chrono::steady_clock::now() - start, 3 * 20ms);

    disconnected = true;
    EXPECT_EQ(patient.sendEachWait({0x01}, 3), std::nullopt);
    EXPECT_EQ(device.frameCount(), 3u) << "nothing is written once disconnected";
}

TEST_F(ExchangeFixture, AFailedWriteIsNotRepeatedAtOnceAndTheNextAnswerEndsTheExchange) {
    // Half a second per write: the failed one waits it out, the second one's answer comes well
    // within it however loaded the machine.
    ProtocolTiming perWrite = fastTiming();
    perWrite.replyWaitStep = 20ms;
    perWrite.replyWaitSteps = 25;
    CommandExchange<Reply> patient{[this](const std::vector<uint8_t>& f) { return device.write(f); }, disconnected,
                                   Failure, perWrite};
    device.deliver = [&patient](const Reply& r) { patient.deliver(r); };
    device.failNextWrites(1);
    device.answerNextWritesWith({{Reply{4, 0}}});
    EXPECT_EQ(patient.sendEachWait({0x01}, 3), (Reply{4, 0}));
    EXPECT_EQ(device.frameCount(), 2u);
    device.settle();  // the answer is handed over before `patient` goes
}

namespace {

// A device that announces its current status when a frame arrives, before carrying it out. The
// write runs `duringWrite` with the acknowledgement mark the platform would run in order with
// the replies; the exchange is told which replies are the same status.
struct AnnouncingFixture : ::testing::Test {
    std::atomic<bool> disconnected{false};
    std::function<void(const std::function<void()>& acknowledged)> duringWrite;
    std::thread later;
    ProtocolTiming timing = answeredTiming();
    CommandExchange<Reply> exchange{[this](const std::vector<uint8_t>&, std::function<void()> acknowledged) {
                                        if (duringWrite) duringWrite(acknowledged);
                                        return true;
                                    },
                                    disconnected, Failure, timing, std::equal_to<Reply>{}};
    ~AnnouncingFixture() override {
        if (later.joinable()) later.join();
    }
    // Delivers `replies` from another thread once the write was acknowledged.
    void afterAcknowledgement(const std::function<void()>& acknowledged, std::vector<Reply> replies) {
        later = std::thread([this, acknowledged, replies] {
            acknowledged();
            for (const Reply& reply : replies) exchange.deliver(reply);
        });
    }
};

}  // namespace

TEST_F(AnnouncingFixture, TheAnnouncementDuringTheWriteIsNoAnswerTheStatusAfterIs) {
    exchange.deliver(Reply{2, 1});  // the last command was refused
    duringWrite = [&](const std::function<void()>& acknowledged) {
        exchange.deliver(Reply{2, 1});  // announced as the frame arrives: unchanged
        afterAcknowledgement(acknowledged, {Reply{2, 0}});
    };
    EXPECT_EQ(exchange.send({0x08}), (Reply{2, 0}));
}

TEST_F(AnnouncingFixture, AnAnswerDuringTheWriteThatDiffersCounts) {
    exchange.deliver(Reply{2, 1});
    duringWrite = [&](const std::function<void()>&) { exchange.deliver(Reply{3, 0}); };
    EXPECT_EQ(exchange.send({0x03}), (Reply{3, 0}));
}

TEST_F(AnnouncingFixture, AnUnchangedAnswerAfterTheAcknowledgementCounts) {
    exchange.deliver(Reply{2, 0});
    duringWrite = [&](const std::function<void()>& acknowledged) {
        exchange.deliver(Reply{2, 0});
        afterAcknowledgement(acknowledged, {Reply{2, 0}});
    };
    EXPECT_EQ(exchange.send({0x08}), (Reply{2, 0}));
}

// Notifications that travel apart from the acknowledgement may bring the answer before it:
// the announcement is passed over once, the unchanged answer after it counts.
TEST_F(AnnouncingFixture, AnUnchangedAnswerAheadOfTheAcknowledgementCountsAfterTheAnnouncement) {
    exchange.deliver(Reply{2, 0});
    duringWrite = [&](const std::function<void()>& acknowledged) {
        exchange.deliver(Reply{2, 0});
        exchange.deliver(Reply{2, 0});
        afterAcknowledgement(acknowledged, {});
    };
    EXPECT_EQ(exchange.send({0x08}), (Reply{2, 0}));
}

// A lost announcement: the unchanged status after the acknowledgement is the answer.
TEST_F(AnnouncingFixture, WithoutTheAnnouncementTheStatusAfterTheAcknowledgementCounts) {
    exchange.deliver(Reply{2, 0});
    duringWrite = [&](const std::function<void()>& acknowledged) { afterAcknowledgement(acknowledged, {Reply{2, 0}}); };
    EXPECT_EQ(exchange.send({0x08}), (Reply{2, 0}));
}

TEST_F(AnnouncingFixture, WithoutAnyEarlierStatusTheFirstDuringTheWriteCounts) {
    duringWrite = [&](const std::function<void()>&) { exchange.deliver(Reply{2, 0}); };
    EXPECT_EQ(exchange.send({0x02}), (Reply{2, 0}));
}

TEST_F(ExchangeFixture, WithoutTheRuleAnUnchangedReplyDuringTheWriteCounts) {
    exchange.deliver(Reply{2, 0});
    device.answerWhileWriting();
    device.answerNextWritesWith({{Reply{2, 0}}});
    EXPECT_EQ(exchange.send({0x02}), (Reply{2, 0}));
}
