#include "sdk/api/CallStatus.hpp"

#include <algorithm>
#include <cstring>

namespace VexaDevice::Api {

namespace {

constexpr uint32_t kUnsetFailureCode = 0xFFFF;

void fill(CallStatus& status, const char* text, uint32_t code, uint8_t success) {
    copyText(text, status.ErrorMsg, sizeof(status.ErrorMsg));
    status.Success = success;
    status.Error = code;
}

}  // namespace

uint8_t statusOk(const char* text, CallStatus* status, uint8_t success) {
    if (status != nullptr) {
        fill(*status, text, success != 0 ? 0 : kUnsetFailureCode, success);
    }
    return success;
}

uint8_t statusFail(const char* text, uint32_t code, CallStatus* status, uint8_t success) {
    if (status != nullptr) {
        fill(*status, text, code, success);
    }
    return success;
}

uint8_t statusFail(const LibraryError& error, CallStatus* status) {
    return statusFail(error.text, error.code, status, 0);
}

uint8_t statusFromResult(const OperationResult* result, CallStatus* status) {
    if (result == nullptr) {
        return 0;
    }
    const uint8_t success = result->success != 0 ? 1 : 0;
    if (status != nullptr) {
        fill(*status, result->message.c_str(), static_cast<uint32_t>(result->code), success);
    }
    return result->success;
}

OperationResult withDefaultCode(OperationResult result, const LibraryError& fallback) {
    if (result.success == 0 && result.code == 0) {
        result.code = static_cast<int32_t>(fallback.code);
        if (result.message.empty()) {
            result.message = fallback.text;
        }
    }
    return result;
}

void copyText(const char* text, char* buffer, size_t length) {
    if (buffer == nullptr || length == 0) {
        return;
    }
    const size_t count = text == nullptr ? 0 : strnlen(text, length - 1);
    std::memcpy(buffer, text == nullptr ? "" : text, count);
    buffer[count] = '\0';
}

}  // namespace VexaDevice::Api
