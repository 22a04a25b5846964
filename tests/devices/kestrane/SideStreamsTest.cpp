// The motion and photoplethysmogram streams of a headband protocol: which commands take the
// owner's command lock, the ping frame, and what a device without one of the streams reports.

#include <gtest/gtest.h>

#include <chrono>
#include <future>
#include <shared_mutex>
#include <string>
#include <vector>

#include "sdk/devices/kestrane/SideStreams.hpp"
#include "tests/devices/common/FakeChannel.hpp"

using namespace VexaDevice::Kestrane;
using DevicesTest::FakeChannel;
using VexaDevice::OperationResult;
using Bytes = std::vector<uint8_t>;

namespace {

constexpr auto Generous = std::chrono::seconds(20);

// A protocol with the streams: it records what it sends and whether its command lock was held
// while it sent.
class Headband : public SideStreams {
public:
    explicit Headband(bool hasFpg)
        : SideStreams(lock_, sender(), writer(), SideStreamRates{4, 2, 0xFF}, PackParams{98, 2, 2, 1, 1},
                      PackParams{50, 3, 2, 5, 5}) {
        motion().open(motionChannel, {}, 0);
        fpg().open(hasFpg ? fpgChannel : nullptr, {}, 0);
    }

    using SideStreams::stopStreams;

    std::shared_mutex lock_;
    std::shared_ptr<FakeChannel> motionChannel = std::make_shared<FakeChannel>();
    std::shared_ptr<FakeChannel> fpgChannel = std::make_shared<FakeChannel>();
    std::vector<Bytes> sent;
    std::vector<bool> lockedWhileSent;
    std::vector<Bytes> written;
    bool writeSucceeds = true;

private:
    SendFrame sender() {
        return [this](const Bytes& frame, const char*) {
            sent.push_back(frame);
            // Another thread cannot share the lock while the command holds it.
            lockedWhileSent.push_back(!std::async(std::launch::async, [this] {
                                           const bool shared = lock_.try_lock_shared();
                                           if (shared) lock_.unlock_shared();
                                           return shared;
                                       }).get());
            return OperationResult::done();
        };
    }
    WriteOnce writer() {
        return [this](const Bytes& frame) {
            written.push_back(frame);
            return writeSucceeds;
        };
    }
};

}  // namespace

TEST(SideStreams, EveryStreamCommandSendsUnderTheOwnersCommandLock) {
    Headband headband(true);
    EXPECT_TRUE(headband.startMEMS());
    EXPECT_TRUE(headband.setGyroscopeSens(3));
    EXPECT_TRUE(headband.stopMEMS());
    EXPECT_TRUE(headband.startFPG());
    EXPECT_TRUE(headband.setRedAmplitude(7));
    EXPECT_TRUE(headband.stopFPG());
    EXPECT_EQ(headband.sent,
              (std::vector<Bytes>{{0x07, 0x89}, {0x07, 0x8B}, {0x07, 0x0B}, {0x08, 0xAD}, {0x08, 0xAF}, {0x08, 0x2F}}));
    EXPECT_EQ(headband.lockedWhileSent, std::vector<bool>(6, true));
    EXPECT_EQ(headband.gyroscopeSens(), 3);
    EXPECT_EQ(headband.redAmplitude(), 7);
}

TEST(SideStreams, PingWritesItsLowByteOnceWithoutTheCommandLock) {
    Headband headband(true);
    std::unique_lock held(headband.lock_);
    auto pinged = std::async(std::launch::async, [&headband] { return headband.ping(0x1234); });
    ASSERT_EQ(pinged.wait_for(Generous), std::future_status::ready) << "the ping waited for the command lock";
    EXPECT_TRUE(pinged.get());

    headband.writeSucceeds = false;
    EXPECT_EQ(headband.ping(-1), OperationResult::failed(513, "Failed send ping"));
    EXPECT_EQ(headband.written, (std::vector<Bytes>{{0x06, 0x34}, {0x06, 0xFF}}));
    EXPECT_TRUE(headband.sent.empty());
}

TEST(SideStreams, ADeviceWithoutAStreamReportsNoRateAndIsNotSentItsCommands) {
    Headband headband(false);
    EXPECT_EQ(headband.samplingFrequencyMEMS(), 4);
    EXPECT_EQ(headband.samplingFrequencyFPG(), 0xFF);
    EXPECT_EQ(headband.startFPG(), OperationResult::failed(514, "StartFPG"));
    EXPECT_EQ(headband.setIrAmplitude(1), OperationResult::failed(515, "Unsupported parameter [IrAmplitude]"));
    EXPECT_EQ(headband.irAmplitude(), 5);

    headband.stopStreams();
    EXPECT_EQ(headband.sent, (std::vector<Bytes>{{0x07, 0x09}}));
}
