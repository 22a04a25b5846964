#include <gtest/gtest.h>

#include <vector>

#include "sdk/core/RtException.hpp"
#include "sdk/devices/dravik/DravikResult.hpp"
#include "sdk/devices/dravik/DravikSignalProcess.hpp"
#include "tests/devices/dravik/DravikRecords.hpp"

using namespace VexaDevice;
using namespace VexaDevice::Dravik;

namespace {

using DravikTest::allChannels;

std::vector<uint8_t> build(const DravikAmplifierParam& param) {
    std::vector<uint8_t> packet;
    const auto result = buildAdcConfig(param, packet);
    EXPECT_TRUE(result) << result.message;
    return packet;
}

}  // namespace

TEST(DravikAdcConfig, AllChannelsSignalAtGain24And250HzWithOneReferent) {
    // Hand-made: 2 sets (146 / 73), full mask, one referent; per converter CONFIG1 0xD6 (250 Hz),
    // CONFIG2 0xD0, CONFIG3 0xEC (first) / 0xE0, LOFF 0x07, eight CHnSET 0x60 (gain code 6,
    // normal input), no lead-off bits, last register 2.
    std::vector<uint8_t> expected{0x02, 0xFF, 0xFF, 0xFF, 0x01, 0x00, 0x00, 0x00};
    for (int converter = 0; converter < 3; ++converter) {
        const std::vector<uint8_t> block{0xD6, 0xD0, converter == 0 ? uint8_t{0xEC} : uint8_t{0xE0},
                                         0x07, 0x60, 0x60,
                                         0x60, 0x60, 0x60,
                                         0x60, 0x60, 0x60,
                                         0x00, 0x00, 0x00,
                                         0x00, 0x00, 0x00,
                                         0x00, 0x00, 0x00,
                                         0x00, 0x00, 0x02};
        expected.insert(expected.end(), block.begin(), block.end());
    }
    EXPECT_EQ(build(allChannels(ChannelSignal, 7, kRate250)), expected);
}

TEST(DravikAdcConfig, ChannelModesSetInputsMaskAndLeadOffBits) {
    auto param = allChannels(ChannelOff, 0, kRate1000);
    param.referentMode = 2;
    param.channelMode[0] = ChannelShorted;
    param.channelMode[9] = ChannelSignalResist;
    param.channelMode[10] = ChannelSignal;
    param.channelMode[23] = ChannelTest;
    param.channelGain[9] = 3;  // x4: code 2
    param.configFlag = 1;
    const auto packet = build(param);
    EXPECT_EQ(packet[0], 146 / 13);  // four channels
    EXPECT_EQ(packet[1], 0x01);
    EXPECT_EQ(packet[2], 0x06);
    EXPECT_EQ(packet[3], 0x80);
    EXPECT_EQ(packet[4], 2);
    EXPECT_EQ(packet[6], 1);
    const size_t first = 8, second = 32, third = 56;
    EXPECT_EQ(packet[first + 0], 0xD4);
    EXPECT_EQ(packet[first + 4], 0x01);  // shorted
    EXPECT_EQ(packet[first + 5], 0x81);  // off: power-down, shorted
    EXPECT_EQ(packet[first + 14], 0x01);
    EXPECT_EQ(packet[second + 5], 0x20);  // x4, normal input
    EXPECT_EQ(packet[second + 6], 0x00);
    EXPECT_EQ(packet[second + 14], 0x02);  // lead-off on channel 9 only
    EXPECT_EQ(packet[third + 1], 0xD4);    // test signal in this converter
    EXPECT_EQ(packet[second + 1], 0xD0);
    EXPECT_EQ(packet[third + 11], 0x05);
    EXPECT_EQ(packet[third + 14], 0x80);

    auto one = allChannels(ChannelOff, 0, kRate500);
    one.channelMode[4] = ChannelSignalResist;
    EXPECT_EQ(build(one)[0], 36);
    EXPECT_EQ(build(allChannels(ChannelOff, 0, kRate500))[0], 146) << "no channel: one set per byte budget";
}

TEST(DravikAdcConfig, RefusesRatesGainsAndMissingReferentChannels) {
    std::vector<uint8_t> packet{1, 2, 3};
    auto gain = allChannels(ChannelSignal, 0, kRate500);
    gain.channelGain[5] = 2;
    auto result = buildAdcConfig(gain, packet);
    EXPECT_FALSE(result);
    EXPECT_EQ(result.code, 517);
    EXPECT_EQ(result.message, "The specified Gain value is not supported");
    EXPECT_EQ(packet, (std::vector<uint8_t>{1, 2, 3})) << "a refused record leaves the packet alone";

    gain.samplingFrequency = 7;
    result = buildAdcConfig(gain, packet);
    EXPECT_EQ(result.message, "The specified Frequency value is not supported") << "the rate is checked first";

    auto referents = allChannels(ChannelSignal, 0, kRate500);
    referents.referentMode = 2;
    referents.referentsResist = 1;
    referents.channelMode[3] = ChannelSignalResist;
    result = buildAdcConfig(referents, packet);
    EXPECT_EQ(result.code, 517);
    EXPECT_EQ(result.message,
              "To measure the resistance of the referents, it is required to turn on [2] channels "
              "in the signal measurement (SignalResist) mode");
}

TEST(DravikAdcConfig, TwoReferentsInOneConverterKeepBothLeadOffBits) {
    auto param = allChannels(ChannelSignal, 0, kRate500);
    param.referentMode = 2;
    param.referentsResist = 1;
    param.channelMode[1] = ChannelSignalResist;
    param.channelMode[6] = ChannelSignalResist;
    param.channelMode[7] = ChannelSignalResist;  // a third one is not a referent
    const auto packet = build(param);
    EXPECT_EQ(packet[8 + 15], 0x42);
    EXPECT_EQ(decodeAdcConfig(packet), param);
}

TEST(DravikAdcConfig, BuiltPacketsReadBackAsTheirRecord) {
    for (const uint8_t rate : {kRate250, kRate500, kRate1000}) {
        DravikAmplifierParam param;
        param.samplingFrequency = rate;
        param.referentMode = rate == kRate500 ? 1 : 2;
        const uint8_t gains[] = {0, 1, 3, 4, 5, 6, 7};
        for (size_t channel = 0; channel < kChannels; ++channel) {
            param.channelMode[channel] = static_cast<uint8_t>((channel + rate) % 5);
            param.channelGain[channel] = gains[(channel * 3 + rate) % 7];
        }
        param.configFlag = rate == kRate1000;
        EXPECT_EQ(decodeAdcConfig(build(param)), param) << "rate " << int(rate);
    }
}

TEST(DravikAdcConfig, ReadsUseTheLastWholePacketAndNameUnknownCodes) {
    auto first = build(allChannels(ChannelSignal, 0, kRate250));
    auto second = build(allChannels(ChannelSignalResist, 1, kRate500));
    second[8 + 4] = 0x70;  // gain code 7 has no index
    second[8 + 0] = 0xD3;  // a rate the amplifier does not run at
    std::vector<uint8_t> both = first;
    both.insert(both.end(), second.begin(), second.end());
    both.push_back(0xAA);  // a stray byte is logged and ignored
    const auto param = decodeAdcConfig(both);
    EXPECT_EQ(param.channelGain[0], kUnknownIndex);
    EXPECT_EQ(param.channelGain[1], 1);
    EXPECT_EQ(param.samplingFrequency, kUnknownIndex);
    EXPECT_EQ(param.channelMode[1], ChannelSignalResist);

    EXPECT_THROW(decodeAdcConfig(std::vector<uint8_t>(79, 0)), Utility::rt_exception);
    try {
        decodeAdcConfig({});
    } catch (const Utility::rt_exception& error) {
        EXPECT_STREQ(error.what(), "Can not read ADC configure");
    }
}

TEST(DravikAcsStatus, StateCodesBecomeModes) {
    auto pack = [](uint8_t state, uint8_t resist, uint32_t survey) {
        std::vector<uint8_t> bytes(20, 0);
        bytes[0] = state;
        bytes[1] = resist;
        bytes[4] = static_cast<uint8_t>(survey);
        bytes[5] = static_cast<uint8_t>(survey >> 8);
        bytes[6] = static_cast<uint8_t>(survey >> 16);
        bytes[7] = static_cast<uint8_t>(survey >> 24);
        return bytes;
    };
    EXPECT_EQ(parseAcsStatus(pack(0, 0, 0)).mode, AmpModePowerDown);
    EXPECT_EQ(parseAcsStatus(pack(1, 0, 0)).mode, AmpModeIdle);
    const auto signal = parseAcsStatus(pack(2, 0, 0x12345678));
    EXPECT_EQ(signal.mode, AmpModeSignal);
    EXPECT_TRUE(signal.dataActive);
    EXPECT_EQ(signal.surveyId, 0x12345678u);
    EXPECT_EQ(parseAcsStatus(pack(2, 2, 0)).mode, AmpModeSignalResist);
    EXPECT_EQ(parseAcsStatus(pack(9, 1, 0)).mode, AmpModeUnknown);
    EXPECT_FALSE(parseAcsStatus(pack(1, 0, 0)).dataActive);

    auto two = pack(0, 0, 1);
    const auto last = pack(2, 1, 7);
    two.insert(two.end(), last.begin(), last.end());
    EXPECT_EQ(parseAcsStatus(two).mode, AmpModeSignalResist);
    EXPECT_EQ(parseAcsStatus(two).surveyId, 7u);
    EXPECT_EQ(parseAcsStatus(std::vector<uint8_t>(19, 2)).mode, AmpModeUnknown);
}

TEST(DravikResult, TextsOfTheCodes) {
    EXPECT_EQ(dravikErrorName(0), "DSS_ERROR_NOERROR");
    EXPECT_EQ(dravikErrorName(4), "[FR_NO_FILE][Could not find the file]");
    EXPECT_EQ(dravikErrorName(19), "[FR_INVALID_PARAMETER][Given parameter is invalid]");
    EXPECT_EQ(dravikErrorName(129), "DSS_ERROR_LEN");
    EXPECT_EQ(dravikErrorName(132), "DSS_ERROR_DENIED");
    EXPECT_EQ(dravikErrorName(513), "ERR_DATA_SEND");
    EXPECT_EQ(dravikErrorName(526), "ERR_TIMEOUT");
    EXPECT_EQ(dravikErrorName(531), "[ERR_REQUIRED_SYNC_STATUS] Requires status [Synchronized]");
    for (const uint16_t gap : {20, 128, 133, 512, 532, 65535}) {
        EXPECT_EQ(dravikErrorName(gap), "UNKNOWN") << gap;
    }
    EXPECT_TRUE(dravikDeviceResult(0));
    EXPECT_EQ(dravikDeviceResult(4),
              OperationResult::failed(4, "Device error: [[FR_NO_FILE][Could not find the file]]"));
    EXPECT_EQ(dravikFailure(518), OperationResult::failed(518, "ERR_FILE_NAME_WRONG"));
}
