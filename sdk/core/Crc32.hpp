#pragma once
// The CRC-32 of IEEE 802.3 in its reflected form (polynomial 0xEDB88320, initial value
// 0xFFFFFFFF, final complement), as the device file system and hosts use it.

#include <cstddef>
#include <cstdint>

namespace VexaDevice::Utility {

// The CRC-32 of `length` bytes; the CRC of no bytes is 0.
uint32_t crc32(const uint8_t* data, size_t length) noexcept;

}  // namespace VexaDevice::Utility
