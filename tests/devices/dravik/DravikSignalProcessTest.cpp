#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <limits>
#include <numbers>
#include <thread>
#include <vector>

#include "sdk/devices/dravik/DravikSignalProcess.hpp"
#include "tests/devices/dravik/DravikRecords.hpp"
#include "sim/peers/dravik/DravikPacketWriter.hpp"

using namespace VexaDevice;
using namespace VexaDevice::Dravik;
using VexaSim::DravikSampleSet;
using VexaSim::writeDravikPacket;

namespace {

constexpr double kInf = std::numeric_limits<double>::infinity();
constexpr uint8_t kGain24 = 7;

DravikAmplifierParam record(uint8_t rate, uint8_t mode, uint8_t gain) {
    return DravikTest::allChannels(mode, gain, rate);
}

struct Converted {
    std::vector<Kestrane::_SignalData> signals;
    std::vector<_DravikResistData> resists;
    size_t used = 0;
};

Converted parse(SignalProcessParam& param, const std::vector<uint8_t>& bytes) {
    Converted out;
    out.used = parseRawSignal(param, bytes, out.signals, out.resists);
    return out;
}

// Packets of `sets` sample sets from `first` on, each channel of `channels` carrying the
// lead-off voltage of its electrode (ohms) with a phase shift of its own.
std::vector<uint8_t> leadOffStream(uint32_t first, size_t packets, size_t sets, const std::vector<size_t>& channels,
                                   const std::vector<double>& ohms, uint8_t resistMode, uint8_t marker = 0) {
    uint32_t mask = 0;
    for (const size_t channel : channels) {
        mask |= 1u << channel;
    }
    std::vector<uint8_t> bytes;
    uint32_t number = first;
    for (size_t packet = 0; packet < packets; ++packet) {
        std::vector<DravikSampleSet> samples;
        const uint32_t head = number;
        for (size_t set = 0; set < sets; ++set, ++number) {
            DravikSampleSet sample{marker, {}};
            for (size_t index = 0; index < channels.size(); ++index) {
                const double volts = VexaSim::dravikLeadOffVolts(ohms[index], number, 0.3 + 0.7 * index);
                sample.samples.push_back(VexaSim::dravikCounts(volts, 24.0));
            }
            samples.push_back(sample);
        }
        const auto one = writeDravikPacket(head, resistMode, mask, samples);
        bytes.insert(bytes.end(), one.begin(), one.end());
    }
    return bytes;
}

}  // namespace

TEST(DravikConversion, SamplesBecomeVoltsByTheirChannelsGain) {
    auto param = record(kRate500, ChannelSignal, 0);
    param.channelGain[3] = kGain24;
    SignalProcessParam processing(param, 1000.0);
    // Channels 0, 3 and 17 present; one set with marker 5.
    const auto bytes = writeDravikPacket(41, 0, (1u << 0) | (1u << 3) | (1u << 17),
                                         {{5, {8388607, 8388607, -8388608}}, {6, {1, -1, 0}}});
    const auto out = parse(processing, bytes);
    EXPECT_EQ(out.used, bytes.size());
    ASSERT_EQ(out.signals.size(), 2u);
    EXPECT_TRUE(out.resists.empty()) << "no resistance mode, no resistance records";
    const auto& first = out.signals[0];
    EXPECT_EQ(first.PackNum, 41u);
    EXPECT_EQ(first.Marker, 5);
    ASSERT_EQ(first.Samples.size(), 24u);
    EXPECT_DOUBLE_EQ(first.Samples[0], 4.5);
    EXPECT_DOUBLE_EQ(first.Samples[3], 4.5 / 24);
    EXPECT_DOUBLE_EQ(first.Samples[17], -4.5 * 8388608 / 8388607);
    EXPECT_EQ(first.Samples[1], 0.0) << "absent channels read 0";
    EXPECT_EQ(out.signals[1].PackNum, 42u);
    EXPECT_DOUBLE_EQ(out.signals[1].Samples[3], -4.5 / (24 * 8388607.0));
}

// Every index of the gain table converts with its factor, those the amplifier is not set to
// included; an index outside it (an unknown code read from the device) leaves its channel at 0
// and out of the resistance measurement, never NaN.
TEST(DravikConversion, EveryGainOfTheTableConvertsAndAnUnknownOneReadsZero) {
    auto param = record(kRate500, ChannelSignalResist, 0);
    param.channelGain[1] = kUnknownIndex;
    param.channelGain[2] = 2;
    param.channelGain[3] = 8;
    param.channelGain[4] = 9;
    param.channelGain[5] = 10;
    SignalProcessParam processing(param, 1000.0);
    const auto out = parse(processing, writeDravikPacket(0, 1, 0b111111, {{0, {8388607, 100, 300, 500, 50, 25}}}));
    ASSERT_EQ(out.signals.size(), 1u);
    const auto& samples = out.signals[0].Samples;
    EXPECT_DOUBLE_EQ(samples[0], 4.5);
    EXPECT_EQ(samples[1], 0.0);
    EXPECT_DOUBLE_EQ(samples[2], 300 * 4.5 / (3 * 8388607.0));
    EXPECT_DOUBLE_EQ(samples[3], 500 * 4.5 / (5 * 8388607.0));
    EXPECT_DOUBLE_EQ(samples[4], 50 * 4.5 / (0.5 * 8388607.0));
    EXPECT_DOUBLE_EQ(samples[5], 25 * 4.5 / (0.25 * 8388607.0));
    EXPECT_TRUE(std::none_of(samples.begin(), samples.end(), [](double v) { return std::isnan(v); }));
    ASSERT_EQ(out.resists.size(), 1u);
    EXPECT_EQ(out.resists[0].Values[1], std::numeric_limits<double>::infinity()) << "not measured";
    EXPECT_FALSE(std::isnan(out.resists[0].Values[5]));
}

TEST(DravikConversion, TheWalkStopsAtEmptyOrIncompletePackets) {
    SignalProcessParam processing(record(kRate500, ChannelSignal, 0), 1000.0);
    const auto good = writeDravikPacket(1, 0, 0b11, {{0, {1, 2}}, {0, {3, 4}}});
    auto bytes = good;
    bytes.insert(bytes.end(), good.begin(), good.end());
    auto cut = good;
    cut.pop_back();
    auto tail = bytes;
    tail.insert(tail.end(), cut.begin(), cut.end());
    auto out = parse(processing, tail);
    EXPECT_EQ(out.used, bytes.size()) << "the incomplete third packet stays for later";
    EXPECT_EQ(out.signals.size(), 4u);

    auto noSets = writeDravikPacket(1, 0, 0b11, {});
    noSets.resize(20, 0);
    EXPECT_EQ(parse(processing, noSets).used, 0u);
    auto noChannels = writeDravikPacket(1, 0, 0, {{0, {}}});
    noChannels.resize(20, 0);
    EXPECT_EQ(parse(processing, noChannels).used, 0u);
    EXPECT_EQ(parse(processing, std::vector<uint8_t>(good.begin(), good.begin() + 12)).used, 0u);
}

TEST(DravikConversion, ATruncatedPacketConvertsItsWholeSetsOnly) {
    SignalProcessParam processing(record(kRate500, ChannelSignal, 0), 1000.0);
    auto packet = writeDravikPacket(7, 0, 0b1, {{1, {10}}, {2, {20}}, {3, {30}}});
    packet.resize(packet.size() - 2);
    std::vector<Kestrane::_SignalData> signals;
    std::vector<_DravikResistData> resists;
    const std::span<const uint8_t> one(packet);
    processing.convert(std::span(&one, 1), signals, resists);
    ASSERT_EQ(signals.size(), 2u);
    EXPECT_EQ(signals[1].Marker, 2);
}

TEST(DravikDemodulation, RecoversElectrodeResistancesAtEveryRate) {
    const std::vector<size_t> channels{0, 5, 13, 23};
    const std::vector<double> ohms{5000, 20000, 150000, 1200000};
    for (const uint8_t rate : {kRate250, kRate500, kRate1000}) {
        SignalProcessParam processing(record(rate, ChannelSignalResist, kGain24), 1000.0);
        // 2 s of samples let the 10 Hz low-pass filters settle at every rate.
        const auto out = parse(processing, leadOffStream(100, 400, 5, channels, ohms, 1));
        ASSERT_EQ(out.resists.size(), 2000u);
        const auto& last = out.resists.back();
        EXPECT_EQ(last.PackNum, 2099);
        for (size_t index = 0; index < channels.size(); ++index) {
            EXPECT_NEAR(last.Values[channels[index]], ohms[index], ohms[index] * 1e-3)
                << "rate " << int(rate) << " channel " << channels[index];
        }
        EXPECT_EQ(last.Values[1], kInf) << "channels without lead-off stay unmeasured";
        EXPECT_EQ(last.Referents, std::vector<double>(3, kInf));
    }
}

TEST(DravikDemodulation, HighResistanceIsInfiniteAndAnUnknownRateStillMeasures) {
    // No rate in the record (a read of an unknown rate): the phase step is still a quarter turn.
    SignalProcessParam processing(record(kUnknownIndex, ChannelSignalResist, kGain24), 1000.0);
    const auto out = parse(processing, leadOffStream(0, 200, 5, {2, 3}, {30000, 5000000}, 1));
    EXPECT_NEAR(out.resists.back().Values[2], 30000, 30);
    EXPECT_EQ(out.resists.back().Values[3], kInf);
}

TEST(DravikDemodulation, TheProcessingFiltersFollowTheRecordsRate) {
    // The first resistance values, while the filters settle, are those of the 250 Hz filters.
    auto processing = makeSignalProcessParam(record(kRate250, ChannelSignalResist, kGain24));
    const auto out = parse(*processing, leadOffStream(0, 2, 5, {0}, {10000}, 1));
    Sensor::IIRCanonicalFilter cosine(Sensor::kLowPass10Hz250), sine(Sensor::kLowPass10Hz250);
    for (uint32_t number = 0; number < 10; ++number) {
        const double volts =
            VexaSim::dravikCounts(VexaSim::dravikLeadOffVolts(10000, number, 0.3), 24.0) * 4.5 / (24 * 8388607.0);
        const double phase = ((number + 1) & 3) * std::numbers::pi / 2;
        const double amplitude =
            std::hypot(cosine.filter(std::cos(phase) * volts), sine.filter(std::sin(phase) * volts));
        const double ohms = std::max(0.0, 2 * amplitude * 1.1 / 2.4e-8 - 1000.0);
        EXPECT_NEAR(out.resists[number].Values[0], ohms, 1e-6) << number;
    }
}

TEST(DravikDemodulation, CarriedResistancesStayOnTheirChannelsAndResetToInfinity) {
    SignalProcessParam processing(record(kRate500, ChannelSignalResist, kGain24), 1000.0);
    // Measure channels 4 and 9 in simple mode, then switch to complex mode without a measuring
    // marker: the last values are carried on the same channels.
    parse(processing, leadOffStream(0, 200, 5, {4, 9}, {8000, 40000}, 1));
    auto carried = parse(processing, leadOffStream(1000, 1, 1, {4, 9}, {1, 1}, 2));
    ASSERT_EQ(carried.resists.size(), 1u);
    EXPECT_NEAR(carried.resists[0].Values[4], 8000, 8);
    EXPECT_NEAR(carried.resists[0].Values[9], 40000, 40);
    EXPECT_EQ(carried.resists[0].Values[0], kInf);
    EXPECT_EQ(carried.resists[0].Values[1], kInf);

    processing.resetResistance();
    carried = parse(processing, leadOffStream(1001, 1, 1, {4, 9}, {1, 1}, 2));
    EXPECT_EQ(carried.resists[0].Values[4], kInf);
    EXPECT_EQ(carried.resists[0].Values[9], kInf);
}

TEST(DravikDemodulation, ComplexModeMeasuresReferentsEvenBehindASignalOnlyChannel) {
    auto param = record(kRate500, ChannelSignalResist, kGain24);
    param.channelMode[0] = ChannelSignal;  // the first present channel has no lead-off
    SignalProcessParam processing(param, 1000.0);
    constexpr uint8_t kReferents12 = 0x08 | 1;
    constexpr uint8_t kReferent3 = 0x08 | 2;
    constexpr uint8_t kChannelsMarker = 0x08 | 0;
    // Channel 2 sits on the first referent's side, channel 10 on the second's.
    auto out = parse(processing, leadOffStream(0, 200, 5, {0, 2, 10}, {1, 6000, 9000}, 2, kReferents12));
    auto last = out.resists.back();
    EXPECT_NEAR(last.Referents[0], 6000, 6);
    EXPECT_NEAR(last.Referents[1], 9000, 9);
    EXPECT_EQ(last.Referents[2], kInf);
    EXPECT_EQ(out.signals.back().Marker, 0) << "a measuring marker is not the host's";
    EXPECT_EQ(last.Values[2], kInf) << "referent sets leave the channels alone";

    // Each referent set starts over, so a referent that got worse is reported as it is now.
    out = parse(processing, leadOffStream(1000, 200, 5, {0, 2, 10}, {1, 60000, 90000}, 2, kReferents12));
    last = out.resists.back();
    EXPECT_NEAR(last.Referents[0], 60000, 60);
    EXPECT_NEAR(last.Referents[1], 90000, 90);

    out = parse(processing, leadOffStream(2000, 200, 5, {0, 17}, {1, 7000}, 2, kReferent3));
    EXPECT_NEAR(out.resists.back().Referents[2], 7000, 7);

    out = parse(processing, leadOffStream(3000, 200, 5, {0, 2}, {1, 3000}, 2, kChannelsMarker));
    EXPECT_NEAR(out.resists.back().Values[2], 3000, 3);
    EXPECT_EQ(out.resists.back().Values[0], kInf) << "a signal-only channel is never measured";
}

TEST(DravikDemodulation, RecordUpdatesWhileAnotherThreadConverts) {
    SignalProcessParam processing(record(kRate500, ChannelSignalResist, kGain24), 1000.0);
    const auto bytes = leadOffStream(0, 20, 5, {0, 1, 2}, {1000, 2000, 3000}, 1);
    std::atomic<bool> done{false};
    std::thread converter([&] {
        for (int round = 0; round < 50; ++round) {
            const auto out = parse(processing, bytes);
            EXPECT_EQ(out.signals.size(), 100u);
        }
        done = true;
    });
    uint8_t rate = kRate250;
    while (!done) {
        auto next = record(rate, ChannelSignalResist, kGain24);
        processing.update(next);
        EXPECT_EQ(processing.amplifier(), next);
        processing.resetResistance();
        rate = rate == kRate1000 ? kRate250 : static_cast<uint8_t>(rate + 1);
    }
    converter.join();
}
