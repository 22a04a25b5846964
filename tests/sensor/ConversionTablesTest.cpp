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
    try {
        gainToFactor(11);
        FAIL() << "gain 11 accepted";
    } catch (const std::runtime_error& error) {
        EXPECT_STREQ(error.what(), "Unsupported gain value");
    }
}

TEST(ConversionTables, PhysicalValuesAndTheirFallbacks) {
    EXPECT_DOUBLE_EQ(samplingFrequencyToHz(4), 250);
    EXPECT_DOUBLE_EQ(samplingFrequencyToHz(16), 64000);
    EXPECT_DOUBLE_EQ(samplingFrequencyToHz(17), 0);
    for (uint32_t bytes = 1; bytes <= 4; ++bytes) {
        EXPECT_DOUBLE_EQ(bitnessToFullScale(bytes), std::ldexp(1.0, 8 * bytes - 1) - 1) << bytes;
    }
    EXPECT_DOUBLE_EQ(bitnessToFullScale(0), 1);
    EXPECT_DOUBLE_EQ(bitnessToFullScale(5), 1);
    EXPECT_DOUBLE_EQ(accelSensitivityToG(3), 16);
    EXPECT_DOUBLE_EQ(accelSensitivityToG(4), 0);
    EXPECT_DOUBLE_EQ(gyroSensitivityToDps(3), 2000);
    EXPECT_DOUBLE_EQ(gyroSensitivityToDps(4), 0);
}

TEST(ConversionTables, DriveCurrentsAndDeviceCodes) {
    EXPECT_DOUBLE_EQ(currentToAmperes(1), 6e-9);
    EXPECT_DOUBLE_EQ(currentToAmperes(5), 6e-6);
    EXPECT_DOUBLE_EQ(currentToAmperes(6), 2.4e-5);
    EXPECT_DOUBLE_EQ(currentToAmperes(7), 0);
    EXPECT_EQ(currentToDeviceCode(4), 4);
    EXPECT_EQ(currentToDeviceCode(5), 0);  // although it has a current
    const uint8_t gainCodes[] = {0, 1, 6, 2, 3, 4, 5, 0, 0};
    for (uint8_t gain = 0; gain < 9; ++gain) {
        EXPECT_EQ(gainToDeviceCode(gain), gainCodes[gain]) << int(gain);
    }
}

TEST(ConversionTables, ResistanceOutsideZeroToFourMegaohmsIsInfinite) {
    EXPECT_DOUBLE_EQ(clampResistance(3999999.5), 3999999.5);
    EXPECT_TRUE(std::isinf(clampResistance(4000000)));
    EXPECT_TRUE(std::isinf(clampResistance(-1)));
    EXPECT_TRUE(std::isinf(clampResistance(std::nan(""))));
}

TEST(ByteReaders, SignedAndUnsignedOfEveryWidthAndOrder) {
    const uint8_t max24le[] = {0xFF, 0xFF, 0x7F};
    const uint8_t min24le[] = {0x00, 0x00, 0x80};
    const uint8_t min24be[] = {0x80, 0x00, 0x00};
    EXPECT_EQ(decodeSigned(max24le, 3, true), 8388607);
    EXPECT_EQ(decodeSigned(min24le, 3, true), -8388608);
    EXPECT_EQ(decodeSigned(min24be, 3, false), -8388608);

    const uint8_t bytes[] = {0xFE, 0x12, 0x34, 0x80, 0xFF};
    EXPECT_EQ(decodeSigned(bytes, 1, true), -2);
    EXPECT_EQ(decodeSigned(bytes, 2, false), static_cast<int16_t>(0xFE12));
    EXPECT_EQ(decodeSigned(bytes, 4, true), static_cast<int32_t>(0x803412FEu));
    EXPECT_EQ(decodeSigned(bytes, 5, true), 0);
    EXPECT_EQ(decodeUnsigned(bytes, 1, true), 0xFEu);
    EXPECT_EQ(decodeUnsigned(bytes, 3, true), 0x3412FEu);
    EXPECT_EQ(decodeUnsigned(bytes, 3, false), 0xFE1234u);
    EXPECT_EQ(decodeUnsigned(bytes + 1, 4, false), 0x123480FFu);
    EXPECT_EQ(decodeUnsigned(bytes, 0, true), 0u);
}

TEST(ByteReaders, DigitsOnly) {
    EXPECT_TRUE(isDigits("0123456789"));
    EXPECT_FALSE(isDigits(""));
    EXPECT_FALSE(isDigits("12a"));
    EXPECT_FALSE(isDigits("\xB2"));  // a byte above 127 is not a digit
}

TEST(EEGChannel, EmptyNameTakesTheElectrodeName) {
    EXPECT_EQ(EEGChannelInfo(1, EEGChannelType::Fp2, 0, "").name, "Fp2");
    EXPECT_EQ(EEGChannelInfo(1, EEGChannelType::Gnd2, 0, "").name, "Gnd2");
    EXPECT_EQ(EEGChannelInfo(1, EEGChannelType::Any, 0, "").name, "Any");
    EXPECT_EQ(EEGChannelInfo(1, static_cast<EEGChannelType>(30), 0, "").name, "Any");

    const EEGChannelInfo named(7, EEGChannelType::O1, 3, "X");
    EXPECT_EQ(named.name, "X");
    EXPECT_EQ(named.id, 7);
    EXPECT_EQ(named.dataIndex, 3);
    EXPECT_EQ(named.type, EEGChannelType::O1);
}
