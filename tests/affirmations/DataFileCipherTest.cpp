#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "app/engine/DataFileCipher.hpp"

namespace quellwave {
namespace {

TEST(DataFileCipher, RiffHeaderEnciphersToTheKeyedBytes) {
    // 'R'^'v', 'I'^'e', 'F'^'l', 'F'^'m'
    std::vector<std::uint8_t> bytes{'R', 'I', 'F', 'F'};
    applyDataFileKey(bytes);
    EXPECT_EQ(bytes, (std::vector<std::uint8_t>{0x24, 0x2C, 0x2A, 0x2B}));
}

TEST(DataFileCipher, KeyRepeatsEveryThirteenBytes) {
    std::vector<std::uint8_t> zeros(27, 0);
    applyDataFileKey(zeros);
    const std::vector<std::uint8_t> key(kDataFileKey.begin(), kDataFileKey.end());
    EXPECT_EQ(std::vector<std::uint8_t>(zeros.begin(), zeros.begin() + 13), key);
    EXPECT_EQ(std::vector<std::uint8_t>(zeros.begin() + 13, zeros.begin() + 26), key);
    EXPECT_EQ(zeros[26], 'v');
    EXPECT_EQ(zeros[12], '9');
}

TEST(DataFileCipher, EncipheringTwiceGivesBackTheInput) {
    std::vector<std::uint8_t> bytes(1000);
    for (std::size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<std::uint8_t>(i * 7 + 3);
    const std::vector<std::uint8_t> original = bytes;
    applyDataFileKey(bytes);
    EXPECT_NE(bytes, original);
    applyDataFileKey(bytes);
    EXPECT_EQ(bytes, original);
}

}  // namespace
}  // namespace quellwave
