#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <random>
#include <vector>

#include "app/engine/BlockConversion.hpp"
#include "tests/engine/KeptLanes.hpp"

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

// Blocks of odd lengths with NaN, infinities and peaks on either side of 1, converted on every
// lane width: the same samples as on the narrow lanes, and the same divided block, to the last bit.
TEST(BlockConversion, WideAndNarrowLanesConvertAlike) {
    std::mt19937 random(99);
    std::uniform_real_distribution<double> value(-1.3, 1.3);
    for (const std::size_t size : {1u, 3u, 8u, 13u, 23u, 8192u}) {
        for (int form = 0; form < 4; ++form) {
            std::vector<double> block(size);
            for (double& sample : block) sample = value(random) * (form == 1 ? 0.5 : 1.0);
            if (form == 2) block[size / 2] = std::numeric_limits<double>::quiet_NaN();
            if (form == 3) block[size - 1] = -std::numeric_limits<double>::infinity();
            std::vector<double> narrowBlock = block;
            std::vector<std::int16_t> narrow(size);
            {
                const testing::KeptLanes kept(testing::kTwoLanes);
                normaliseToPcm16(narrowBlock, narrow);
            }
            for (const testing::LaneWidth& width : {testing::kFourLanesAtMost, testing::kMachineLanes}) {
                const testing::KeptLanes kept(width);
                std::vector<double> wideBlock = block;
                std::vector<std::int16_t> wide(size);
                normaliseToPcm16(wideBlock, wide);
                EXPECT_EQ(wide, narrow) << size << " samples, form " << form << ", " << width.name;
                EXPECT_EQ(std::memcmp(wideBlock.data(), narrowBlock.data(), size * sizeof(double)), 0)
                    << size << " samples, form " << form << ", " << width.name;
            }
        }
    }
}

}  // namespace
}  // namespace quellwave
