// The CRC-32 against the standard's check values, and the exported function's refusals.

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "sdk/api/include/ambrelkit2.h"
#include "sdk/core/Crc32.hpp"

using VexaDevice::Utility::crc32;

TEST(Crc32, MatchesTheCheckValues) {
    const char* digits = "123456789";
    EXPECT_EQ(crc32(reinterpret_cast<const uint8_t*>(digits), std::strlen(digits)), 0xCBF43926u);
    EXPECT_EQ(crc32(nullptr, 0), 0u);
    std::vector<uint8_t> every(256);
    for (size_t i = 0; i < every.size(); ++i) {
        every[i] = static_cast<uint8_t>(i);
    }
    EXPECT_EQ(crc32(every.data(), every.size()), 0x29058C73u);
    // One flipped bit changes the checksum.
    every[100] ^= 0x01;
    EXPECT_NE(crc32(every.data(), every.size()), 0x29058C73u);
}

TEST(Crc32, ExportStoresAndReturnsTheChecksum) {
    const uint8_t digits[] = {'1', '2', '3', '4', '5', '6', '7', '8', '9'};
    uint32_t crc = 0;
    EXPECT_EQ(calcCRC32(digits, sizeof digits, &crc), 0xCBF43926u);
    EXPECT_EQ(crc, 0xCBF43926u);

    crc = 0x12345678;
    EXPECT_EQ(calcCRC32(nullptr, 0, &crc), 0u);
    EXPECT_EQ(crc, 0u) << "the checksum of nothing is stored too";
}

TEST(Crc32, ExportRefusesMissingPointersAndNegativeLengths) {
    const uint8_t bytes[] = {1, 2, 3};
    uint32_t crc = 0xAAAAAAAA;
    EXPECT_EQ(calcCRC32(nullptr, 3, &crc), 0u);
    EXPECT_EQ(calcCRC32(bytes, -1, &crc), 0u);
    EXPECT_EQ(crc, 0xAAAAAAAAu) << "a refused call stores nothing";
    EXPECT_EQ(calcCRC32(bytes, sizeof bytes, nullptr), 0u);
}
