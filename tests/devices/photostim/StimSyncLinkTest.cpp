// The emulated stimulators' sync link: a member that follows the link synchronises on the
// source's pulses and then reads the source's time; a broken link takes both out.

#include <gtest/gtest.h>

#include "sim/peers/photostim/PtsServicePeer.hpp"
#include "sim/radio/SimRadio.hpp"

using VexaSim::PtsPeerSettings;
using VexaSim::PtsServicePeer;

TEST(StimSyncLink, AFollowerSynchronisesOnTheSourcesPulsesAndSharesItsTime) {
    auto radio = VexaSim::SimRadio::create();
    PtsPeerSettings sourceSettings;
    sourceSettings.ownClockStart = 1000;
    auto source = PtsServicePeer::add(radio->addPeripheral(1, "source"), sourceSettings);
    PtsPeerSettings followerSettings;
    followerSettings.link = source->syncLink();
    followerSettings.syncSource = false;
    followerSettings.ownClockStart = 900000000;
    auto follower = PtsServicePeer::add(radio->addPeripheral(2, "follower"), followerSettings);
    EXPECT_EQ(source->syncLink()->memberCount(), 2u);

    const auto write = [](const std::shared_ptr<PtsServicePeer>& peer, std::vector<uint8_t> frame) {
        peer->commandCharacteristic()->centralWrite(frame);
    };
    write(follower, {2});
    EXPECT_EQ(follower->state(), PtsServicePeer::SyncPrepared);
    EXPECT_GT(follower->now() - source->now(), 800000000u);  // free clocks far apart
    write(source, {2});
    EXPECT_EQ(follower->state(), PtsServicePeer::Synchronised);
    EXPECT_EQ(source->state(), PtsServicePeer::SyncPrepared);
    write(source, {3});
    EXPECT_EQ(source->state(), PtsServicePeer::Synchronised);
    const uint32_t sourceTime = source->now();
    EXPECT_LT(follower->now() - sourceTime, 62500u);

    // A follower prepared while the source still pulses synchronises at once.
    write(follower, {1});
    write(source, {1});
    write(source, {2});
    write(follower, {2});
    EXPECT_EQ(follower->state(), PtsServicePeer::Synchronised);

    source->syncLink()->breakSync();
    EXPECT_EQ(follower->state(), PtsServicePeer::Idle);
    EXPECT_FALSE(follower->synchronised());
    follower.reset();
    EXPECT_EQ(source->syncLink()->memberCount(), 1u);
}
