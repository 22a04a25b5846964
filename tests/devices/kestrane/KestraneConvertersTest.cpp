// Converters of Kestrane packs against hand-built notifications.

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

#include "sdk/devices/kestrane/KestraneConverters.hpp"

using namespace VexaDevice::Kestrane;

namespace {

using Bytes = std::vector<uint8_t>;
constexpr double Infinity = std::numeric_limits<double>::infinity();
constexpr double Reference = static_cast<double>(2.4f);

// Four channels of 3-byte values at gain 6, eight records a pack, 2-byte counter: 106 bytes.
SignalParams fourChannelSignal() {
    SignalParams params;
    params.channelCount = 4;
    params.referenceVoltage = Reference;
    params.gain.fill(6.0);
    params.resolutionBits = 24;
    params.packSize = 106;
    params.samplesPerPack = 8;
    params.sampleSize = 3;
    params.counterSize = 2;
    return params;
}

double volts(int32_t raw) { return raw * Reference / (8388607.0 * 6.0); }

// A big-endian signal pack: counter, then per record marker and four values.
Bytes bigEndianSignalPack(uint16_t counter, const std::vector<std::array<uint32_t, 4>>& records) {
    Bytes pack{static_cast<uint8_t>(counter >> 8), static_cast<uint8_t>(counter)};
    uint8_t marker = 0x10;
    for (const auto& values : records) {
        pack.push_back(marker++);
        for (uint32_t v : values) {
            pack.push_back(static_cast<uint8_t>(v >> 16));
            pack.push_back(static_cast<uint8_t>(v >> 8));
            pack.push_back(static_cast<uint8_t>(v));
        }
    }
    return pack;
}

Bytes eightRecordPack(uint16_t counter) {
    std::vector<std::array<uint32_t, 4>> records;
    for (uint32_t i = 0; i < 8; ++i) records.push_back({i, 0xFFFFFF, 0x7FFFFF, 0x800000});
    return bigEndianSignalPack(counter, records);
}

}  // namespace

TEST(SignalConverterTest, EmptyNotificationGivesNothingAndSuccess) {
    const SignalConverter converter(fourChannelSignal(), 0);
    std::vector<_SignalData> out;
    const ConversionResult result = converter.toSignalData({}, out);
    EXPECT_TRUE(result.ok);
    EXPECT_EQ(result.code, 0);
    EXPECT_TRUE(out.empty());
}

TEST(SignalConverterTest, OnePackGivesEightRecordsNumberedFromTheCounterWithScaledValues) {
    const SignalConverter converter(fourChannelSignal(), 0);
    std::vector<_SignalData> out;
    const Bytes pack = eightRecordPack(0x1234);
    ASSERT_EQ(pack.size(), 106u);
    ASSERT_TRUE(converter.toSignalData(pack, out).ok);
    ASSERT_EQ(out.size(), 8u);
    for (uint32_t i = 0; i < 8; ++i) {
        EXPECT_EQ(out[i].PackNum, 0x1234u + i);
        EXPECT_EQ(out[i].Marker, 0x10 + i);
        ASSERT_EQ(out[i].Samples.size(), 4u);
        EXPECT_DOUBLE_EQ(out[i].Samples[0], volts(static_cast<int32_t>(i)));
        EXPECT_DOUBLE_EQ(out[i].Samples[1], volts(-1));  // FF FF FF big-endian
        EXPECT_DOUBLE_EQ(out[i].Samples[2], volts(8388607));
        EXPECT_DOUBLE_EQ(out[i].Samples[3], volts(-8388608));
    }
}

TEST(SignalConverterTest, LittleEndianPacksAndPerChannelGain) {
    SignalParams params = fourChannelSignal();
    params.channelCount = 1;
    params.packSize = 2 + 4;  // counter, one record of marker and one value
    params.gain[0] = 12.0;
    const SignalConverter converter(params, 1);
    std::vector<_SignalData> out;
    ASSERT_TRUE(converter.toSignalData({0x01, 0x02, 0x07, 0x10, 0x00, 0x80}, out).ok);
    ASSERT_EQ(out.size(), 1u);
    EXPECT_EQ(out[0].PackNum, 0x0201u);
    EXPECT_EQ(out[0].Marker, 0x07);
    EXPECT_DOUBLE_EQ(out[0].Samples[0], -8388592 * Reference / (8388607.0 * 12.0));
}

TEST(SignalConverterTest, TwoAndAHalfPacksKeepTheWholePacksAndReportTheLength) {
    const SignalConverter converter(fourChannelSignal(), 0);
    Bytes bytes = eightRecordPack(0);
    const Bytes second = eightRecordPack(8);
    bytes.insert(bytes.end(), second.begin(), second.end());
    bytes.insert(bytes.end(), second.begin(), second.begin() + 53);
    std::vector<_SignalData> out;
    const ConversionResult result = converter.toSignalData(bytes, out);
    EXPECT_FALSE(result.ok);
    EXPECT_EQ(result.code, 546);
    EXPECT_EQ(result.message, "Error data length. Device: [SignalConverter toSignalData][265]");
    ASSERT_EQ(out.size(), 16u);
    EXPECT_EQ(out.back().PackNum, 15u);
}

TEST(SignalConverterTest, NewParametersApplyToTheNextNotification) {
    SignalConverter converter(fourChannelSignal(), 0);
    SignalParams changed = converter.params();
    changed.gain.fill(1.0);
    converter.setParams(changed);
    std::vector<_SignalData> out;
    ASSERT_TRUE(converter.toSignalData(eightRecordPack(0), out).ok);
    EXPECT_DOUBLE_EQ(out[0].Samples[2], Reference);
    EXPECT_EQ(converter.params().gain[3], 1.0);
}

TEST(PackWalkTest, ARecordThatDoesNotFitItsPackIsNotRead) {
    // 2-byte counter and records of 1 + 3 bytes in a 12-byte pack: two whole records, and two
    // bytes that would be the start of a third.
    SignalParams params = fourChannelSignal();
    params.channelCount = 1;
    params.packSize = 12;
    const SignalConverter converter(params, 0);
    std::vector<_SignalData> out;
    const Bytes pack{0, 5, 1, 0, 0, 1, 2, 0, 0, 2, 3, 0x7F};
    EXPECT_TRUE(converter.toSignalData(pack, out).ok);
    ASSERT_EQ(out.size(), 2u);
    EXPECT_EQ(out[1].PackNum, 6u);
    EXPECT_EQ(out[1].Marker, 2);
}

TEST(PackWalkTest, LayoutsThatCannotBeWalkedAreRefusedInsteadOfLooping) {
    SignalParams noPack = fourChannelSignal();
    noPack.packSize = 0;
    std::vector<_SignalData> signal;
    const ConversionResult zeroPack = SignalConverter(noPack, 0).toSignalData({1, 2, 3}, signal);
    EXPECT_FALSE(zeroPack.ok);
    EXPECT_EQ(zeroPack.code, 546);
    EXPECT_TRUE(signal.empty());

    PackParams noValues{20, 0, 2, 0, 0};  // records of no bytes at all
    std::vector<_FPGData> fpg;
    EXPECT_FALSE(FPGConverter(noValues, 0, 0).toFPGData(Bytes(40, 0), fpg).ok);
    EXPECT_TRUE(fpg.empty());

    SignalParams tooMany = fourChannelSignal();
    tooMany.channelCount = 33;
    EXPECT_FALSE(SignalConverter(tooMany, 0).toSignalData(Bytes(106, 0), signal).ok);

    PackParams longCounter{4, 2, 6, 0, 0};
    std::vector<_IMUData> motion;
    EXPECT_FALSE(IMUConverter(longCounter, 0, 0).toIMUData(Bytes(8, 0), motion).ok);
}

TEST(PackWalkTest, RecordNumbersWrapInThirtyTwoBits) {
    PackParams params{4 + 6 + 6, 3, 4, 0, 0};  // two records of two 3-byte values
    const FPGConverter converter(params, 1, 0);
    std::vector<_FPGData> out;
    const Bytes pack{0xFF, 0xFF, 0xFF, 0xFF, 1, 0, 0, 2, 0, 0, 0xFF, 0xFF, 0xFF, 0, 0, 0x80};
    ASSERT_TRUE(converter.toFPGData(pack, out).ok);
    ASSERT_EQ(out.size(), 2u);
    EXPECT_EQ(out[0].PackNum, 0xFFFFFFFFu);
    EXPECT_EQ(out[1].PackNum, 0u);
    EXPECT_EQ(out[0].Value1, 1.0);
    EXPECT_EQ(out[0].Value2, 2.0);
    EXPECT_EQ(out[1].Value1, 16777215.0);  // unsigned
    EXPECT_EQ(out[1].Value2, 8388608.0);
    EXPECT_EQ(out[1].Marker, 0);
}

TEST(ResistConverterTest, ValuesBeyondTheirChannelLimitsReadAsInfinity) {
    ResistParams params;
    params.channelCount = 4;
    params.upperLimit.fill(4000000.0);
    params.lowerLimit.fill(0.0);
    params.packSize = 20;
    params.samplesPerPack = 1;
    params.sampleSize = 4;
    params.counterSize = 4;
    const ResistConverter converter(params, 1, 0);
    // Counter 7; 4000000, 4000001, -1 and 0, little-endian.
    const Bytes pack{7, 0, 0, 0, 0x00, 0x09, 0x3D, 0x00, 0x01, 0x09, 0x3D, 0x00, 0xFF, 0xFF, 0xFF, 0xFF, 0, 0, 0, 0};
    std::vector<_ResistData> out;
    ASSERT_TRUE(converter.toResistData(pack, out).ok);
    ASSERT_EQ(out.size(), 1u);
    EXPECT_EQ(out[0].PackNum, 7u);
    EXPECT_EQ(out[0].Samples, (std::vector<double>{4000000.0, Infinity, Infinity, 0.0}));
}

TEST(IMUConverterTest, AxesScaleWithTheSensitivityCodes) {
    PackParams params{2 + 12, 2, 2, 1, 3};  // one record; accelerometer 4 g, gyroscope 2000 dps
    IMUConverter converter(params, 0, 0);
    const Bytes pack{0, 9, 0x7F, 0xFF, 0x80, 0x01, 0, 0, 0x40, 0, 0xC0, 0, 0, 1};
    std::vector<_IMUData> out;
    ASSERT_TRUE(converter.toIMUData(pack, out).ok);
    ASSERT_EQ(out.size(), 1u);
    EXPECT_EQ(out[0].PackNum, 9u);
    EXPECT_DOUBLE_EQ(out[0].Accelerometer[0], 4.0);
    EXPECT_DOUBLE_EQ(out[0].Accelerometer[1], -4.0);
    EXPECT_DOUBLE_EQ(out[0].Accelerometer[2], 0.0);
    EXPECT_DOUBLE_EQ(out[0].Gyroscope[0], 16384 * 2000.0 / 32767);
    EXPECT_DOUBLE_EQ(out[0].Gyroscope[1], -16384 * 2000.0 / 32767);
    EXPECT_DOUBLE_EQ(out[0].Gyroscope[2], 2000.0 / 32767);

    params.code1 = 4;  // no such sensitivity: factor 0
    converter.setParams(params);
    out.clear();
    ASSERT_TRUE(converter.toIMUData(pack, out).ok);
    EXPECT_EQ(out[0].Accelerometer[0], 0.0);
}
