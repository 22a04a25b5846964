// The real program on a private display with no sound server to reach.
#include "tests/platform/PulseTestServer.hpp"
#include "tests/platform/TempFolder.hpp"
#include "tests/platform/TestProcess.hpp"
#include "tests/platform/XvfbTestDisplay.hpp"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <unistd.h>

namespace quellwave {
namespace {

using testing::XvfbTestDisplay;

constexpr auto kTimeout = std::chrono::seconds(30);

TEST(ProgramRunTest, WithoutASoundServerTheRateFailureIsShownAndTheProgramEndsWithOne)
{
    if (!XvfbTestDisplay::binaryAvailable()) {
        GTEST_SKIP() << "Xvfb or xdotool is not installed";
    }
    XvfbTestDisplay display;
    ASSERT_TRUE(display.running());
    testing::NoSoundServer none;
    testing::TempFolder temp;
    const auto errorsPath = temp.path() / "stderr.txt";

    int input[2];
    ASSERT_EQ(pipe(input), 0);
    const pid_t child = fork();
    if (child == 0) {
        dup2(input[0], STDIN_FILENO);
        close(input[1]);
        const int errors = open(errorsPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        dup2(errors, STDERR_FILENO);
        setenv("XDG_CONFIG_HOME", (temp.path() / "config").c_str(), 1);
        setenv("ALSOFT_DRIVERS", "null", 1);
        setenv("ASAN_OPTIONS", "detect_leaks=0", 1);  // the window system's own allocations
        execl(QW_PROGRAM, QW_PROGRAM, static_cast<char*>(nullptr));
        _exit(127);
    }
    close(input[0]);

    const auto window = display.waitForWindow("Error", kTimeout);
    ASSERT_TRUE(window.has_value()) << "no error message box";
    EXPECT_TRUE(display.pressKey(*window, "Return"));
    // After the message box the program waits for one character.
    EXPECT_EQ(write(input[1], "\n", 1), 1);
    close(input[1]);

    EXPECT_EQ(testing::waitForExit(child, kTimeout), std::optional<int>(1));
    const std::string errors = testing::readFile(errorsPath);
    EXPECT_NE(errors.find("Error: Failed to check or set sample rate."), std::string::npos) << errors;
    // Nothing was configured.
    EXPECT_FALSE(std::filesystem::exists(temp.path() / "config" / "Quellwave" / "alsoft.ini"));
}

}  // namespace
}  // namespace quellwave
