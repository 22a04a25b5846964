// The request transport of the Dravik file system on scripted channels: which reply answers a
// request, how long each kind of request waits, and what a write that fails does.

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <memory>
#include <thread>
#include <utility>

#include "sdk/core/ByteReaders.hpp"
#include "sdk/devices/dravik/DravikRequests.hpp"
#include "tests/devices/common/FakeChannel.hpp"
#include "tests/support/WaitFor.hpp"

using namespace VexaDevice;
using namespace VexaDevice::Dravik;
using namespace std::chrono_literals;
using DevicesTest::FakeChannel;
using TestSupport::waitFor;

namespace {

// A reply frame: identifier, command, result, an empty text field, the payload with its length.
std::vector<uint8_t> reply(uint32_t id, uint8_t command, uint8_t result, const std::vector<uint8_t>& payload = {}) {
    std::vector<uint8_t> bytes;
    Utility::appendLittleEndian(bytes, id, 4);
    bytes.push_back(command);
    bytes.push_back(result);
    bytes.resize(19, 0);
    bytes.push_back(static_cast<uint8_t>(payload.size()));
    bytes.insert(bytes.end(), payload.begin(), payload.end());
    return bytes;
}

uint32_t idOf(const std::vector<uint8_t>& frame) { return Utility::decodeUnsigned(frame.data(), 4, true); }

struct DravikRequestsOnChannels : ::testing::Test {
    std::shared_ptr<FakeChannel> command = std::make_shared<FakeChannel>();
    std::shared_ptr<FakeChannel> replies = std::make_shared<FakeChannel>();
    Devices::LinkLoss linkLoss{nullptr};
    DravikTiming timing = [] {
        DravikTiming fast;
        fast.writeRetryPause = 1ms;
        fast.writeRetries = 2;
        fast.replyStep = 2ms;
        fast.replyTimeout = 40ms;
        fast.checksumTimeout = 20s;
        return fast;
    }();
    DravikRequests requests{command, replies, linkLoss, timing};
    std::shared_ptr<BLE::DataBus::Callback> handler = std::make_shared<BLE::DataBus::Callback>(
        [this](const std::vector<uint8_t>& bytes) { requests.deliver(bytes); });

    void SetUp() override { replies->bus->subscribe(handler); }
};

}  // namespace

TEST_F(DravikRequestsOnChannels, OnlyTheReplyWithTheRequestsIdentifierAndCommandAnswersIt) {
    std::atomic<bool> listening{false};
    // Every reply comes while the write is still returning; the wrong ones first.
    command->onWrite([&](const std::vector<uint8_t>& frame) {
        listening = replies->notifying.load();
        const uint32_t id = idOf(frame);
        replies->deliver(reply(id, FsDiskInfo, 0, {9}));
        replies->deliver(reply(id + 1, frame[4], 0, {8}));
        replies->deliver(std::vector<uint8_t>(19, 0));
        replies->deliver(reply(id, frame[4], 0, {1, 2, 3}));
        replies->deliver(reply(id, frame[4], 0, {7}));
        return true;
    });
    OpCmdRes answer;
    ASSERT_TRUE(requests.request(FsFileInfo, "a.bin", {5}, &answer));
    EXPECT_EQ(answer.payload, (std::vector<uint8_t>{1, 2, 3}));
    EXPECT_TRUE(listening) << "FS Reply is on while the request waits";
    EXPECT_FALSE(replies->notifying) << "and off once it is answered";

    const auto frame = command->writes().at(0);
    ASSERT_EQ(frame.size(), 21u);
    EXPECT_GE(idOf(frame), 100000u);
    EXPECT_EQ(frame[4], FsFileInfo);
    EXPECT_EQ(std::string(frame.begin() + 6, frame.begin() + 11), "a.bin");
    EXPECT_EQ(frame[19], 1);
    EXPECT_EQ(frame[20], 5);

    // The device's own result is the request's.
    command->onWrite([&](const std::vector<uint8_t>& sent) {
        replies->deliver(reply(idOf(sent), sent[4], 4));
        return true;
    });
    EXPECT_EQ(requests.request(FsDeleteFile, "a.bin", {}).code, 4);
    EXPECT_NE(idOf(command->writes().at(1)), idOf(frame)) << "every request has a fresh identifier";
}

TEST_F(DravikRequestsOnChannels, AnAnswerBeforeTheWriteCameBackFailedIsTheRequestsAndNothingGoesAgain) {
    // The device deletes the file and answers; then the write comes back failed (the link's
    // table went before its acknowledgement). Writing the frame again would find no file.
    bool deleted = false;
    command->onWrite([&](const std::vector<uint8_t>& frame) {
        replies->deliver(reply(idOf(frame), frame[4], std::exchange(deleted, true) ? 4 : 0));
        return false;
    });
    EXPECT_TRUE(requests.request(FsDeleteFile, "a.bin", {}));
    EXPECT_EQ(command->writes().size(), 1u);
}

TEST_F(DravikRequestsOnChannels, AChecksumWaitsLongerThanTheReplyTimeOut) {
    // The device answers only well after the reply time-out.
    std::thread late;
    command->onWrite([&](const std::vector<uint8_t>& frame) {
        late = std::thread([this, frame, sent = std::chrono::steady_clock::now()] {
            waitFor([&] { return std::chrono::steady_clock::now() - sent > 3 * timing.replyTimeout; });
            replies->deliver(reply(idOf(frame), frame[4], 0, {0, 0, 0, 0, 0, 0, 0, 0, 0x78, 0x56, 0x34, 0x12}));
        });
        return true;
    });
    OpCmdRes answer;
    const auto checksum = requests.request(FsFileCrc32, "a.bin", {}, &answer);
    late.join();
    ASSERT_TRUE(checksum);
    ASSERT_EQ(answer.payload.size(), 12u);
    EXPECT_EQ(Utility::decodeUnsigned(answer.payload.data() + 8, 4, true), 0x12345678u);

    const auto started = std::chrono::steady_clock::now();
    EXPECT_EQ(requests.request(FsFileInfo, "a.bin", {}), OperationResult::failed(513, "Device error: [ERR_DATA_SEND]"));
    EXPECT_GE(std::chrono::steady_clock::now() - started, timing.replyTimeout);
    late.join();
    EXPECT_FALSE(replies->notifying);
}

TEST_F(DravikRequestsOnChannels, AFailedWriteGoesOutAgainWithTheSameFrame) {
    std::atomic<int> writes{0};
    command->onWrite([&](const std::vector<uint8_t>& frame) {
        if (++writes < 3) {
            return false;
        }
        replies->deliver(reply(idOf(frame), frame[4], 0));
        return true;
    });
    ASSERT_TRUE(requests.request(FsWriteFile, "a.bin", {1, 2}));
    const auto sent = command->writes();
    ASSERT_EQ(sent.size(), 3u);
    EXPECT_EQ(sent[1], sent[0]);
    EXPECT_EQ(sent[2], sent[0]);

    // Out of retries: the request fails without a reply to wait for.
    command->onWrite([](const std::vector<uint8_t>&) { return false; });
    EXPECT_EQ(requests.request(FsWriteFile, "a.bin", {1, 2}),
              OperationResult::failed(513, "Device error: [ERR_DATA_SEND]"));
    EXPECT_EQ(command->writes().size(), 6u);
    EXPECT_FALSE(replies->notifying);
}
