#include <gtest/gtest.h>

#include <cmath>
#include <stdexcept>

#include "sdk/core/ByteReaders.hpp"
#include "sdk/core/ConversionTables.hpp"
#include "sdk/core/EEGChannel.hpp"

using namespace VexaDevice::Utility;
using VexaDevice::Sensor::EEGChannelInfo;
using VexaDevice::Sensor::EEGChannelType;

TEST(ConversionTables, GainFactorsFollowTheCodeNotAscendingOrder) {
    const double expected[] = {1, 2, 3, 4, 6, 8, 12, 24, 5, 0.5, 0.25};
    for (uint8_t gain = 0; gain <= 10; ++gain) {
        EXPECT_DOUBLE_EQ(gainToFactor(gain), expected[gain]) << int(gain);
    }
    for (uint8_t gain : {uint8_t{11}, uint8_t{255}}) {
        try {
            gainToFactor(gain);
            FAIL() << "gain " << int(gain) << " accepted";
        } catch (const std::runtime_error& error) {
            EXPECT_STREQ(error.what(), "Unsupported gain value");
        }
    }
}

TEST(ConversionTables, SamplingFrequencies) {
    EXPECT_DOUBLE_EQ(samplingFrequencyToHz(0), 10);
    EXPECT_DOUBLE_EQ(samplingFrequencyToHz(4), 250);
    EXPECT_DOUBLE_EQ(samplingFrequencyToHz(10), 10000);
    EXPECT_DOUBLE_EQ(samplingFrequencyToHz(16), 64000);
    EXPECT_DOUBLE_EQ(samplingFrequencyToHz(17), 0);
    EXPECT_DOUBLE_EQ(samplingFrequencyToHz(255), 0);
}

TEST(ConversionTables, FullScaleIsTwoToTheBitsMinusOneLessOne) {
    for (uint32_t bytes = 1; bytes <= 4; ++bytes) {
        EXPECT_DOUBLE_EQ(bitnessToFullScale(bytes), std::ldexp(1.0, 8 * bytes - 1) - 1) << bytes;
    }
    EXPECT_DOUBLE_EQ(bitnessToFullScale(0), 1);
    EXPECT_DOUBLE_EQ(bitnessToFullScale(5), 1);
}

TEST(ConversionTables, MotionRanges) {
    EXPECT_DOUBLE_EQ(accelSensitivityToG(0), 2);
    EXPECT_DOUBLE_EQ(accelSensitivityToG(3), 16);
    EXPECT_DOUBLE_EQ(accelSensitivityToG(4), 0);
    EXPECT_DOUBLE_EQ(gyroSensitivityToDps(0), 250);
    EXPECT_DOUBLE_EQ(gyroSensitivityToDps(3), 2000);
    EXPECT_DOUBLE_EQ(gyroSensitivityToDps(4), 0);
}

TEST(ConversionTables, DriveCurrentsAndTheirDeviceCodesDisagreePastFour) {
    EXPECT_DOUBLE_EQ(currentToAmperes(0), 0);
    EXPECT_DOUBLE_EQ(currentToAmperes(1), 6e-9);
    EXPECT_DOUBLE_EQ(currentToAmperes(4), 2.4e-8);
    EXPECT_DOUBLE_EQ(currentToAmperes(5), 6e-6);
    EXPECT_DOUBLE_EQ(currentToAmperes(6), 2.4e-5);
    EXPECT_DOUBLE_EQ(currentToAmperes(7), 0);
    for (uint8_t current = 1; current <= 4; ++current) {
        EXPECT_EQ(currentToDeviceCode(current), current);
    }
    EXPECT_EQ(currentToDeviceCode(0), 0);
    EXPECT_EQ(currentToDeviceCode(5), 0);
}

TEST(ConversionTables, GainDeviceCodes) {
    const uint8_t expected[] = {0, 1, 6, 2, 3, 4, 5, 0, 0};
    for (uint8_t gain = 0; gain < 9; ++gain) {
        EXPECT_EQ(gainToDeviceCode(gain), expected[gain]) << int(gain);
    }
}

TEST(ConversionTables, ResistanceAboveFourMegaohmsOrNegativeIsInfinite) {
    EXPECT_DOUBLE_EQ(clampResistance(0), 0);
    EXPECT_DOUBLE_EQ(clampResistance(3999999.5), 3999999.5);
    EXPECT_TRUE(std::isinf(clampResistance(4000000)));
    EXPECT_TRUE(std::isinf(clampResistance(-1)));
    EXPECT_TRUE(std::isinf(clampResistance(std::nan(""))));
}

TEST(ByteReaders, SignedValuesOfEveryWidthAndOrder) {
    const uint8_t max24le[] = {0xFF, 0xFF, 0x7F};
    const uint8_t min24le[] = {0x00, 0x00, 0x80};
    const uint8_t min24be[] = {0x80, 0x00, 0x00};
    EXPECT_EQ(decodeSigned(max24le, 3, true), 8388607);
    EXPECT_EQ(decodeSigned(min24le, 3, true), -8388608);
    EXPECT_EQ(decodeSigned(min24be, 3, false), -8388608);

    const uint8_t bytes[] = {0xFE, 0x12, 0x34, 0x80};
    EXPECT_EQ(decodeSigned(bytes, 1, true), -2);
    EXPECT_EQ(decodeSigned(bytes, 2, true), 0x12FE);
    EXPECT_EQ(decodeSigned(bytes, 2, false), static_cast<int16_t>(0xFE12));
    EXPECT_EQ(decodeSigned(bytes, 4, true), static_cast<int32_t>(0x803412FEu));
    EXPECT_EQ(decodeSigned(bytes, 4, false), static_cast<int32_t>(0xFE123480u));
    EXPECT_EQ(decodeSigned(bytes, 0, true), 0);
    EXPECT_EQ(decodeSigned(bytes, 5, true), 0);
}

TEST(ByteReaders, UnsignedValuesAreNotSignExtended) {
    const uint8_t ones[] = {0xFF, 0xFF, 0xFF, 0xFF, 0xFF};
    EXPECT_EQ(decodeUnsigned(ones, 1, true), 255u);
    EXPECT_EQ(decodeUnsigned(ones, 3, false), 0xFFFFFFu);
    EXPECT_EQ(decodeUnsigned(ones, 4, true), 4294967295u);
    EXPECT_EQ(decodeUnsigned(ones, 5, true), 0u);
    const uint8_t bytes[] = {0x01, 0x02, 0x03};
    EXPECT_EQ(decodeUnsigned(bytes, 3, true), 0x030201u);
    EXPECT_EQ(decodeUnsigned(bytes, 3, false), 0x010203u);
}

TEST(ByteReaders, DigitsOnly) {
    EXPECT_TRUE(isDigits("0123456789"));
    EXPECT_FALSE(isDigits(""));
    EXPECT_FALSE(isDigits("12a"));
    EXPECT_FALSE(isDigits(" 12"));
    EXPECT_FALSE(isDigits("\xB2"));  // a byte above 127 is not a digit
}

TEST(EEGChannel, EmptyNameTakesTheElectrodeName) {
    EXPECT_EQ(EEGChannelInfo(1, EEGChannelType::Fp2, 0, "").name, "Fp2");
    EXPECT_EQ(EEGChannelInfo(1, EEGChannelType::O1, 0, "").name, "O1");
    EXPECT_EQ(EEGChannelInfo(1, EEGChannelType::Gnd2, 0, "").name, "Gnd2");
    EXPECT_EQ(EEGChannelInfo(1, EEGChannelType::Any, 0, "").name, "Any");
    EXPECT_EQ(EEGChannelInfo(1, static_cast<EEGChannelType>(30), 0, "").name, "Any");
    EXPECT_EQ(EEGChannelInfo(1, static_cast<EEGChannelType>(255), 0, "").name, "Any");

    const EEGChannelInfo named(7, EEGChannelType::O1, 3, "X");
    EXPECT_EQ(named.name, "X");
    EXPECT_EQ(named.id, 7);
    EXPECT_EQ(named.dataIndex, 3);
    EXPECT_EQ(named.type, EEGChannelType::O1);
}
