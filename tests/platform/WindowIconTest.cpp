#include "app/platform/WindowIcon.hpp"

#include <gtest/gtest.h>

#include <array>

namespace quellwave::platform {
namespace {

std::array<int, 4> pixel(const WindowIcon& icon, unsigned x, unsigned y) {
    const std::uint8_t* at = icon.pixels + (y * icon.width + x) * 4;
    return {at[0], at[1], at[2], at[3]};
}

TEST(WindowIconTest, ThirtyTwoSquareDiscWithRingsAndCore) {
    const WindowIcon icon = windowIcon();
    ASSERT_EQ(icon.width, 32u);
    ASSERT_EQ(icon.height, 32u);
    EXPECT_EQ(pixel(icon, 0, 0), (std::array<int, 4>{0, 0, 0, 0}));            // outside the disc
    EXPECT_EQ(pixel(icon, 16, 16), (std::array<int, 4>{255, 255, 255, 255}));  // the core
    // Pixel (25, 15) lies 19 and 1 half pixels from the centre: on the ring of radius 10.
    EXPECT_EQ(pixel(icon, 25, 15), (std::array<int, 4>{0, 212, 255, 255}));
    // Pixel (15, 0) lies just outside the disc; (15, 1) inside, between rings, in the
    // background's top colour.
    EXPECT_EQ(pixel(icon, 15, 0)[3], 0);
    EXPECT_EQ(pixel(icon, 15, 1), (std::array<int, 4>{10, 15, 44, 255}));
}

}  // namespace
}  // namespace quellwave::platform
