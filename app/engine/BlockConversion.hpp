#pragma once

#include <cstdint>
#include <span>

namespace quellwave {

// Turns one block of interleaved double samples into 16-bit samples of the same count: a block
// whose largest magnitude exceeds 1 is first divided by it, then every sample is clamped to
// [-1, 1], scaled by 32767 and truncated toward zero.
void normaliseToPcm16(std::span<double> block, std::span<std::int16_t> out);

}  // namespace quellwave
