#pragma once

#include <chrono>
#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include <sys/types.h>

namespace quellwave::e2e {

// A program started for a test, with its output in a file. The destructor ends it (SIGTERM,
// then SIGKILL) when it is still running.
class ChildProcess {
public:
    struct Options {
        std::vector<std::string> argv;
        std::map<std::string, std::string> environment;  // added to (or replacing) this process's
        std::filesystem::path workingFolder;             // empty: this process's
        std::filesystem::path output;                    // stdout and stderr; empty: /dev/null
        std::filesystem::path standardOutput;            // stdout alone, when set
    };

    explicit ChildProcess(const Options& options);
    ~ChildProcess();
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    pid_t pid() const { return pid_; }
    bool running();
    // The exit code once the program has ended within the timeout (-signal when killed).
    std::optional<int> waitExit(std::chrono::milliseconds timeout);
    void terminate();

private:
    pid_t pid_ = -1;
    std::optional<int> exitCode_;
};

}  // namespace quellwave::e2e
