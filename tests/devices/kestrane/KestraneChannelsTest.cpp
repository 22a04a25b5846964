// Data channels: conversion into the ring, wake-ups, notification switching and lifetime.

#include <gtest/gtest.h>

#include <thread>

#include "sdk/devices/kestrane/KestraneChannels.hpp"
#include "tests/devices/common/FakeChannel.hpp"

using namespace VexaDevice::Kestrane;
using DevicesTest::FakeChannel;
using VexaDevice::Utility::CvWait;

namespace {

// Photoplethysmogram packs of a 1-byte counter and one record of two 1-byte values.
const PackParams Tiny{3, 1, 1, 5, 5};

}  // namespace

TEST(KestraneChannelTest, NotificationsAreConvertedIntoTheRingAndWakeTheWorker) {
    auto fake = std::make_shared<FakeChannel>();
    auto wake = std::make_shared<CvWait>();
    BLEFPGChannel channel(fake, Tiny, wake, 0);
    EXPECT_EQ(channel.ring().capacity(), 1024u);

    std::atomic<bool> woken{false};
    std::thread worker([&] {
        auto held = wake->lock();
        wake->wait(held, std::chrono::seconds(20));
        woken = true;
    });
    // Notify until the worker has surely been waiting.
    while (!woken) fake->deliver({4, 10, 20});
    worker.join();

    // Many packs may have gone in before the worker slept: read the newest, not the first,
    // which the ring may already have dropped.
    _FPGData record;
    ASSERT_GE(channel.ring().totalWritten(), 1u);
    ASSERT_EQ(channel.ring().read(&record, channel.ring().totalWritten() - 1, 1), 1u);
    EXPECT_EQ(record.PackNum, 4u);
    EXPECT_EQ(record.Value1, 10.0);
    EXPECT_EQ(record.Value2, 20.0);
}

TEST(KestraneChannelTest, WholePacksOfAWrongLengthAreStoredAndAGoneWorkerIsSkipped) {
    auto fake = std::make_shared<FakeChannel>();
    auto wake = std::make_shared<CvWait>();
    BLEFPGChannel channel(fake, Tiny, wake, 0);
    wake.reset();
    fake->deliver({1, 2, 3, 2, 4, 6, 9});
    EXPECT_EQ(channel.ring().totalWritten(), 2u);
}

TEST(KestraneChannelTest, NotificationSwitchesAskTheDeviceOnlyWhenNeeded) {
    auto fake = std::make_shared<FakeChannel>();
    {
        BLEFPGChannel channel(fake, Tiny, {}, 0);
        channel.startNotifyIfStopped();
        channel.startNotifyIfStopped();
        EXPECT_EQ(fake->starts, 1);
        channel.stopNotifyIfStarted();
        channel.stopNotifyIfStarted();
        EXPECT_EQ(fake->stops, 1);
        channel.startNotify();
    }
    // Releasing a notifying channel stops its notification.
    EXPECT_EQ(fake->stops, 2);
    EXPECT_FALSE(fake->notifying);
}

TEST(KestraneChannelTest, AReleasedChannelNoLongerConvertsAndLeavesTheBus) {
    auto fake = std::make_shared<FakeChannel>();
    auto channel = std::make_unique<BLEFPGChannel>(fake, Tiny, std::weak_ptr<CvWait>{}, 0);
    EXPECT_EQ(fake->bus->linkedCount(), 1u);
    channel.reset();
    fake->deliver({1, 2, 3});
    EXPECT_EQ(fake->bus->linkedCount(), 0u);
}

TEST(KestraneChannelTest, ConverterParametersReachTheNextNotification) {
    auto fake = std::make_shared<FakeChannel>();
    SignalParams params;
    params.channelCount = 1;
    params.referenceVoltage = 1.0;
    params.gain.fill(1.0);
    params.resolutionBits = 8;  // full scale 127
    params.packSize = 3;
    params.sampleSize = 1;
    params.counterSize = 1;
    BLESignalChannel channel(fake, params, {}, 0);
    fake->deliver({0, 0, 127});
    params.gain.fill(2.0);
    channel.setConverterParams(params);
    EXPECT_EQ(channel.converterParams().gain[0], 2.0);
    fake->deliver({1, 0, 127});
    _SignalData records[2];
    ASSERT_EQ(channel.ring().read(records, 0, 2), 2u);
    EXPECT_DOUBLE_EQ(records[0].Samples[0], 1.0);
    EXPECT_DOUBLE_EQ(records[1].Samples[0], 0.5);
}
