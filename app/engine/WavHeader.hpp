#pragma once

#include <cstdint>
#include <span>

namespace quellwave {

// Whether a RIFF/WAVE file describes its samples before they start: a "fmt " chunk with a
// PCM or extensible format, at least one channel, a sample rate and a sample width of 8, 16,
// 24 or 32 bits, ahead of the "data" chunk. The decoder divides by what that chunk announces,
// so a file without it must never reach the decoder. Bytes that are no RIFF/WAVE file at all
// are left to the decoder to recognise or refuse.
bool wavHeaderIsDecodable(std::span<const std::uint8_t> bytes);

}  // namespace quellwave
