/* The public header must compile as strict C99; the C++ tests compare what C sees. */
#include "sdk/api/include/ambrelkit2.h"

size_t akCallStatusSizeInC(void) { return sizeof(CallStatus); }
size_t akCallStatusErrorOffsetInC(void) { return offsetof(CallStatus, Error); }
size_t akCallStatusMessageOffsetInC(void) { return offsetof(CallStatus, ErrorMsg); }

/* Records of the writes, capabilities and file system as C lays them out. */
size_t akDravikFileInfoSizeInC(void) { return sizeof(DravikFileInfo); }
size_t akDravikSignalPackSamplesOffsetInC(void) { return offsetof(DravikSignalPack, Samples); }
size_t akDravikResistPackValuesOffsetInC(void) { return offsetof(DravikResistPack, Values); }
size_t akParameterInfoSizeInC(void) { return sizeof(ParameterInfo); }

/* Every export is callable from C with the header's declarations. */
uint32_t akChecksumInC(const uint8_t* data, int32_t length) {
    uint32_t crc = 0;
    return calcCRC32(data, length, &crc);
}
