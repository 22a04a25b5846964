#pragma once

#include <string>
#include <vector>

namespace quellwave::testing {

struct ProcessResult {
    int exitCode = -1;
    std::string output;  // standard output
};

// Runs a program to its end (the first argument is its path or a name on PATH).
ProcessResult runProcess(const std::vector<std::string>& arguments);

}  // namespace quellwave::testing
