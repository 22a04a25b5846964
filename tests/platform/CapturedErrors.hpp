#pragma once

#include <iostream>
#include <sstream>
#include <string>

namespace quellwave::testing {

// Captures what this process writes to standard error, for the capture's lifetime.
class CapturedErrors {
public:
    CapturedErrors() : previous_(std::cerr.rdbuf(text_.rdbuf())) {}
    ~CapturedErrors() { std::cerr.rdbuf(previous_); }
    CapturedErrors(const CapturedErrors&) = delete;
    CapturedErrors& operator=(const CapturedErrors&) = delete;

    std::string text() const { return text_.str(); }

private:
    std::ostringstream text_;
    std::streambuf* previous_;
};

}  // namespace quellwave::testing
