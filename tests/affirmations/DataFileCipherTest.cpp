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

TEST(DataFileCipher, EveryByteOfALongFileHasItsKeyByteWhateverTheLength) {
    for (const std::size_t length : {std::size_t{831}, std::size_t{832}, std::size_t{2500}, std::size_t{100003}}) {
        std::vector<std::uint8_t> zeros(length, 0);
        applyDataFileKey(zeros);
        std::size_t wrong = 0;
        for (std::size_t i = 0; i < length; ++i) wrong += zeros[i] != static_cast<std::uint8_t>(kDataFileKey[i % 13]);
        EXPECT_EQ(wrong, 0u) << length;
    }
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
