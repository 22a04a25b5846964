#pragma once

#include <cstdint>
#include <span>
#include <string_view>

namespace quellwave {

// The key of the affirmation data file.
inline constexpr std::string_view kDataFileKey = "velmacorde739";

// XORs every byte with the repeating data-file key, byte i with key[i mod 13]. The cipher is its
// own inverse: the same call enciphers and deciphers.
void applyDataFileKey(std::span<std::uint8_t> bytes);

}  // namespace quellwave
