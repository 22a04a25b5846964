// Link-loss reports against the link's real state: a loss reported late, once the link is back,
// must not cancel what the reconnection reads nor fail the commands after it.

#include "sdk/devices/common/LinkLoss.hpp"

#include <gtest/gtest.h>

#include <memory>

#include "tests/devices/common/FakeBleDevice.hpp"

namespace {

using VexaDevice::Devices::LinkLoss;

TEST(LinkLossReports, ALossIsKeptUntilTheLinkIsBackAndALateReportIsOverAlready) {
    auto device = std::make_shared<DevicesTest::FakeBleDevice>();
    LinkLoss loss(device);
    EXPECT_FALSE(loss.relink()) << "a link never lost needs no new reads";

    device->down = true;
    EXPECT_TRUE(loss.reportLoss());
    EXPECT_TRUE(loss.flag().load()) << "waits end early while the link is down";
    EXPECT_TRUE(loss.reportLoss()) << "a second report of the same loss";
    device->down = false;
    EXPECT_TRUE(loss.relink());
    EXPECT_FALSE(loss.isLost());
    EXPECT_FALSE(loss.relink()) << "the device is read afresh once per loss";

    // The link dropped and came back before its report arrived.
    EXPECT_FALSE(loss.reportLoss());
    EXPECT_FALSE(loss.isLost());
    EXPECT_FALSE(loss.relink());

    loss.markLost();
    EXPECT_TRUE(loss.isLost()) << "a protocol that stops is lost whatever the link says";
}

TEST(LinkLossReports, WithoutADeviceEveryReportIsALoss) {
    LinkLoss loss(nullptr);
    EXPECT_TRUE(loss.reportLoss());
}

}  // namespace
