// The records of the public header are laid out alike in C and C++.

#include <gtest/gtest.h>

#include <cstddef>

#include "sdk/api/include/ambrelkit2.h"

extern "C" size_t akDravikFileInfoSizeInC(void);
extern "C" size_t akDravikSignalPackSamplesOffsetInC(void);
extern "C" size_t akDravikResistPackValuesOffsetInC(void);
extern "C" size_t akParameterInfoSizeInC(void);
extern "C" uint32_t akChecksumInC(const uint8_t* data, int32_t length);

TEST(HeaderLayout, CAndCppAgreeOnTheFileSystemAndParameterRecords) {
    EXPECT_EQ(akDravikFileInfoSizeInC(), sizeof(DravikFileInfo));
    EXPECT_EQ(akDravikSignalPackSamplesOffsetInC(), offsetof(DravikSignalPack, Samples));
    EXPECT_EQ(akDravikResistPackValuesOffsetInC(), offsetof(DravikResistPack, Values));
    EXPECT_EQ(akParameterInfoSizeInC(), sizeof(ParameterInfo));
    const uint8_t digits[] = {'1', '2', '3', '4', '5', '6', '7', '8', '9'};
    EXPECT_EQ(akChecksumInC(digits, sizeof digits), 0xCBF43926u);
}
