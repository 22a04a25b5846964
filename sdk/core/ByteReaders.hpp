#pragma once
// Readers for raw sample bytes and small text checks shared by the protocols.

#include <cstdint>
#include <string>
#include <vector>

namespace VexaDevice::Utility {

// Two's-complement integer of 1 to 4 bytes in the given byte order, sign-extended to 32 bits.
// Any other length gives 0.
int32_t decodeSigned(const uint8_t* data, const uint32_t& length, const bool& littleEndian);

// The same bytes read as an unsigned integer. Any other length gives 0.
uint32_t decodeUnsigned(const uint8_t* data, const uint32_t& length, const bool& littleEndian);

// Appends the low `length` bytes (1 to 4) of `value`, least significant first.
void appendLittleEndian(std::vector<uint8_t>& bytes, uint32_t value, uint32_t length);

// True when the text is non-empty and made of decimal digits only.
bool isDigits(const std::string& text);

}  // namespace VexaDevice::Utility
