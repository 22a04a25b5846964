// The real program started as a process: without a display, and on a private display with no
// sound server to reach, from a pipe and from a terminal.
#include "tests/platform/PulseTestServer.hpp"
#include "tests/platform/TempFolder.hpp"
#include "tests/platform/TestProcess.hpp"
#include "tests/platform/VirtualDisplayFixture.hpp"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <functional>
#include <thread>

namespace quellwave {
namespace {

namespace fs = std::filesystem;

constexpr auto kTimeout = std::chrono::seconds(30);
constexpr const char* kNoServerText =
    "Error: Failed to check or set sample rate.\n\nNo sound server (PulseAudio or PipeWire) answered.";

// Starts the program with `input` as its standard input and its standard error in `errors`;
// `display` is DISPLAY for it (nothing: unset).
pid_t startProgram(int input, const fs::path& errors, const fs::path& config,
                   const std::optional<std::string>& display) {
    const pid_t child = fork();
    if (child == 0) {
        setsid();  // a terminal given as input becomes the program's own
        dup2(input, STDIN_FILENO);
        const int errorFile = open(errors.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        dup2(errorFile, STDERR_FILENO);
        if (display) {
            setenv("DISPLAY", display->c_str(), 1);
        } else {
            unsetenv("DISPLAY");
        }
        setenv("XDG_CONFIG_HOME", config.c_str(), 1);
        setenv("ALSOFT_DRIVERS", "null", 1);
        setenv("ASAN_OPTIONS", "detect_leaks=0", 1);  // the window system's own allocations
        execl(QW_PROGRAM, QW_PROGRAM, static_cast<char*>(nullptr));
        _exit(127);
    }
    return child;
}

// A display number that no X server of this machine uses.
std::string unusedDisplay() {
    for (int number = 990;; ++number) {
        if (!fs::exists("/tmp/.X11-unix/X" + std::to_string(number)) &&
            !fs::exists("/tmp/.X" + std::to_string(number) + "-lock")) {
            return ":" + std::to_string(number);
        }
    }
}

// Waits until `holds` or the time-out.
bool waitUntil(const std::function<bool()>& holds, std::chrono::milliseconds timeout = kTimeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (!holds()) {
        if (std::chrono::steady_clock::now() > deadline) {
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return true;
}

// Whether the process sits in a read of its standard input.
bool readingStandardInput(pid_t pid) {
    // The system call's number (0: read) and its first argument (the file descriptor).
    return testing::readFile("/proc/" + std::to_string(pid) + "/syscall").rfind("0 0x0 ", 0) == 0;
}

// Where a run's standard error and settings go.
class RunFiles {
public:
    fs::path errorsPath() const { return temp_.path() / "stderr.txt"; }
    fs::path config() const { return temp_.path() / "config"; }
    std::string errors() const { return testing::readFile(errorsPath()); }

private:
    testing::TempFolder temp_;
};

class ProgramRunTest : public ::testing::Test, public RunFiles {};

TEST_F(ProgramRunTest, WithoutADisplayOneLineNamesItAndTheProgramEndsWithOne) {
    const int input = open("/dev/null", O_RDONLY);
    const std::string display = unusedDisplay();
    const pid_t named = startProgram(input, errorsPath(), config(), display);
    EXPECT_EQ(testing::waitForExit(named, kTimeout), std::optional<int>(1));
    EXPECT_EQ(errors(), "Failed to open the display \"" + display + "\".\n");

    const pid_t unset = startProgram(input, errorsPath(), config(), std::nullopt);
    EXPECT_EQ(testing::waitForExit(unset, kTimeout), std::optional<int>(1));
    EXPECT_EQ(errors(), "Failed to open a display: DISPLAY is not set.\n");
    close(input);
    EXPECT_FALSE(fs::exists(config() / "Quellwave" / "alsoft.ini"));
}

class NoSoundServerRunTest : public testing::VirtualDisplayFixture, public RunFiles {
protected:
    // Waits for the error box and checks that the program window went before it came.
    std::optional<std::string> errorBoxAlone() const {
        const auto box = display_->waitForWindow("Error", kTimeout);
        EXPECT_TRUE(box.has_value()) << "no error message box\n" << errors();
        EXPECT_FALSE(display_->waitForWindow("Quellwave", std::chrono::milliseconds(0)).has_value())
            << "the program window is still shown behind the message box";
        return box;
    }

    testing::NoSoundServer none_;
};

TEST_F(NoSoundServerRunTest, FromAPipeTheProgramSaysNoServerAnsweredAndEndsWithoutWaitingForInput) {
    int input[2];
    ASSERT_EQ(pipe(input), 0);
    const pid_t child = startProgram(input[0], errorsPath(), config(), std::getenv("DISPLAY"));
    close(input[0]);

    const auto box = errorBoxAlone();
    ASSERT_TRUE(box.has_value());
    EXPECT_TRUE(display_->pressKey(*box, "Return"));
    // Nothing is written to the pipe, which stays open: a program waiting on it would hang.
    EXPECT_EQ(testing::waitForExit(child, kTimeout), std::optional<int>(1));
    close(input[1]);
    EXPECT_NE(errors().find(kNoServerText), std::string::npos) << errors();
    EXPECT_FALSE(fs::exists(config() / "Quellwave" / "alsoft.ini"));
}

TEST_F(NoSoundServerRunTest, FromATerminalTheProgramWaitsForAKeyAfterTheMessage) {
    const int terminal = posix_openpt(O_RDWR | O_NOCTTY);
    ASSERT_GE(terminal, 0);
    ASSERT_EQ(grantpt(terminal), 0);
    ASSERT_EQ(unlockpt(terminal), 0);
    const int side = open(ptsname(terminal), O_RDWR);
    ASSERT_GE(side, 0);
    const pid_t child = startProgram(side, errorsPath(), config(), std::getenv("DISPLAY"));
    close(side);

    const auto box = errorBoxAlone();
    ASSERT_TRUE(box.has_value());
    EXPECT_TRUE(display_->pressKey(*box, "Return"));
    EXPECT_TRUE(waitUntil([&] { return readingStandardInput(child); })) << "the program does not wait for a key";
    EXPECT_EQ(write(terminal, "\n", 1), 1);
    EXPECT_EQ(testing::waitForExit(child, kTimeout), std::optional<int>(1));
    close(terminal);
    EXPECT_NE(errors().find(kNoServerText), std::string::npos) << errors();
}

}  // namespace
}  // namespace quellwave
