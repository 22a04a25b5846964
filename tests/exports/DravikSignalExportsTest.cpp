// Recorded Dravik data converted by a host through the exported signal-processing functions.

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <limits>
#include <vector>

#include "sdk/api/include/ambrelkit2.h"
#include "sim/peers/dravik/DravikPacketWriter.hpp"

namespace {

DravikAmplifierParam hostRecord() {
    DravikAmplifierParam param{};
    param.Setting1 = 5;  // 500 Hz
    param.Setting2 = 1;
    param.ChannelMode[0] = 2;  // signal with lead-off
    param.ChannelMode[1] = 3;  // signal only
    param.ChannelGain[0] = 7;  // x24
    param.ChannelGain[1] = 0;
    return param;
}

}  // namespace

TEST(DravikSignalExports, ConvertsRecordedPacketsIntoTheHostsBuffers) {
    CallStatus status{};
    CallbackHandle* handle = nullptr;
    ASSERT_EQ(createSignalProcessParamDravik(hostRecord(), &handle, &status), 1) << status.ErrorMsg;
    ASSERT_NE(handle, nullptr);

    // 100 packets of 5 sets: channel 0 sees a 12 kOhm electrode, channel 1 a fixed 1 V.
    std::vector<uint8_t> raw;
    for (uint32_t packet = 0; packet < 100; ++packet) {
        std::vector<VexaSim::DravikSampleSet> sets;
        for (uint32_t set = 0; set < 5; ++set) {
            const uint32_t number = packet * 5 + set;
            sets.push_back({static_cast<uint8_t>(set),
                            {VexaSim::dravikCounts(VexaSim::dravikLeadOffVolts(12000, number, 1.0), 24),
                             VexaSim::dravikCounts(1.0, 1)}});
        }
        const auto bytes = VexaSim::writeDravikPacket(packet * 5, 1, 0b11, sets);
        raw.insert(raw.end(), bytes.begin(), bytes.end());
    }
    const size_t whole = raw.size();
    raw.resize(whole + 7, 0xEE);  // the start of a packet that has not arrived yet

    std::vector<std::array<double, 24>> signalValues(600);
    std::vector<DravikSignalPack> signals(600);
    std::vector<std::array<double, 24>> resistValues(600);
    std::vector<DravikResistPack> resists(600);
    for (size_t index = 0; index < 600; ++index) {
        signals[index].Samples = signalValues[index].data();
        signals[index].SzSamples = index == 0 ? 1 : 24;  // the first pack has room for one value
        resists[index].Values = resistValues[index].data();
        resists[index].SzValues = 24;
    }
    auto length = static_cast<int32_t>(raw.size());
    int32_t signalCount = 600;
    int32_t resistCount = 600;
    ASSERT_EQ(parseRawSignalDravik(raw.data(), &length, handle, signals.data(), &signalCount, resists.data(),
                                   &resistCount, &status),
              1)
        << status.ErrorMsg;
    EXPECT_EQ(length, static_cast<int32_t>(whole));
    EXPECT_EQ(signalCount, 500);
    EXPECT_EQ(resistCount, 500);
    EXPECT_EQ(signals[0].SzSamples, 1u);
    EXPECT_EQ(signals[499].SzSamples, 24u);
    EXPECT_EQ(signals[499].PackNum, 499);
    EXPECT_EQ(signals[499].Marker, 4);
    EXPECT_NEAR(signalValues[499][1], 1.0, 1e-6);
    EXPECT_EQ(resists[499].Number, 499);
    EXPECT_NEAR(resistValues[499][0], 12000, 12);
    EXPECT_EQ(resistValues[499][1], std::numeric_limits<double>::infinity()) << "a signal-only channel";
    EXPECT_EQ(resists[499].Value1, std::numeric_limits<double>::infinity());

    // The handle keeps its filters: the next packet continues the settled demodulation.
    const auto next = VexaSim::writeDravikPacket(
        500, 1, 0b11, {{0, {VexaSim::dravikCounts(VexaSim::dravikLeadOffVolts(12000, 500, 1.0), 24), 0}}});
    length = static_cast<int32_t>(next.size());
    resistCount = 1;
    ASSERT_EQ(
        parseRawSignalDravik(next.data(), &length, handle, nullptr, nullptr, resists.data(), &resistCount, &status), 1);
    EXPECT_EQ(resistCount, 1);
    EXPECT_NEAR(resistValues[0][0], 12000, 12);
    removeSignalProcessParamDravik(handle);
}

TEST(DravikSignalExports, AnyRecordMakesParameters) {
    // Conversion never fails on the record: even an all-zero one gives parameters.
    CallStatus status{};
    CallbackHandle* handle = nullptr;
    EXPECT_EQ(createSignalProcessParamDravik(DravikAmplifierParam{}, &handle, &status), 1);
    ASSERT_NE(handle, nullptr);
    removeSignalProcessParamDravik(handle);
    removeSignalProcessParamDravik(nullptr);
}

TEST(DravikSignalExports, GainsOutsideTheGainTableAreRefusedAndEveryOtherConverts) {
    CallStatus status{};
    CallbackHandle* handle = nullptr;
    auto param = hostRecord();
    param.ChannelGain[23] = 0xFF;
    EXPECT_EQ(createSignalProcessParamDravik(param, &handle, &status), 0);
    EXPECT_EQ(status.Error, 517u);
    EXPECT_STREQ(status.ErrorMsg, "The specified Gain value is not supported");
    EXPECT_EQ(handle, nullptr);
    param.ChannelGain[23] = 11;
    EXPECT_EQ(createSignalProcessParamDravik(param, &handle, &status), 0);
    EXPECT_EQ(status.Error, 517u);

    // Indices 2, 8, 9 and 10 of the table: factors 3, 5, 0.5 and 0.25.
    param.ChannelGain[23] = 0;
    const uint8_t gains[] = {2, 8, 9, 10};
    const double factors[] = {3, 5, 0.5, 0.25};
    for (size_t channel = 0; channel < 4; ++channel) {
        param.ChannelMode[channel] = 3;
        param.ChannelGain[channel] = gains[channel];
    }
    ASSERT_EQ(createSignalProcessParamDravik(param, &handle, &status), 1) << status.ErrorMsg;
    const auto raw = VexaSim::writeDravikPacket(9, 0, 0b1111, {{0, {838861, 838861, 838861, 838861}}});
    auto length = static_cast<int32_t>(raw.size());
    std::array<double, 24> values{};
    DravikSignalPack pack{};
    pack.Samples = values.data();
    pack.SzSamples = 24;
    int32_t count = 1;
    ASSERT_EQ(parseRawSignalDravik(raw.data(), &length, handle, &pack, &count, nullptr, nullptr, &status), 1);
    ASSERT_EQ(count, 1);
    for (size_t channel = 0; channel < 4; ++channel) {
        EXPECT_FALSE(std::isnan(values[channel])) << channel;
        EXPECT_DOUBLE_EQ(values[channel], 838861 * 4.5 / (factors[channel] * 8388607)) << channel;
    }
    removeSignalProcessParamDravik(handle);
}

TEST(DravikSignalExports, NoBytesOrNoRoomStillSucceed) {
    CallStatus status{};
    CallbackHandle* handle = nullptr;
    ASSERT_EQ(createSignalProcessParamDravik(hostRecord(), &handle, &status), 1) << status.ErrorMsg;
    const auto raw = VexaSim::writeDravikPacket(0, 1, 0b11, {{0, {1, 2}}, {0, {3, 4}}});
    DravikSignalPack signal{};
    DravikResistPack resist{};
    int32_t signals = 0;
    int32_t resists = 0;

    int32_t length = 0;
    ASSERT_EQ(parseRawSignalDravik(raw.data(), &length, handle, &signal, &signals, &resist, &resists, &status), 1)
        << status.ErrorMsg;
    EXPECT_EQ(length, 0) << "nothing used";
    EXPECT_EQ(signals, 0);
    EXPECT_EQ(resists, 0);

    length = static_cast<int32_t>(raw.size());
    ASSERT_EQ(parseRawSignalDravik(raw.data(), &length, handle, &signal, &signals, &resist, &resists, &status), 1)
        << status.ErrorMsg;
    EXPECT_EQ(length, static_cast<int32_t>(raw.size())) << "every byte used, though no record fits";
    EXPECT_EQ(signals, 0);
    EXPECT_EQ(resists, 0);
    EXPECT_EQ(signal.Samples, nullptr) << "nothing copied";

    int32_t negative = -1;
    EXPECT_EQ(parseRawSignalDravik(raw.data(), &negative, handle, nullptr, nullptr, nullptr, nullptr, &status), 0);
    EXPECT_EQ(status.Error, 119u);
    length = static_cast<int32_t>(raw.size());
    EXPECT_EQ(parseRawSignalDravik(raw.data(), &length, nullptr, nullptr, nullptr, nullptr, nullptr, &status), 0);
    EXPECT_EQ(status.Error, 119u);
    EXPECT_STREQ(status.ErrorMsg, "Required parameters must be specified");
    removeSignalProcessParamDravik(handle);
}
