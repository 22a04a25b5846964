#include <gtest/gtest.h>

#include "sim/peers/morvex/MorvexPackWriter.hpp"
#include "sim/peers/morvex/MorvexPeerModel.hpp"

using namespace VexaSim;

TEST(MorvexPackWriter, LaysOutTheBitStreamOfTheDevice) {
    MorvexPackFields fields;
    fields.packNum = 0x5A5;
    fields.marker = true;
    fields.first = {-1, 0x012345, -0x100000, 0x0FFFFF};
    fields.difference = {1, -1, 0x7FFF, -0x8000};
    EXPECT_EQ(writeMorvexPack(fields),
              (std::vector<uint8_t>{0xB4, 0xBF, 0xFF, 0xFF, 0x84, 0x8D, 0x16, 0x00, 0x00, 0x0F,
                                    0xFF, 0xFF, 0x00, 0x01, 0xFF, 0xFF, 0x7F, 0xFF, 0x80, 0x00}));

    fields = {};
    fields.packNum = 2048 + 3;  // only 11 bits go out
    fields.first = {-2, -3, 5, -1048575};
    fields.difference = {-2, 300, 0, -5};
    EXPECT_EQ(writeMorvexPack(fields),
              (std::vector<uint8_t>{0x00, 0x6F, 0xFF, 0xFF, 0x7F, 0xFF, 0xF4, 0x00, 0x00, 0xB0,
                                    0x00, 0x01, 0xFF, 0xFE, 0x01, 0x2C, 0x00, 0x00, 0xFF, 0xFB}));
}

TEST(MorvexPeerModel, AnswersEachCommandFrameWithItsStatus) {
    MorvexPeerModel peer({});
    EXPECT_EQ(peer.statusValue(), (std::vector<uint8_t>{1, 0, 87, 0}));
    EXPECT_FALSE(peer.nextPack());

    EXPECT_EQ(peer.onCommand({0x02, 0x30, 0x30, 0x30, 0x30}), (std::vector<uint8_t>{2, 0, 87, 0}));
    EXPECT_EQ(peer.gainCode(), 0x30);
    EXPECT_TRUE(peer.nextPack());

    EXPECT_EQ(peer.onCommand({0x03, 0x91, 0x91, 0x30, 0x91, 0x04, 0x04, 0xFF}), (std::vector<uint8_t>{3, 0, 87, 0}));
    EXPECT_EQ(peer.selectedElectrode(), 2);
    EXPECT_EQ(peer.polarity(), 0xFF);

    EXPECT_EQ(peer.onCommand({0x02, 0x00}), (std::vector<uint8_t>{3, 1, 87, 0})) << "short frame";
    EXPECT_EQ(peer.onCommand({0x09}), (std::vector<uint8_t>{3, 2, 87, 0})) << "unknown command";
    EXPECT_EQ(peer.onCommand({0x01}), (std::vector<uint8_t>{1, 0, 87, 0}));
}

TEST(MorvexPeerModel, FaultSwitches) {
    MorvexPeerModel peer({});
    peer.setSilent(true);
    EXPECT_FALSE(peer.onCommand({0x01}));
    peer.setSilent(false);
    peer.setRefusal(2);
    EXPECT_EQ(peer.onCommand({0x02, 0, 0, 0, 0}), (std::vector<uint8_t>{1, 2, 87, 0}));
    EXPECT_EQ(peer.state(), 1);
    peer.setRefusal(0);
    peer.setIgnoring(true);
    EXPECT_EQ(peer.onCommand({0x02, 0, 0, 0, 0}), (std::vector<uint8_t>{1, 0, 87, 0}));
    EXPECT_EQ(peer.state(), 1);
}

TEST(MorvexPeerModel, ResistanceSignalFollowsElectrodeAndPolarity) {
    MorvexPeerModel peer({});
    const int32_t count = MorvexPeerModel::resistCount(100e3);
    EXPECT_EQ(count, 39322);  // 0.015 V at gain 6: 0.015 * 6 * 1048575 / 2.4
    peer.setResistance(1, 100e3);
    peer.onCommand({0x03, 0x91, 0x30, 0x91, 0x91, 0x02, 0x02, 0x00});
    MorvexPackFields expected;
    expected.first = {0, count, 0, 0};
    EXPECT_EQ(*peer.nextPack(), writeMorvexPack(expected));

    peer.onCommand({0x03, 0x91, 0x30, 0x91, 0x91, 0x02, 0x02, 0xFF});
    expected.packNum = 1;
    expected.first = {0, -count, 0, 0};
    EXPECT_EQ(*peer.nextPack(), writeMorvexPack(expected)) << "pack numbering restarts only on a new state";
}

TEST(MorvexPeerModel, APackNumberNamesOnePackAcrossTheWrap) {
    MorvexPeerModel peer({});
    peer.onCommand({0x02, 0x00, 0x00, 0x00, 0x00});
    std::vector<std::vector<uint8_t>> first;
    for (int i = 0; i < 2048; ++i) first.push_back(*peer.nextPack());
    // The numbers start again at 0, and with them the same packs, marker bit included.
    for (int i = 0; i < 2048; ++i) ASSERT_EQ(*peer.nextPack(), first[i]) << "pack number " << i;
}
