#include "app/platform/AlsaHardware.hpp"

#include <gtest/gtest.h>

namespace quellwave::platform {
namespace {

const WaveFormat kPcm48000{FormatTag::Pcm, 2, 48000, 192000, 4, 16, 0, 0, 0};

TEST(AlsaHardwareTest, ACardThatCannotBeOpenedTakesNoFormat) {
    const AlsaHardware missing(99, 0);
    EXPECT_EQ(missing.support(kPcm48000), FormatSupport::Unsupported);
    EXPECT_FALSE(missing.opens(kPcm48000));
}

TEST(AlsaHardwareTest, SampleSizesOtherThan16And32BitsAreNeverTried) {
    WaveFormat packed24 = kPcm48000;
    packed24.bitsPerSample = 24;
    packed24.blockAlign = 6;
    const AlsaHardware card(0, 0);
    EXPECT_EQ(card.support(packed24), FormatSupport::Unsupported);
    EXPECT_FALSE(card.opens(packed24));
}

}  // namespace
}  // namespace quellwave::platform
