// Library records turned into the flat records host functions receive.

#include <gtest/gtest.h>

#include "sdk/api/HostRecords.hpp"

using namespace VexaDevice::Api;
using ChannelRecord = VexaDevice::Sensor::EEGChannelInfo;
using VexaDevice::Sensor::EEGChannelType;
namespace Kestrane = VexaDevice::Kestrane;
namespace Morvex = VexaDevice::Morvex;

namespace {

Kestrane::_SignalData signal(uint32_t packNum, std::vector<double> samples, uint8_t marker = 0) {
    return Kestrane::_SignalData{packNum, marker, std::move(samples)};
}

}  // namespace

TEST(MorvexRecords, EverySampleOfEveryPackIsOneRecordWithItsPacksNumberAndMarker) {
    std::vector<Morvex::_SignalData> packs;
    for (uint32_t pack = 0; pack < 3; ++pack) {
        Morvex::_SignalData data;
        data.PackNum = 100 + pack;
        data.Marker = pack == 1 ? 5 : 0;
        data.Samples = {{1.0 * pack, 2.0, 3.0, 4.0}, {-1.0 * pack, -2.0, -3.0, -4.0}};
        packs.push_back(data);
    }
    const auto records = morvexSignalRecords(packs);
    ASSERT_EQ(records.size(), 6u);
    EXPECT_EQ(records[2].PackNum, 101u);
    EXPECT_EQ(records[3].PackNum, 101u);
    EXPECT_EQ(records[2].Marker, 1) << "any marker is delivered as 1";
    EXPECT_EQ(records[4].Marker, 0);
    EXPECT_EQ(records[5].O1, -2.0);
    EXPECT_EQ(records[5].O2, -2.0);
    EXPECT_EQ(records[5].T3, -3.0);
    EXPECT_EQ(records[5].T4, -4.0);
    EXPECT_TRUE(morvexSignalRecords(std::vector<Morvex::_SignalData>{}).empty());
}

TEST(MorvexRecords, ABatchPastTheInPlaceRecordsKeepsEveryRecordInOrder) {
    for (const uint32_t packCount : {64u, 65u, 200u}) {
        std::vector<Morvex::_SignalData> packs(packCount);
        for (uint32_t pack = 0; pack < packCount; ++pack) {
            packs[pack].PackNum = pack;
            packs[pack].Samples = {{1.0 * pack, 0, 0, 0}, {-1.0 * pack, 0, 0, 0}};
        }
        const auto records = morvexSignalRecords(packs);
        ASSERT_EQ(records.size(), 2u * packCount);
        for (uint32_t i = 0; i < records.size(); ++i) {
            ASSERT_EQ(records[i].PackNum, i / 2) << "record " << i << " of " << packCount << " packs";
            ASSERT_EQ(records[i].O1, (i % 2 == 0 ? 1.0 : -1.0) * (i / 2));
        }
    }
}

TEST(ElectrodePicking, FixedAndInOrderPositions) {
    const std::vector<double> values{1, 2, 3, 4};
    EXPECT_EQ(ElectrodePicker::fixedOrder().pick(values), (std::array<double, 4>{1, 4, 2, 3}));
    EXPECT_EQ(ElectrodePicker::inOrder().pick(values), (std::array<double, 4>{1, 2, 3, 4}));
    // Fewer values than electrodes: the missing ones are 0, nothing is read past the vector.
    EXPECT_EQ(ElectrodePicker::fixedOrder().pick({7, 8}), (std::array<double, 4>{7, 0, 8, 0}));
    EXPECT_EQ(ElectrodePicker::inOrder().pick({}), (std::array<double, 4>{0, 0, 0, 0}));

    const Kestrane::_ResistData resist{9, 0, {10, 20, 30, 40}};
    const auto lorrel = fourChannelResistRecord(resist, ElectrodePicker::fixedOrder());
    EXPECT_EQ(lorrel.PackNum, 9u);
    EXPECT_EQ(lorrel.O1, 10);
    EXPECT_EQ(lorrel.O2, 40);
    EXPECT_EQ(lorrel.T3, 20);
    EXPECT_EQ(lorrel.T4, 30);
}

TEST(ElectrodePicking, ChannelMapFromTheDevicesChannelList) {
    // Positions are the channels' identifiers; the data index is the family's own number.
    const std::vector<ChannelRecord> channels{{3, EEGChannelType::O1, 3, "O1"},
                                              {0, EEGChannelType::O2, 3, "O2"},
                                              {1, EEGChannelType::T3, 3, "T3"},
                                              {9, EEGChannelType::O1, 3, "O1 again"}};
    const auto map = channelIndexMap(channels);
    EXPECT_EQ(map.at(static_cast<uint8_t>(EEGChannelType::O1)), 3) << "the first entry of a type wins";

    // No T4 in the list: T4 is 0.0 in every record.
    const auto picker = ElectrodePicker::mapped(map);
    const auto records = morvexSignalRecords({signal(1, {10, 11, 12, 13}, 1), signal(2, {20, 21, 22, 23})}, picker);
    ASSERT_EQ(records.size(), 2u);
    EXPECT_EQ(records[0].O1, 13);
    EXPECT_EQ(records[0].O2, 10);
    EXPECT_EQ(records[0].T3, 11);
    EXPECT_EQ(records[0].T4, 0.0);
    EXPECT_EQ(records[0].Marker, 1);
    EXPECT_EQ(records[1].PackNum, 2u);

    // A position past the record's values reads 0.0.
    const auto shortRecord = morvexSignalRecords({signal(3, {1, 2})}, picker);
    EXPECT_EQ(shortRecord[0].O1, 0.0);
    EXPECT_EQ(shortRecord[0].O2, 1.0);
    EXPECT_EQ(morvexResistRecord(Kestrane::_ResistData{4, 0, {1, 2}}, picker).O1, 0.0);
}

TEST(ValueArrayRecords, EachRecordOwnsACopyOfItsValues) {
    std::vector<Kestrane::_SignalData> source{signal(5, {1.5, 2.5, 3.5}, 2), signal(6, std::vector<double>{})};
    SignalChannelsBatch batch(source);
    source[0].Samples.assign(3, 0.0);
    auto& records = batch.records();
    ASSERT_EQ(records.size(), 2u);
    EXPECT_EQ(records[0].PackNum, 5u);
    EXPECT_EQ(records[0].Marker, 2);
    ASSERT_EQ(records[0].SampleCount, 3u);
    EXPECT_EQ(records[0].Samples[2], 3.5);
    EXPECT_EQ(records[1].SampleCount, 0u);
    EXPECT_EQ(records[1].Samples, nullptr);

    ResistChannelsBatch resist({Kestrane::_ResistData{7, 1, {100, 200}}});
    ASSERT_EQ(resist.records().size(), 1u);
    EXPECT_EQ(resist.records()[0].PackNum, 7u);
    EXPECT_EQ(resist.records()[0].ValueCount, 2u);
    EXPECT_EQ(resist.records()[0].Values[1], 200);
}

TEST(MotionAndPhotoplethysmogramRecords, CarryPackNumberAndValuesButNoMarker) {
    Kestrane::_IMUData imu{12, 1, {1, 2, 3}, {4, 5, 6}};
    const auto mems = memsRecords({imu});
    ASSERT_EQ(mems.size(), 1u);
    EXPECT_EQ(mems[0].PackNum, 12u);
    EXPECT_EQ(mems[0].AccelerometerZ, 3);
    EXPECT_EQ(mems[0].GyroscopeX, 4);
    EXPECT_EQ(mems[0].GyroscopeZ, 6);
    const auto fpg = fpgRecords({Kestrane::_FPGData{13, 1, 1000, 2000}});
    ASSERT_EQ(fpg.size(), 1u);
    EXPECT_EQ(fpg[0].PackNum, 13u);
    EXPECT_EQ(fpg[0].Value2, 2000);
}

TEST(ChannelInfoRecords, NameCutToSevenCharactersAndIndexToItsLowByte) {
    const auto info = hostChannelInfo(ChannelRecord{4, EEGChannelType::Fp2, 0x1FF, "Frontal12"});
    EXPECT_STREQ(info.Name, "Frontal");
    EXPECT_EQ(info.DataIndex, 0xFF);
    EXPECT_EQ(info.ChannelId, 4);
    EXPECT_EQ(info.ChannelType, static_cast<uint8_t>(EEGChannelType::Fp2));
    EXPECT_STREQ(hostChannelInfo(ChannelRecord{0, EEGChannelType::CZ, 0, ""}).Name, "CZ");
}
