/* The CRC-32 (IEEE 802.3) of a byte buffer.
   One part of ambrelkit2.h, the public interface of libambrelkit2-x64; hosts include that file. */
#ifndef AMBRELKIT2_CRC32_H
#define AMBRELKIT2_CRC32_H

#include "base.h"

AK_EXTERN_C_BEGIN

/* ---- CRC-32 ------------------------------------------------------------------------------- */

/* The CRC-32 (IEEE 802.3) of length bytes, stored in *crc and returned. A null crc, null data
   with a non-zero length or a negative length compute nothing and return 0. */
AK_API uint32_t calcCRC32(const uint8_t* data, int32_t length, uint32_t* crc);

AK_EXTERN_C_END

#endif /* AMBRELKIT2_CRC32_H */
