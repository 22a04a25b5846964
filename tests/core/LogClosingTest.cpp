#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <thread>
#include <vector>

#include "sdk/core/Log.hpp"

using VexaDevice::Utility::closeLog;
using VexaDevice::Utility::LogHandle;
using VexaDevice::Utility::sdkLog;

namespace {

std::string logText() {
    std::ifstream in(std::filesystem::current_path() / "logs" / "sdk_log.log");
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

}  // namespace

// Library threads keep writing while the log closes underneath them, as at unload: a
// handle taken before the close still reaches the file, later lines go nowhere.
TEST(SdkLogClosing, LinesInFlightFinishOnTheirLoggerAndLaterOnesGoNowhere) {
    std::atomic<bool> stop{false};
    std::atomic<int> lines{0};
    std::vector<std::thread> writers;
    for (int w = 0; w < 3; ++w) {
        writers.emplace_back([&stop, &lines, w] {
            while (!stop) {
                sdkLog().debug("writer {} line {}", w, lines.fetch_add(1));
            }
        });
    }
    while (lines < 300) {
        std::this_thread::yield();
    }
    const LogHandle held = sdkLog();
    closeLog();
    const int atClose = lines.load();
    while (lines < atClose + 300) {
        std::this_thread::yield();
    }
    held.debug("written through a handle held across the close");
    sdkLog().debug("written after the close");
    stop = true;
    for (auto& writer : writers) {
        writer.join();
    }
    held->flush();

    EXPECT_TRUE(sdkLog()->sinks().empty());
    EXPECT_EQ(held->sinks().size(), 2u);
    const std::string text = logText();
    EXPECT_NE(text.find("] writer "), std::string::npos);
    EXPECT_NE(text.find("written through a handle held across the close"), std::string::npos);
    EXPECT_EQ(text.find("written after the close"), std::string::npos);
}
