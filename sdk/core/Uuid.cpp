#include "sdk/core/Uuid.hpp"

#include <cstdio>
#include <cstring>
#include <stdexcept>
#include <vector>

namespace VexaDevice::Utility {

size_t UuidHash::operator()(const UUID& uuid) const noexcept {
    uint64_t hash = 0xcbf29ce484222325ULL;
    for (uint8_t byte : uuid.bytes) {
        hash ^= byte;
        hash *= 0x100000001b3ULL;
    }
    return static_cast<size_t>(hash);
}

UUID parseUuid(const std::string& text) {
    UUID uuid;
    auto& b = uuid.bytes;
    const int converted = std::sscanf(
        text.c_str(), "%2hhx%2hhx%2hhx%2hhx-%2hhx%2hhx-%2hhx%2hhx-%2hhx%2hhx-%2hhx%2hhx%2hhx%2hhx%2hhx%2hhx", &b[0],
        &b[1], &b[2], &b[3], &b[4], &b[5], &b[6], &b[7], &b[8], &b[9], &b[10], &b[11], &b[12], &b[13], &b[14], &b[15]);
    if (converted != 16) {
        throw std::invalid_argument("The UUID string is in an incorrect format");
    }
    return uuid;
}

namespace {

uint8_t hexDigitValue(char c) {
    if (c >= '0' && c <= '9') return static_cast<uint8_t>(c - '0');
    if (c >= 'a' && c <= 'f') return static_cast<uint8_t>(c - 'a' + 10);
    if (c >= 'A' && c <= 'F') return static_cast<uint8_t>(c - 'A' + 10);
    return 0;
}

}  // namespace

UUID guidFromText(const char* text) {
    UUID uuid;
    if (text == nullptr) return uuid;
    const size_t length = std::strlen(text);
    size_t position = 0;
    for (size_t index = 0; index < uuid.bytes.size() && position + 1 < length; ++index) {
        if (text[position] == '-') ++position;
        // position + 1 is at most the terminating zero, which reads as digit 0.
        const uint8_t high = hexDigitValue(text[position]);
        const uint8_t low = hexDigitValue(text[position + 1]);
        uuid.bytes[index] = static_cast<uint8_t>(high << 4 | low);
        position += 2;
    }
    return uuid;
}

std::string uuidToString(const UUID& uuid) {
    static constexpr char digits[] = "0123456789ABCDEF";
    std::string text;
    text.reserve(36);
    for (size_t index = 0; index < uuid.bytes.size(); ++index) {
        if (index == 4 || index == 6 || index == 8 || index == 10) text.push_back('-');
        text.push_back(digits[uuid.bytes[index] >> 4]);
        text.push_back(digits[uuid.bytes[index] & 0x0F]);
    }
    return text;
}

std::string formatString(const std::string& format, const char* argument) {
    const int length = std::snprintf(nullptr, 0, format.c_str(), argument);
    if (length < 0) throw std::runtime_error("Error during formatting.");
    std::vector<char> buffer(static_cast<size_t>(length) + 1);
    std::snprintf(buffer.data(), buffer.size(), format.c_str(), argument);
    return std::string(buffer.data(), static_cast<size_t>(length));
}

}  // namespace VexaDevice::Utility
