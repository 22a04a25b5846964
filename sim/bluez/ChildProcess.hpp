#pragma once
// A program a test runs beside itself (a stand-in daemon, a client to check against): its input
// fed from here, its output (standard output and error together) gathered, and the program ended
// with the object, or with the test process should that die first.

#include <sys/types.h>

#include <chrono>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <utility>
#include <vector>

namespace VexaSim {

class ChildProcess {
public:
    // Starts arguments[0] (looked up on PATH) with the variables added to this process's
    // environment; throws std::runtime_error when it cannot be started.
    explicit ChildProcess(std::vector<std::string> arguments,
                          std::vector<std::pair<std::string, std::string>> environment = {});
    // Ends the program (SIGTERM, then SIGKILL when it lingers) and waits for it.
    ~ChildProcess();
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    void write(const std::string& text);
    void closeInput();
    // Everything the program printed so far.
    std::string output() const;
    // Waits for the program to end by itself: its exit status, or nothing at the deadline.
    std::optional<int> wait(std::chrono::milliseconds deadline);

private:
    pid_t pid_ = -1;
    int input_ = -1;
    int outputFd_ = -1;
    std::optional<int> status_;
    mutable std::mutex mutex_;
    std::string output_;
    std::thread reader_;
};

// True when the program can be found on PATH.
bool programAvailable(const std::string& name);

}  // namespace VexaSim
