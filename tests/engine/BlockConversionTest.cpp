#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <cstdint>
#include <limits>
#include <vector>

#include "app/engine/BlockConversion.hpp"

namespace quellwave {
namespace {

TEST(BlockConversion, ScalesABlockWhosePeakExceedsOne) {
    std::vector<double> block = {1.6, -0.8, 0.4, -1.6};
    std::vector<std::int16_t> out(4);
    normaliseToPcm16(block, out);
    EXPECT_EQ(out, (std::vector<std::int16_t>{32767, -16383, 8191, -32767}));
}

TEST(BlockConversion, OnlyClampsAndTruncatesABlockWithinRange) {
    std::vector<double> block = {0.9, -0.9, 0.5, 1e-6, -0.00004};
    std::vector<std::int16_t> out(5);
    normaliseToPcm16(block, out);
    EXPECT_EQ(out, (std::vector<std::int16_t>{29490, -29490, 16383, 0, -1}));
}

TEST(BlockConversion, TurnsNotANumberIntoSilence) {
    std::vector<double> block = {std::numeric_limits<double>::quiet_NaN(), 0.5};
    std::vector<std::int16_t> out(2);
    normaliseToPcm16(block, out);
    EXPECT_EQ(out, (std::vector<std::int16_t>{0, 16383}));
}

}  // namespace
}  // namespace quellwave
