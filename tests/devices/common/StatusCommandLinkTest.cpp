#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "sdk/core/CvWait.hpp"
#include "sdk/core/DeviceError.hpp"
#include "sdk/core/RtException.hpp"
#include "sdk/devices/common/StatusCommandLink.hpp"
#include "tests/devices/common/FakeChannel.hpp"

using namespace std::chrono_literals;
using DevicesTest::FakeChannel;
using VexaDevice::Devices::CommandReply;
using VexaDevice::Devices::ProtocolTiming;
using VexaDevice::Devices::StatusCommandLink;

namespace {

ProtocolTiming fastTiming() {
    ProtocolTiming timing;
    timing.writeRetryPause = 20ms;
    timing.replyWaitStep = 5ms;
    return timing;
}

// Status bytes: battery, error of the last command, device mode, code of that command.
std::vector<uint8_t> status(uint8_t battery, uint8_t error, uint8_t mode, uint8_t command) {
    return {battery, error, mode, command};
}

struct LinkFixture : ::testing::Test {
    std::shared_ptr<FakeChannel> statusChannel = std::make_shared<FakeChannel>();
    std::shared_ptr<FakeChannel> commandChannel = std::make_shared<FakeChannel>();
    std::shared_ptr<VexaDevice::Utility::CvWait> wake = std::make_shared<VexaDevice::Utility::CvWait>();
    std::unique_ptr<StatusCommandLink> link =
        std::make_unique<StatusCommandLink>(statusChannel, commandChannel, wake, fastTiming());
    std::mutex answersMutex;
    std::vector<std::thread> answers;

    LinkFixture() { link->listen(); }
    ~LinkFixture() override { settle(); }

    // The device answers a written frame with these notifications, from its own thread.
    void answerWith(std::vector<std::vector<uint8_t>> notifications) {
        commandChannel->onWrite([this, notifications](const std::vector<uint8_t>&) {
            std::lock_guard lock(answersMutex);
            answers.emplace_back([this, notifications] {
                for (const auto& n : notifications) statusChannel->deliver(n);
            });
            return true;
        });
    }

    void settle() {
        std::lock_guard lock(answersMutex);
        for (auto& t : answers) t.join();
        answers.clear();
    }
};

}  // namespace

TEST_F(LinkFixture, TheStatusNamingTheFrameCodeAnswersItOthersAreIgnored) {
    answerWith({status(80, 0, 2, 0x05), status(81, 0, 3, 0x03)});
    EXPECT_EQ(link->exchangeCommand({0x03, 0x10}), (CommandReply{3, 0, 0x03}));
    EXPECT_EQ(commandChannel->writes(), (std::vector<std::vector<uint8_t>>{{0x03, 0x10}}));
    settle();
    EXPECT_EQ(link->battery(), 81);
    EXPECT_EQ(link->mode(), 3);

    // Only the first answer counts; the second reaches nobody.
    answerWith({status(80, 2, 2, 0x01), status(80, 0, 1, 0x01)});
    const CommandReply refused = link->exchangeCommand({0x01});
    EXPECT_EQ(refused, (CommandReply{2, 2, 0x01})) << "a refusal is returned as received";
    EXPECT_EQ(VexaDevice::Utility::formatKspDeviceError(refused.code),
              VexaDevice::OperationResult::failed(2, "Device error: [KSP_ERROR_CMD_NOT_SUPPORT]"));
}

TEST_F(LinkFixture, ADeviceThatNeverAnswersGivesTheUndeliveredReplyAfterEveryWaitStep) {
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(link->exchangeCommand({0x02}), StatusCommandLink::NotDelivered);
    EXPECT_GE(std::chrono::steady_clock::now() - start, 31 * 5ms);
    EXPECT_EQ(StatusCommandLink::NotDelivered, (CommandReply{0, 513, 0}));
    EXPECT_EQ(link->exchangeCommand({}), StatusCommandLink::NotDelivered) << "an empty frame is not sent";
    EXPECT_EQ(commandChannel->writes().size(), 1u);
}

TEST_F(LinkFixture, FailedWritesAreRepeatedThreeTimesAfterAPause) {
    int failures = 3;
    commandChannel->onWrite([&](const std::vector<uint8_t>&) {
        if (failures-- > 0) return false;
        statusChannel->deliver(status(50, 0, 2, 0x02));
        return true;
    });
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(link->exchangeCommand({0x02}), (CommandReply{2, 0, 0x02}));
    EXPECT_GE(std::chrono::steady_clock::now() - start, 3 * 20ms);
    EXPECT_EQ(commandChannel->writes().size(), 4u);

    commandChannel->onWrite([](const std::vector<uint8_t>&) { return false; });
    EXPECT_EQ(link->exchangeCommand({0x02}), StatusCommandLink::NotDelivered);
    EXPECT_EQ(commandChannel->writes().size(), 8u) << "four writes at most";
}

TEST_F(LinkFixture, AStatusDeliveredBeforeTheFrameWentOutIsNotItsAnswer) {
    // The device still reports its earlier execution of command 3 while the first write fails;
    // the answer to the frame that got through is what counts.
    bool first = true;
    commandChannel->onWrite([&](const std::vector<uint8_t>&) {
        if (first) {
            first = false;
            statusChannel->deliver(status(50, 2, 2, 0x03));  // stale
            return false;
        }
        statusChannel->deliver(status(50, 0, 3, 0x03));
        return true;
    });
    EXPECT_EQ(link->exchangeCommand({0x03}), (CommandReply{3, 0, 0x03}));

    // A stale status just before the write is ignored as well: the device stays silent.
    statusChannel->deliver(status(50, 0, 3, 0x04));
    commandChannel->onWrite([](const std::vector<uint8_t>&) { return true; });
    EXPECT_EQ(link->exchangeCommand({0x04}), StatusCommandLink::NotDelivered);
}

// A device that announces its status as each frame arrives names the last frame it answered in
// the announcement. After a start it took without acting and whose statuses were lost, the
// announcement of the next start (its answer lost too) passes for that start's answer; the
// device then switches, so the mode it reports is not the device's. A refusal of a frame whose
// code the device did not answer last is its answer and reports the mode.
TEST_F(LinkFixture, AReplyThatMayBeTheAnnouncementOfTheFrameLeavesTheModeOpen) {
    StatusCommandLink announcing(statusChannel, commandChannel, wake, fastTiming(),
                                 VexaDevice::Devices::StatusAnswers::AfterAnnouncement);
    announcing.listen();
    statusChannel->scriptReads({status(80, 0, 2, 0x08)});
    announcing.readStatus();
    const auto signal = [](uint8_t mode) { return mode == 3; };

    commandChannel->onWrite([](const std::vector<uint8_t>&) { return true; });
    EXPECT_EQ(announcing.exchangeMode({0x03}, signal), StatusCommandLink::NotDelivered);
    answerWith({status(80, 0, 2, 0x03)});
    EXPECT_EQ(announcing.exchangeMode({0x03}, signal), (CommandReply{2, 513, 0x03}));
    EXPECT_FALSE(announcing.modeKnown()) << "the device may be switching to signal now";
    settle();

    answerWith({status(80, 2, 2, 0x04)});
    EXPECT_EQ(announcing.exchangeMode({0x04}, [](uint8_t mode) { return mode == 4; }), (CommandReply{2, 2, 0x04}));
    EXPECT_TRUE(announcing.modeKnown()) << "the device answered 0x03 last, so this is the refusal";
    settle();
}

TEST_F(LinkFixture, ALostLinkEndsTheWaitAndTheRetries) {
    ProtocolTiming patient = fastTiming();
    patient.replyWaitStep = 20ms;
    patient.replyWaitSteps = 1000;
    StatusCommandLink slow(statusChannel, commandChannel, wake, patient);
    std::thread drop([&] {
        std::this_thread::sleep_for(30ms);
        slow.markLinkLost();
    });
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(slow.exchangeCommand({0x01}), StatusCommandLink::NotDelivered);
    EXPECT_LT(std::chrono::steady_clock::now() - start, 10s) << "the 20 s wait was not cut short";
    drop.join();

    commandChannel->onWrite([](const std::vector<uint8_t>&) { return false; });
    const size_t before = commandChannel->writes().size();
    EXPECT_EQ(slow.exchangeCommand({0x01}), StatusCommandLink::NotDelivered);
    EXPECT_EQ(commandChannel->writes().size(), before + 1) << "no retry while the link is lost";

    EXPECT_TRUE(slow.takeLinkLost());
    EXPECT_FALSE(slow.takeLinkLost());
}

TEST_F(LinkFixture, StatusPacksFollowTheNewestAndKeepEveryPack) {
    statusChannel->deliver({10, 0, 1, 0, 90, 0, 4, 0x04});
    EXPECT_EQ(link->battery(), 90);
    EXPECT_EQ(link->mode(), 4);
    const auto newest = link->pollNewest();
    ASSERT_TRUE(newest);
    EXPECT_EQ(newest->battery(), 90);
    EXPECT_EQ(newest->command(), 0x04);
    EXPECT_FALSE(link->pollNewest()) << "a pack is seen once";

    // Bytes past the last whole pack are not a pack; a notification shorter than one pack
    // changes nothing and answers nothing.
    statusChannel->deliver({20, 0, 2, 0, 7});
    EXPECT_EQ(link->battery(), 20);
    statusChannel->deliver({30, 0, 3});
    EXPECT_EQ(link->battery(), 20);
    EXPECT_EQ(link->mode(), 2);
    ASSERT_TRUE(link->pollNewest());
    EXPECT_FALSE(link->pollNewest());

    answerWith({{0, 0, 3}});
    EXPECT_EQ(link->exchangeCommand({0x03}), StatusCommandLink::NotDelivered);
}

TEST_F(LinkFixture, TheStatusIsReadUpToThreeTimes) {
    statusChannel->scriptReads({std::nullopt, std::nullopt, status(66, 0, 2, 0)});
    link->readStatus();
    EXPECT_EQ(link->battery(), 66);
    EXPECT_EQ(statusChannel->reads(), 3);

    statusChannel->scriptReads({std::nullopt, std::nullopt, std::nullopt, status(1, 0, 1, 0)});
    try {
        link->readStatus();
        FAIL() << "no status was read";
    } catch (const VexaDevice::Utility::rt_exception& e) {
        EXPECT_STREQ(e.what(), "Can not read Status");
    }
    EXPECT_EQ(statusChannel->reads(), 6);

    link->markLinkLost();
    link->readStatus();
    EXPECT_EQ(statusChannel->reads(), 6) << "nothing is read once the link is lost";
}

TEST_F(LinkFixture, ListeningTurnsTheNotificationOnAndOff) {
    EXPECT_TRUE(statusChannel->notifying);
    link->stopListening();
    EXPECT_FALSE(statusChannel->notifying);
    link->listen();
    EXPECT_TRUE(statusChannel->notifying);
    statusChannel->deliver(status(12, 0, 2, 0));
    EXPECT_EQ(link->battery(), 12) << "one subscription, however often the link listens";
}

TEST_F(LinkFixture, NotificationsRacingTheLinksEndAreHarmless) {
    std::atomic<bool> stop{false};
    std::thread radio([&] {
        while (!stop) statusChannel->deliver(status(5, 0, 2, 0x02));
    });
    for (int round = 0; round < 50; ++round) {
        link = std::make_unique<StatusCommandLink>(statusChannel, commandChannel, wake, fastTiming());
        link->listen();
        std::this_thread::sleep_for(100us);
        link.reset();
    }
    stop = true;
    radio.join();
}
