#pragma once

#include <chrono>
#include <optional>
#include <string>
#include <vector>

#include <sys/types.h>

namespace quellwave::testing {

struct ProcessResult {
    int exitCode = -1;
    std::string output;  // standard output
};

// Runs a program to its end (the first argument is its path or a name on PATH).
ProcessResult runProcess(const std::vector<std::string>& arguments);

// The exit code in a wait status, or minus the signal that ended the process.
int exitCodeOf(int waitStatus);

// Waits up to `timeout` for the child to end and returns exitCodeOf its status; at the time-out
// the child is killed and nullopt returned.
std::optional<int> waitForExit(pid_t child, std::chrono::milliseconds timeout);

}  // namespace quellwave::testing
