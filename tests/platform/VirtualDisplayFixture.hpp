#pragma once

#include "tests/platform/XvfbTestDisplay.hpp"

#include <gtest/gtest.h>

#include <optional>

namespace quellwave::testing {

// A test with a private virtual display of its own; skipped where Xvfb or xdotool is missing.
class VirtualDisplayFixture : public ::testing::Test {
protected:
    void SetUp() override {
        if (!XvfbTestDisplay::binaryAvailable()) {
            GTEST_SKIP() << "Xvfb or xdotool is not installed";
        }
        display_.emplace();
        ASSERT_TRUE(display_->running());
    }

    std::optional<XvfbTestDisplay> display_;
};

}  // namespace quellwave::testing
