#include "sdk/core/RtException.hpp"

namespace VexaDevice::Utility {

rt_exception::rt_exception(const std::string& message) : message_(message) {}

rt_exception::rt_exception(const char* message) : message_(message != nullptr ? message : "") {}

rt_exception::rt_exception(const std::string& message, const int& code) : message_(message), code_(code) {}

rt_exception::~rt_exception() = default;

const char* rt_exception::what() const noexcept { return message_.c_str(); }

int32_t rt_exception::code() const noexcept { return code_; }

}  // namespace VexaDevice::Utility
