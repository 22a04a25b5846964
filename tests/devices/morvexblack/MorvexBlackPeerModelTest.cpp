// The emulated MorvexBlack device's answers: what the device tests rely on.

#include <gtest/gtest.h>

#include "sim/peers/morvexblack/MorvexBlackPeerModel.hpp"

using VexaSim::MorvexBlackPeerModel;
using VexaSim::MorvexBlackPeerSettings;
using Bytes = std::vector<uint8_t>;
using Statuses = std::vector<Bytes>;

TEST(MorvexBlackPeerModel, ModeFramesAreAnsweredWithModeErrorAndBattery) {
    MorvexBlackPeerModel device({});
    EXPECT_EQ(device.statusValue(), (Bytes{2, 0, 81, 0}));
    EXPECT_EQ((device.onCommand({0x03, 0x30, 0x30, 0x30, 0x30})), (Statuses{{3, 0, 81, 0}}));
    EXPECT_EQ(device.gainCodes(), (Bytes{0x30, 0x30, 0x30, 0x30}));
    EXPECT_EQ((device.onCommand({0x03, 0x30})), (Statuses{{3, MorvexBlackPeerModel::WrongParameter, 81, 0}}));
    EXPECT_EQ((device.onCommand({0x04, 0x30, 0x30, 0x10, 0x30})),
              (Statuses{{3, MorvexBlackPeerModel::WrongParameter, 81, 0}}));
    EXPECT_EQ((device.onCommand({0x05})), (Statuses{{3, MorvexBlackPeerModel::NotSupported, 81, 0}}));
    EXPECT_EQ((device.onCommand({0x01})), (Statuses{{1, 0, 81, 0}}));
}

TEST(MorvexBlackPeerModel, StreamFramesAndPingsGoUnanswered) {
    MorvexBlackPeerSettings settings;
    settings.hasFpg = false;
    MorvexBlackPeerModel device(settings);
    EXPECT_TRUE(device.onCommand({0x07, 0x89}).empty());
    EXPECT_TRUE(device.motionRunning());
    EXPECT_EQ(device.motionByte(), 0x89);
    EXPECT_TRUE(device.onCommand({0x06, 0x2A}).empty());
    EXPECT_EQ((device.pings()), (Statuses{{0x06, 0x2A}}));
    EXPECT_EQ((device.onCommand({0x08, 0xAD})), (Statuses{{2, MorvexBlackPeerModel::NotSupported, 81, 0}}))
        << "a device without the photoplethysmogram does not know the frame";
    EXPECT_FALSE(device.fpgRunning());
}

TEST(MorvexBlackPeerModel, FaultSwitches) {
    MorvexBlackPeerModel device({});
    device.setStaleFirst(true);
    EXPECT_EQ(device.onCommand({0x01}), (Statuses{{2, 0, 81, 0}, {1, 0, 81, 0}}));
    device.setStaleFirst(false);
    device.setIgnoring(true);
    EXPECT_EQ((device.onCommand({0x02})), (Statuses{{1, 0, 81, 0}}));
    device.setIgnoring(false);
    device.setRefusal(3);
    EXPECT_EQ((device.onCommand({0x02})), (Statuses{{1, 3, 81, 0}}));
    device.setSilent(true);
    EXPECT_TRUE(device.onCommand({0x02}).empty());
}

TEST(MorvexBlackPeerModel, ResistanceWindowsStartWithTheMarkerAndProbeOneChannelEach) {
    MorvexBlackPeerModel device({});
    device.onCommand({0x04, 0x30, 0x30, 0x30, 0x30});
    std::vector<uint8_t> pack = device.nextPacks().signal;
    ASSERT_EQ(pack.size(), 106u);
    EXPECT_EQ(pack[2], 0xAA) << "first record of a window";
    EXPECT_EQ(pack[2 + 13], 0x00);
    // Records 24-31 (pack 3) carry channel 0's level, the other channels stay 0.
    for (int i = 0; i < 2; ++i) device.nextPacks();
    pack = device.nextPacks().signal;
    const int64_t level = MorvexBlackPeerModel::probeCount(device.settings().resistanceOhms[0]);
    const auto value = [&](int record, int ch) {
        const size_t at = 2 + record * 13 + 1 + ch * 3;
        int32_t raw = (pack[at] << 16) | (pack[at + 1] << 8) | pack[at + 2];
        return raw >= 0x800000 ? raw - 0x1000000 : raw;
    };
    EXPECT_EQ(value(0, 0), level);
    EXPECT_EQ(value(7, 0), level);
    EXPECT_EQ(value(7, 1), 0);
    EXPECT_EQ(pack[0] << 8 | pack[1], 24) << "counter: records sent so far";
}
