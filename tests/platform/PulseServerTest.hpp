#pragma once

#include "tests/platform/PulseTestServer.hpp"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

namespace quellwave::testing {

// A test whose cases each start a private sound server with the sinks they need; skipped where
// no sound server is installed.
class PulseServerTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (!PulseTestServer::binaryAvailable()) {
            GTEST_SKIP() << "pulseaudio is not installed";
        }
    }

    void start(const std::vector<PulseTestServer::Sink>& sinks, const std::string& defaultSink,
               const std::vector<std::string>& extraLines = {}) {
        server_.emplace(sinks, defaultSink, extraLines);
        ASSERT_TRUE(server_->running()) << server_->log();
    }

    std::optional<PulseTestServer> server_;
};

}  // namespace quellwave::testing
