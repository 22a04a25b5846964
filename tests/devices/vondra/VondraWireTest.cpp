// Amplifier frames, code tables and pack layouts of both Vondra generations, against
// hand-computed bytes.

#include <gtest/gtest.h>

#include <array>

#include "sdk/devices/vondra/VondraWire.hpp"

using namespace VexaDevice::Vondra;
using VexaDevice::OperationResult;

namespace {

const OperationResult WrongGain = OperationResult::failed(517, "The specified Gain value is not supported");
const OperationResult WrongCurrent = OperationResult::failed(517, "The specified Current value is not supported");

}  // namespace

TEST(VondraWire, DefaultSettingFramesOfBothGenerations) {
    // Gain index 4 goes out as code 3, current index 1 as code 1.
    EXPECT_EQ(amplifierFrame(VondraGeneration::First, defaultAmplifier(VondraGeneration::First)),
              (std::vector<uint8_t>{0x08, 1, 3, 1, 3, 1, 3, 1, 3, 1, 3, 1, 3, 1, 3, 1, 1, 1, 1, 1, 1, 1, 1}));
    EXPECT_EQ(amplifierFrame(VondraGeneration::Second, defaultAmplifier(VondraGeneration::Second)),
              (std::vector<uint8_t>{0x08, 1, 3, 1, 3, 1, 3, 1, 3, 1, 1, 1, 1, 1}));
}

TEST(VondraWire, FramePlacesFlagsGainsAndCurrentPerChannel) {
    VondraAmplifierParam param;
    param.signalUse = {1, 0, 1, 1, 0, 1, 1};
    param.resistUse = {0, 1, 1, 0, 1, 0, 1};
    param.gain = {0, 1, 3, 4, 5, 6, 1};
    param.current = 6;
    ASSERT_TRUE(checkAmplifier(VondraGeneration::First, param));
    EXPECT_EQ(amplifierFrame(VondraGeneration::First, param),
              (std::vector<uint8_t>{0x08, 1, 0, 0, 1, 1, 2, 1, 3, 0, 4, 1, 5, 1, 1, 4, 0, 1, 1, 0, 1, 0, 1}));

    param.gain = {2, 6, 0, 1};
    param.current = 4;
    ASSERT_TRUE(checkAmplifier(VondraGeneration::Second, param));
    EXPECT_EQ(amplifierFrame(VondraGeneration::Second, param),
              (std::vector<uint8_t>{0x08, 1, 6, 0, 5, 1, 0, 1, 1, 2, 0, 1, 1, 0}));
}

TEST(VondraWire, GainAndCurrentTables) {
    const std::vector<std::optional<uint8_t>> firstGains{0, 1, std::nullopt, 2, 3, 4, 5, std::nullopt};
    const std::vector<std::optional<uint8_t>> secondGains{0, 1, 6, 2, 3, 4, 5, std::nullopt};
    const std::vector<std::optional<uint8_t>> firstCurrents{0, 1, std::nullopt, std::nullopt, 2, 3, 4, std::nullopt};
    const std::vector<std::optional<uint8_t>> secondCurrents{0, 1, std::nullopt, std::nullopt, 2, std::nullopt};
    for (uint8_t i = 0; i < firstGains.size(); ++i)
        EXPECT_EQ(gainCode(VondraGeneration::First, i), firstGains[i]) << int(i);
    for (uint8_t i = 0; i < secondGains.size(); ++i)
        EXPECT_EQ(gainCode(VondraGeneration::Second, i), secondGains[i]) << int(i);
    for (uint8_t i = 0; i < firstCurrents.size(); ++i)
        EXPECT_EQ(currentCode(VondraGeneration::First, i), firstCurrents[i]) << int(i);
    for (uint8_t i = 0; i < secondCurrents.size(); ++i)
        EXPECT_EQ(currentCode(VondraGeneration::Second, i), secondCurrents[i]) << int(i);
    EXPECT_FALSE(gainCode(VondraGeneration::First, 255));
    EXPECT_FALSE(currentCode(VondraGeneration::Second, 255));
}

TEST(VondraWire, RefusalsNameTheCurrentFirstThenTheGains) {
    VondraAmplifierParam param = defaultAmplifier(VondraGeneration::First);
    param.gain[6] = 2;
    EXPECT_EQ(checkAmplifier(VondraGeneration::First, param), WrongGain) << "the seventh channel counts";
    param.current = 3;
    EXPECT_EQ(checkAmplifier(VondraGeneration::First, param), WrongCurrent);

    VondraAmplifierParam second = defaultAmplifier(VondraGeneration::Second);
    second.gain[6] = 255;  // not a channel of the second generation, and it says so
    EXPECT_TRUE(checkAmplifier(VondraGeneration::Second, second));
    second.gain[3] = 7;
    EXPECT_EQ(checkAmplifier(VondraGeneration::Second, second), WrongGain);
    second.gain[3] = 2;
    for (uint8_t current : {2, 3, 5}) {
        second.current = current;
        EXPECT_EQ(checkAmplifier(VondraGeneration::Second, second), WrongCurrent) << int(current);
    }
}

// Every entry of the record is checked, the unused ones too: flags take 0 and 1, gains the
// generation's table (an entry past the channels may say it has none, 255).
TEST(VondraWire, EveryEntryOutsideItsTableIsRefused) {
    const OperationResult WrongMode = OperationResult::failed(517, "The specified Mode value is not supported");
    const OperationResult WrongFlag = OperationResult::failed(517, "The specified Flag value is not supported");
    for (const VondraGeneration generation : {VondraGeneration::First, VondraGeneration::Second}) {
        const VondraAmplifierParam good = defaultAmplifier(generation);
        const size_t unused = channelCount(generation);
        struct Case {
            std::array<uint8_t, VondraAmplifierParam::Entries> VondraAmplifierParam::*field;
            size_t entry;
            uint8_t value;
            OperationResult expected;
        };
        const Case cases[] = {{&VondraAmplifierParam::signalUse, 0, 0xFF, WrongMode},
                              {&VondraAmplifierParam::signalUse, unused - 1, 2, WrongMode},
                              {&VondraAmplifierParam::signalUse, unused, 0xFF, WrongMode},
                              {&VondraAmplifierParam::resistUse, 1, 2, WrongFlag},
                              {&VondraAmplifierParam::resistUse, 31, 0xFF, WrongFlag},
                              {&VondraAmplifierParam::gain, unused + 1, 11, WrongGain},
                              {&VondraAmplifierParam::gain, 0, 255, WrongGain}};
        for (const Case& c : cases) {
            VondraAmplifierParam bad = good;
            (bad.*c.field)[c.entry] = c.value;
            EXPECT_EQ(checkAmplifier(generation, bad), c.expected) << c.entry << " " << int(c.value);
        }
        VondraAmplifierParam noChannel = good;
        noChannel.gain[unused] = 255;
        EXPECT_TRUE(checkAmplifier(generation, noChannel));
    }
}

TEST(VondraWire, PackLayoutsOfBothGenerations) {
    const auto first = vondraLayout(VondraGeneration::First);
    EXPECT_EQ(first.signal.packSize, 26u);
    EXPECT_EQ(first.resist.packSize, 32u);
    EXPECT_EQ(first.signal.referenceVoltage, 4.5);
    EXPECT_EQ(first.resist.current, 6e-9);
    EXPECT_EQ(first.resist.upperLimit[6], 4000000.0);
    EXPECT_EQ(first.signal.gain[6], 6.0);
    EXPECT_EQ(first.signal.counterSize, 4u);
    EXPECT_EQ(first.signal.samplesPerPack, 1u);

    const auto second = vondraLayout(VondraGeneration::Second);
    EXPECT_EQ(second.signal.packSize, 17u);
    EXPECT_EQ(second.resist.packSize, 20u);
    EXPECT_EQ(second.signal.referenceVoltage, 2.4000000953674316);
    EXPECT_EQ(second.channelCount, 4u);
    EXPECT_EQ(second.features, (VexaDevice::Sensor::FeatureSet{0, 4, 11}));
    EXPECT_EQ(second.commands.size(), 8u);
    EXPECT_EQ(second.parameters.at(30), 1) << "the amplifier is written";
}

TEST(VondraWire, SamplingFrequencyCodes) {
    EXPECT_EQ(samplingFrequencyCode(250), 4);
    EXPECT_EQ(samplingFrequencyCode(10), 0);
    EXPECT_EQ(samplingFrequencyCode(100), 2);
    EXPECT_EQ(samplingFrequencyCode(8000), 9);
    EXPECT_EQ(samplingFrequencyCode(20), 255) << "20 Hz has no code";
    EXPECT_EQ(samplingFrequencyCode(10000), 255);
}
