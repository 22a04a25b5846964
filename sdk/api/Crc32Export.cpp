// The exported CRC-32. A missing result pointer, missing data for a non-zero length or a
// negative length compute nothing and return 0.

#include "sdk/api/include/ambrelkit2.h"
#include "sdk/core/Crc32.hpp"

extern "C" {

AK_API uint32_t calcCRC32(const uint8_t* data, int32_t length, uint32_t* crc) {
    if (crc == nullptr || length < 0 || (data == nullptr && length != 0)) {
        return 0;
    }
    *crc = VexaDevice::Utility::crc32(data, static_cast<size_t>(length));
    return *crc;
}

}  // extern "C"
