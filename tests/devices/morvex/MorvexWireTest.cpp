#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "sdk/devices/common/PackSplitter.hpp"
#include "sdk/devices/morvex/MorvexWire.hpp"

using namespace VexaDevice::Morvex;

namespace {

MorvexPack packOf(std::vector<uint8_t> bytes) {
    MorvexPack pack;
    std::copy(bytes.begin(), bytes.end(), pack.bytes.begin());
    return pack;
}

// Packet 0x5A5, marker 1, first samples O1 -1, T3 0x012345, T4 -0x100000, O2 0x0FFFFF,
// differences 1, -1, 0x7FFF, -0x8000 (bit stream written out by hand).
const MorvexPack ExtremePack = packOf({0xB4, 0xBF, 0xFF, 0xFF, 0x84, 0x8D, 0x16, 0x00, 0x00, 0x0F,
                                       0xFF, 0xFF, 0x00, 0x01, 0xFF, 0xFF, 0x7F, 0xFF, 0x80, 0x00});

// Packet 3, marker 0, first samples O1 -2, T3 -3, T4 5, O2 -1048575, differences -2, 300,
// 0, -5. O1's word carries T3's set bits below it: dividing instead of shifting gives -1.
const MorvexPack NegativePack = packOf({0x00, 0x6F, 0xFF, 0xFF, 0x7F, 0xFF, 0xF4, 0x00, 0x00, 0xB0,
                                        0x00, 0x01, 0xFF, 0xFE, 0x01, 0x2C, 0x00, 0x00, 0xFF, 0xFB});

}  // namespace

TEST(MorvexPackDecode, ReadsEveryFieldOfAHandWrittenPack) {
    const PackCounts c = readPackCounts(ExtremePack);
    EXPECT_EQ(c.packNum, 0x5A5u);
    EXPECT_EQ(c.marker, 1);
    EXPECT_EQ(c.first, (std::array<int32_t, 4>{-1, 0x012345, -0x100000, 0x0FFFFF}));
    EXPECT_EQ(c.difference, (std::array<int16_t, 4>{1, -1, 0x7FFF, -0x8000}));
}

TEST(MorvexPackDecode, NegativeSamplesDecodeExactlyWhateverFollowsThem) {
    const PackCounts c = readPackCounts(NegativePack);
    EXPECT_EQ(c.packNum, 3u);
    EXPECT_EQ(c.marker, 0);
    EXPECT_EQ(c.first, (std::array<int32_t, 4>{-2, -3, 5, -1048575}));
    EXPECT_EQ(c.difference, (std::array<int16_t, 4>{-2, 300, 0, -5}));
}

TEST(MorvexPackDecode, VoltsOfBothSamplesInRecordOrder) {
    const _SignalData d = decodePack(NegativePack, 6.0);
    ASSERT_EQ(d.Samples.size(), 2u);
    const double lsb = 2.4 / (6.0 * 1048575.0);
    // Record order is O1, O2, T3, T4; the device order is O1, T3, T4, O2.
    EXPECT_DOUBLE_EQ(d.Samples[0].O1, -2 * lsb);
    EXPECT_DOUBLE_EQ(d.Samples[0].O2, -1048575 * lsb);
    EXPECT_DOUBLE_EQ(d.Samples[0].T3, -3 * lsb);
    EXPECT_DOUBLE_EQ(d.Samples[0].T4, 5 * lsb);
    EXPECT_DOUBLE_EQ(d.Samples[1].O1, -4 * lsb);
    EXPECT_DOUBLE_EQ(d.Samples[1].O2, -1048580 * lsb);
    EXPECT_DOUBLE_EQ(d.Samples[1].T3, 297 * lsb);
    EXPECT_DOUBLE_EQ(d.Samples[1].T4, 5 * lsb);
    EXPECT_EQ(d.PackNum, 3u);

    const _SignalData unity = decodePack(ExtremePack, 1.0);
    EXPECT_DOUBLE_EQ(unity.Samples[0].O2, 2.4);
    EXPECT_DOUBLE_EQ(unity.Samples[1].T4, (-0x100000 + 0x7FFF) * 2.4 / 1048575.0);
}

TEST(MorvexPackDecode, AReusedBatchHoldsExactlyThePacksOfTheLastDecode) {
    auto expectDecodedAs = [](const _SignalData& record, const MorvexPack& pack) {
        const _SignalData fresh = decodePack(pack, 6.0);
        EXPECT_EQ(record.PackNum, fresh.PackNum);
        EXPECT_EQ(record.Marker, fresh.Marker);
        EXPECT_EQ(record.Samples, fresh.Samples);
    };
    std::vector<_SignalData> batch;
    const std::vector<MorvexPack> three{ExtremePack, NegativePack, ExtremePack};
    decodePacksInto(three, 6.0, batch);
    ASSERT_EQ(batch.size(), 3u);
    for (size_t i = 0; i < three.size(); ++i) expectDecodedAs(batch[i], three[i]);

    // A smaller pass leaves nothing of the larger one behind, a larger one nothing stale.
    const std::vector<MorvexPack> one{NegativePack};
    decodePacksInto(one, 6.0, batch);
    ASSERT_EQ(batch.size(), 1u);
    expectDecodedAs(batch[0], NegativePack);
    const std::vector<MorvexPack> two{ExtremePack, ExtremePack};
    decodePacksInto(two, 6.0, batch);
    ASSERT_EQ(batch.size(), 2u);
    expectDecodedAs(batch[0], ExtremePack);
    expectDecodedAs(batch[1], ExtremePack);
    decodePacksInto({}, 6.0, batch);
    EXPECT_TRUE(batch.empty());
}

TEST(MorvexPackDecode, SplitsNotificationsIntoWholePacks) {
    std::vector<uint8_t> bytes(40, 0);
    bytes[20] = 0xB4;
    auto two = VexaDevice::Devices::splitPacks<MorvexPack>(bytes);
    EXPECT_EQ(two.packs.size(), 2u);
    EXPECT_FALSE(two.remainder);
    EXPECT_EQ(two.packs[1].bytes[0], 0xB4);

    auto oneAndAHalf = VexaDevice::Devices::splitPacks<MorvexPack>(std::vector<uint8_t>(30, 0));
    EXPECT_EQ(oneAndAHalf.packs.size(), 1u);
    EXPECT_TRUE(oneAndAHalf.remainder);

    auto shortStatus = VexaDevice::Devices::splitPacks<DevStatusPack>(std::vector<uint8_t>{2, 0, 77});
    EXPECT_TRUE(shortStatus.packs.empty());
    EXPECT_TRUE(shortStatus.remainder);

    auto statuses = VexaDevice::Devices::splitPacks<DevStatusPack>(std::vector<uint8_t>{1, 0, 50, 0, 2, 1, 49, 0});
    ASSERT_EQ(statuses.packs.size(), 2u);
    EXPECT_EQ(statuses.packs[1].state(), 2);
    EXPECT_EQ(statuses.packs[1].errorCode(), 1);
    EXPECT_EQ(statuses.packs[1].battery(), 49);

    // A notification longer than any the radio carries still splits into every pack, in order.
    std::vector<uint8_t> long40(40 * MorvexPack::Size);
    for (size_t i = 0; i < 40; ++i) long40[i * MorvexPack::Size] = static_cast<uint8_t>(i + 1);
    const auto forty = VexaDevice::Devices::splitPacks<MorvexPack>(long40);
    ASSERT_EQ(forty.packs.size(), 40u);
    for (size_t i = 0; i < 40; ++i) EXPECT_EQ(forty.packs[i].bytes[0], i + 1);
}

TEST(MorvexFrames, CommandBytes) {
    EXPECT_EQ(idleFrame(), (std::vector<uint8_t>{0x01}));
    EXPECT_EQ(startSignalFrame(4), (std::vector<uint8_t>{0x02, 0x00, 0x00, 0x00, 0x00}));
    const std::vector<uint8_t> gainCodes{0x10, 0x20, 0x30, 0x40, 0x00, 0x50, 0x60};
    for (uint8_t index = 0; index < gainCodes.size(); ++index) {
        const uint8_t g = gainCodes[index];
        EXPECT_EQ(startSignalFrame(index), (std::vector<uint8_t>{0x02, g, g, g, g})) << int(index);
    }
    EXPECT_EQ(selectElectrodeFrame(Electrode::O1, Polarity::Positive),
              (std::vector<uint8_t>{0x03, 0x30, 0x91, 0x91, 0x91, 0x01, 0x01, 0x00}));
    EXPECT_EQ(selectElectrodeFrame(Electrode::T4, Polarity::Negative),
              (std::vector<uint8_t>{0x03, 0x91, 0x91, 0x30, 0x91, 0x04, 0x04, 0xFF}));
    EXPECT_EQ(selectElectrodeFrame(Electrode::O2, Polarity::Positive),
              (std::vector<uint8_t>{0x03, 0x91, 0x91, 0x91, 0x30, 0x08, 0x08, 0x00}));
}

TEST(MorvexFrames, ErrorNames) {
    EXPECT_EQ(morvexErrorName(0), "KSP2_ERROR_NOERROR");
    EXPECT_EQ(morvexErrorName(1), "KSP2_ERROR_LEN");
    EXPECT_EQ(morvexErrorName(2), "KSP2_ERROR_MODE");
    EXPECT_EQ(morvexErrorName(511), "ERR_DATA_SEND");
    EXPECT_EQ(morvexErrorName(767), "ERR_UNSUPPORTED_COMMAND");
    EXPECT_EQ(morvexErrorName(1023), "ERR_UNSUPPORTED_PARAM");
    EXPECT_EQ(morvexErrorName(1279), "ERR_UNSUPPORTED_PARAM_ACCESS");
    EXPECT_EQ(morvexErrorName(1535), "ERR_WRONG_PARAM_VALUE");
    EXPECT_EQ(morvexErrorName(3), "UNKNOWN");
    EXPECT_EQ(morvexErrorName(513), "UNKNOWN");
}
