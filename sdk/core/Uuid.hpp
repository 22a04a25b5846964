#pragma once
// The library's 128-bit identifier and its text forms.

#include <array>
#include <compare>
#include <cstddef>
#include <cstdint>
#include <string>

namespace VexaDevice::Utility {

// 16 bytes in the order in which the canonical text writes them (first pair first).
struct UUID {
    std::array<uint8_t, 16> bytes{};

    auto operator<=>(const UUID&) const = default;
};

struct UuidHash {
    size_t operator()(const UUID& uuid) const noexcept;
};

// Strict: exactly 8-4-4-4-12 hexadecimal groups; anything else throws std::invalid_argument
// "The UUID string is in an incorrect format". Characters after the 32nd digit are ignored.
UUID parseUuid(const std::string& text);

// Lenient: never fails; null or empty gives all zeros, dashes are skipped, non-hex digits count
// as 0 and a lone trailing digit is dropped.
UUID guidFromText(const char* text);

// Canonical upper-case text, 36 characters.
std::string uuidToString(const UUID& uuid);

// printf-style expansion of a format with one string argument (the "%s" of UUID templates).
// Throws std::runtime_error "Error during formatting." when the expansion fails.
std::string formatString(const std::string& format, const char* argument);

}  // namespace VexaDevice::Utility
