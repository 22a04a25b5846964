// Resistance from marked windows of signal records.

#include <gtest/gtest.h>

#include <limits>
#include <vector>

#include "sdk/devices/kestrane/SignalToResistConverter.hpp"

using namespace VexaDevice::Kestrane;

namespace {

constexpr uint32_t Channels = 4;
constexpr size_t Window = Channels * 64;
constexpr double Current = 1.5e-7;

ResistParams params() {
    ResistParams p;
    p.channelCount = Channels;
    p.current = Current;
    p.upperLimit.fill(0.8);
    p.lowerLimit.fill(-0.8);
    return p;
}

// A window of records whose channel `ch` holds `high` in its block's records 24-31 and `low`
// in 56-63 (zero elsewhere); the first record carries the marker.
std::vector<_SignalData> window(const std::vector<double>& high, const std::vector<double>& low, uint32_t first = 0) {
    std::vector<_SignalData> records(Window);
    for (size_t i = 0; i < Window; ++i) {
        records[i].PackNum = first + static_cast<uint32_t>(i);
        records[i].Samples.assign(Channels, 0.0);
        const size_t ch = i / 64;
        const size_t offset = i % 64;
        if (offset >= 24 && offset < 32) records[i].Samples[ch] = high[ch];
        if (offset >= 56) records[i].Samples[ch] = low[ch];
    }
    records[0].Marker = SignalToResistConverter::WindowMarker;
    return records;
}

_SignalData marker() {
    _SignalData record;
    record.Marker = SignalToResistConverter::WindowMarker;
    record.Samples.assign(Channels, 0.0);
    return record;
}

// |mean(high) - mean(low)| / 2 / current / 2.
double ohms(double high, double low) { return std::abs(high - low) * 0.5 / Current * 0.5; }

std::vector<double> sampleValues{0.3, 0.1, -0.2, 0.05};
std::vector<double> zeros(Channels, 0.0);

}  // namespace

TEST(SignalToResistConverterTest, AClosedWindowGivesOneValuePerChannel) {
    SignalToResistConverter converter(params());
    auto records = window(sampleValues, zeros, 100);
    records.push_back(marker());
    std::vector<_ResistData> out;
    EXPECT_TRUE(converter.process(records.data(), records.size(), out));
    ASSERT_EQ(out.size(), 1u);
    EXPECT_EQ(out[0].PackNum, 100u);
    ASSERT_EQ(out[0].Samples.size(), Channels);
    for (size_t ch = 0; ch < Channels; ++ch) EXPECT_DOUBLE_EQ(out[0].Samples[ch], ohms(sampleValues[ch], 0.0)) << ch;
}

TEST(SignalToResistConverterTest, ValuesAtTheLimitsSaturateTheirChannel) {
    SignalToResistConverter converter(params());
    auto records = window({0.8, 0.1, 0.1, 0.1}, {0.0, -0.8, 0.0, 0.0});
    _ResistData out;
    ASSERT_TRUE(converter.compute(records, out));
    EXPECT_EQ(out.Samples[0], std::numeric_limits<double>::infinity());
    EXPECT_EQ(out.Samples[1], std::numeric_limits<double>::infinity());
    EXPECT_DOUBLE_EQ(out.Samples[2], ohms(0.1, 0.0));
}

TEST(SignalToResistConverterTest, AWindowShortOfOneRecordGivesNothing) {
    SignalToResistConverter converter(params());
    auto records = window(sampleValues, zeros);
    records.pop_back();
    _ResistData out;
    EXPECT_FALSE(converter.compute(records, out));
    EXPECT_TRUE(out.Samples.empty());

    records.push_back(marker());
    std::vector<_ResistData> delivered;
    EXPECT_FALSE(converter.process(records.data(), records.size(), delivered));
    EXPECT_TRUE(delivered.empty());
}

TEST(SignalToResistConverterTest, EveryWindowOfABatchIsDelivered) {
    SignalToResistConverter converter(params());
    auto records = window(sampleValues, zeros);
    const auto second = window(zeros, sampleValues, 1000);
    records.insert(records.end(), second.begin(), second.end());
    records.push_back(marker());
    std::vector<_ResistData> out;
    EXPECT_TRUE(converter.process(records.data(), records.size(), out));
    ASSERT_EQ(out.size(), 2u);
    EXPECT_EQ(out[1].PackNum, 1000u);
    EXPECT_DOUBLE_EQ(out[1].Samples[0], ohms(0.0, sampleValues[0]));
}

TEST(SignalToResistConverterTest, WindowsSpanBatchesAndSparseMarkersKeepOnlyTheFirstWindowsWorth) {
    SignalToResistConverter converter(params());
    auto records = window(sampleValues, zeros);
    // Three windows' worth of further records before the next marker: they must neither grow
    // the window nor shift the measured groups.
    _SignalData plain;
    plain.Samples.assign(Channels, 0.0);
    records.insert(records.end(), 2 * Window, plain);
    std::vector<_ResistData> out;
    const size_t half = records.size() / 2;
    EXPECT_FALSE(converter.process(records.data(), half, out));
    EXPECT_FALSE(converter.process(records.data() + half, records.size() - half, out));
    const _SignalData closing = marker();
    EXPECT_TRUE(converter.process(&closing, 1, out));
    ASSERT_EQ(out.size(), 1u);
    EXPECT_DOUBLE_EQ(out[0].Samples[3], ohms(sampleValues[3], 0.0));
}

TEST(SignalToResistConverterTest, RecordsWithoutAnyMarkerAreNeverMeasured) {
    SignalToResistConverter converter(params());
    auto records = window(sampleValues, zeros);
    records[0].Marker = 0;
    std::vector<_ResistData> out;
    for (int i = 0; i < 20; ++i) EXPECT_FALSE(converter.process(records.data(), records.size(), out));
    const _SignalData first = marker();
    EXPECT_FALSE(converter.process(&first, 1, out));
    EXPECT_TRUE(out.empty());
}

TEST(SignalToResistConverterTest, ResetDropsAPartialWindow) {
    SignalToResistConverter converter(params());
    auto records = window(sampleValues, zeros);
    std::vector<_ResistData> out;
    converter.process(records.data(), records.size() - 1, out);
    converter.reset();
    // Without the reset these would complete the old window.
    converter.process(&records.back(), 1, out);
    const _SignalData closing = marker();
    EXPECT_FALSE(converter.process(&closing, 1, out));
    EXPECT_TRUE(out.empty());
}

TEST(SignalToResistConverterTest, RecordsWithTooFewValuesAreSkipped) {
    SignalToResistConverter converter(params());
    auto records = window(sampleValues, zeros);
    records[5].Samples.resize(2);
    records.push_back(marker());
    std::vector<_ResistData> out;
    EXPECT_FALSE(converter.process(records.data(), records.size(), out));
}

TEST(SignalToResistConverterTest, AWindowMissingPacksIsNotFilledFromTheNext) {
    // A pack of channel 0's block is lost, and so is the pack that opens the next window: the
    // next window's records must not fill the gap (every channel would be measured on records
    // of the wrong step).
    SignalToResistConverter converter(params());
    auto records = window(sampleValues, zeros, 0);
    records.erase(records.begin() + 8, records.begin() + 16);
    const auto next = window(sampleValues, zeros, static_cast<uint32_t>(Window));
    records.insert(records.end(), next.begin() + 8, next.end());
    _SignalData closing = marker();
    closing.PackNum = static_cast<uint32_t>(2 * Window);
    records.push_back(closing);
    std::vector<_ResistData> out;
    EXPECT_FALSE(converter.process(records.data(), records.size(), out));
    EXPECT_TRUE(out.empty());

    // The window the marker opened is measured as usual.
    auto following = window(sampleValues, zeros, static_cast<uint32_t>(2 * Window));
    following.erase(following.begin());
    following.push_back(marker());
    EXPECT_TRUE(converter.process(following.data(), following.size(), out));
    ASSERT_EQ(out.size(), 1u);
    EXPECT_DOUBLE_EQ(out[0].Samples[0], ohms(sampleValues[0], 0.0));
}

TEST(SignalToResistConverterTest, RecordNumbersFollowEachOtherAcrossTheCounterWrap) {
    // A 2-byte counter: a pack that starts at 65532 numbers its records 65532 up to 65539, the
    // last four being records 0 to 3 of the wrapped count; the next pack starts at 4.
    ResistParams wrapping = params();
    wrapping.counterSize = 2;
    SignalToResistConverter converter(wrapping);
    auto records = window(sampleValues, zeros, 65532 - 128);
    for (size_t i = 136; i < records.size(); ++i) records[i].PackNum = static_cast<uint32_t>(i - 136 + 4);
    records.push_back(marker());
    std::vector<_ResistData> out;
    EXPECT_TRUE(converter.process(records.data(), records.size(), out));
    ASSERT_EQ(out.size(), 1u);
    EXPECT_DOUBLE_EQ(out[0].Samples[2], ohms(sampleValues[2], 0.0));
}
