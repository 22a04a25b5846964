#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "sdk/core/Log.hpp"

using VexaDevice::Utility::ensureLog;
using VexaDevice::Utility::sdkLog;

// Code linked straight into a program finds the same log the library builds at
// load. One test, so that no other process of this suite empties the file meanwhile.
TEST(SdkLog, IsBuiltOnceAtDebugLevelAndWritesDebugButNotTraceToItsFile) {
    const auto logger = sdkLog();
    EXPECT_EQ(ensureLog(), 1);
    EXPECT_EQ(&*sdkLog(), &*logger);
    EXPECT_EQ(logger->name(), "sdk_log");
    EXPECT_EQ(logger->level(), spdlog::level::debug);
    EXPECT_EQ(logger->sinks().size(), 2u);

    logger.trace("trace line that must not appear {}", 1);
    logger.debug("Dev [{}] [State]:[{}]", "AA:BB", "Connected");
    logger->flush();
    std::ifstream in(std::filesystem::current_path() / "logs" / "sdk_log.log");
    const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_NE(text.find("Dev [AA:BB] [State]:[Connected]"), std::string::npos) << text;
    EXPECT_EQ(text.find("trace line that must not appear"), std::string::npos);
}
