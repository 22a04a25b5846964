#pragma once

#include <cstdint>
#include <exception>
#include <string>

namespace VexaDevice::Utility {

// The library's own exception: a readable message and an optional numeric code.
// Code 0 means "no code of its own"; the exported interface then reports its
// default code for the call that failed.
class rt_exception : public std::exception {
public:
    explicit rt_exception(const std::string& message);
    explicit rt_exception(const char* message);
    rt_exception(const std::string& message, const int& code);
    rt_exception(const rt_exception& other) = default;
    rt_exception& operator=(const rt_exception& other) = default;
    ~rt_exception() override;

    const char* what() const noexcept override;
    virtual int32_t code() const noexcept;

private:
    std::string message_;
    int32_t code_ = 0;
};

}  // namespace VexaDevice::Utility
